# A test-only build of the updater library whose fault points are live: it
# ends its process at the point named in a file beside it, so that the tests
# can cut an update off at every step. It lands in bin/faults/ and is never
# installed or shipped; the shipped library is built without the points.
file(GLOB fault_update_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/update/*.cc)
add_library(korvan_update_faults STATIC ${fault_update_sources})
target_link_libraries(korvan_update_faults PUBLIC korvan_log korvan_platform Korvan::jsoncpp
  PRIVATE korvan_crypto)
target_compile_definitions(korvan_update_faults PUBLIC KORVAN_FAULT_POINTS)
korvan_strict(korvan_update_faults)

add_library(korvan_host_faults STATIC ${KORVAN_HOST_SOURCES})
target_link_libraries(korvan_host_faults PUBLIC korvan_update_faults korvan_log korvan_platform)
korvan_strict(korvan_host_faults)
target_compile_definitions(korvan_host_faults PRIVATE KORVAN_VERSION_TEXT="${PROJECT_VERSION}")

korvan_add_updater_library(korvan_updater_faults korvan_host_faults)
set_target_properties(korvan_updater_faults PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY ${KORVAN_OUTPUT_DIR}/faults
  LIBRARY_OUTPUT_DIRECTORY ${KORVAN_OUTPUT_DIR}/faults
  ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib/faults)
add_dependencies(korvan_tests korvan_updater_faults)

# How a program that was killed ends: TerminateProcess gives it 1 here,
# SIGKILL (9) gives -(128 + 9) through the launcher's reading.
if(WIN32)
  set(killed_result 1)
else()
  set(killed_result -137)
endif()
target_compile_definitions(korvan_tests PRIVATE KORVAN_TEST_KILLED_RESULT=${killed_result})

# A chunked answer cut before its last chunk: curl reports it; WinINet under
# Wine ends it like a complete one.
if(WIN32)
  target_compile_definitions(korvan_tests PRIVATE KORVAN_TEST_CUT_CHUNKED_REFUSED=0)
else()
  target_compile_definitions(korvan_tests PRIVATE KORVAN_TEST_CUT_CHUNKED_REFUSED=1)
endif()
