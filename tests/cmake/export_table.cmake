# The library's export table, read from the built file.
if(WIN32)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(objdump i686-w64-mingw32-objdump)
  else()
    set(objdump x86_64-w64-mingw32-objdump)
  endif()
  add_test(NAME export_table
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/scripts/check_exports.sh windows
            $<TARGET_FILE:korvan_updater> ${objdump})
else()
  add_test(NAME export_table
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/scripts/check_exports.sh linux
            $<TARGET_FILE:korvan_updater> nm)
endif()
set_tests_properties(export_table PROPERTIES CROSSCOMPILING_EMULATOR "")
