# A writer of the log in a process of its own, for the tests of two processes
# sharing the log and of a process ending while its threads write.
add_executable(korvan_log_writer ${CMAKE_CURRENT_SOURCE_DIR}/log_writer/main.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/support/log_writers.cc)
target_link_libraries(korvan_log_writer PRIVATE korvan_log korvan_platform)
korvan_strict(korvan_log_writer)
if(WIN32)
  # Like the companion: no console.
  target_link_options(korvan_log_writer PRIVATE -mwindows)
endif()
add_dependencies(korvan_tests korvan_log_writer)

if(WIN32)
  # Under Wine 8 two processes that each rotate the log on every line now and
  # then overwrite the end of each other's line: a handle opened for appending
  # only is not always written at the end there while the file is being
  # renamed. Windows itself guarantees it; the two-process case runs natively.
  set(processes_share_log 0)
else()
  set(processes_share_log 1)
endif()
target_compile_definitions(korvan_tests PRIVATE
  KORVAN_TEST_PROCESSES_SHARE_LOG=${processes_share_log})
