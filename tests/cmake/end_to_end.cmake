# The end-to-end tests: a stand-in terminal that loads the library and calls
# its update exports. Natively it runs on a pseudo-terminal whose message boxes
# a script answers; under Wine the boxes cannot be shown and return at once.
add_executable(korvan_test_terminal ${CMAKE_CURRENT_SOURCE_DIR}/end_to_end/test_terminal.cc)
target_link_libraries(korvan_test_terminal PRIVATE korvan_platform)
korvan_strict(korvan_test_terminal)
add_dependencies(korvan_tests korvan_test_terminal)

if(WIN32)
  set(box_answerer "")
  # Windows keeps a loaded library and a running program from being deleted:
  # their ".old" copies stay until the next update.
  set(files_in_use_stay 1)
else()
  set(box_answerer "${KORVAN_PYTHON3}|${CMAKE_CURRENT_SOURCE_DIR}/end_to_end/answer_boxes.py")
  set(files_in_use_stay 0)
endif()
target_compile_definitions(korvan_tests PRIVATE
  KORVAN_TEST_BOX_ANSWERER="${box_answerer}"
  KORVAN_TEST_FILES_IN_USE_STAY=${files_in_use_stay})
