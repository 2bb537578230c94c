# Style is checked once, in the plain native configuration.
if(NOT WIN32 AND NOT KORVAN_SANITIZE)
  add_test(NAME source_format
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/scripts/check_format.sh ${CMAKE_SOURCE_DIR})
endif()
