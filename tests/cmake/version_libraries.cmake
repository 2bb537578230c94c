# Libraries whose versions the probe reads, built for the target platform and
# placed beside the test program. Windows ones are real DLLs whose version
# functions use the system calling convention under undecorated names.
set(KORVAN_VERSION_LIBRARIES version_both version_zero version_info1_refuses
  version_info1_answers version_none)
foreach(name ${KORVAN_VERSION_LIBRARIES})
  add_library(${name} SHARED ${CMAKE_CURRENT_SOURCE_DIR}/fixtures/${name}.cc)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  korvan_strict(${name})
  set_target_properties(${name} PROPERTIES PREFIX "")
  if(WIN32)
    set_target_properties(${name} PROPERTIES SUFFIX ".dll")
    target_link_options(${name} PRIVATE -Wl,--kill-at)
  endif()
  add_dependencies(korvan_tests ${name})
endforeach()
