# The end-to-end tests: the demo's stand-in terminal loads the library and
# calls its update exports. Natively it runs on a pseudo-terminal whose message
# boxes a script answers; under Wine the boxes cannot be shown and return at
# once.
add_dependencies(korvan_tests korvan_demo_terminal)

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
