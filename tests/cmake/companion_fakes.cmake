# A stand-in for the companion program, for the launcher's tests: it records
# its arguments and exits as told.
add_executable(korvan_fake_companion ${CMAKE_CURRENT_SOURCE_DIR}/fake_companion/main.cc)
target_link_libraries(korvan_fake_companion PRIVATE korvan_platform)
korvan_strict(korvan_fake_companion)
if(WIN32)
  # Like the real one: no console.
  target_link_options(korvan_fake_companion PRIVATE -mwindows)
  # abort() ends a Windows program with exit code 3.
  set(aborted_result 3)
else()
  # Killed by SIGABRT (6): -(128 + 6).
  set(aborted_result -134)
endif()
add_dependencies(korvan_tests korvan_fake_companion)
target_compile_definitions(korvan_tests PRIVATE
  KORVAN_TEST_EXECUTABLE_SUFFIX="${CMAKE_EXECUTABLE_SUFFIX}"
  KORVAN_TEST_ABORTED_PROGRAM_RESULT=${aborted_result})
