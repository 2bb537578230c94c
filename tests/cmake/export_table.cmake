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

# The MQL include files declare the DLL's exports as the terminal calls them:
# MetaTrader 4 loads the 32-bit DLL, MetaTrader 5 the 64-bit one.
if(WIN32)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(mql_include ${CMAKE_SOURCE_DIR}/mql/MQL4/Include/KorvanUpdater.mqh)
  else()
    set(mql_include ${CMAKE_SOURCE_DIR}/mql/MQL5/Include/KorvanUpdater.mqh)
  endif()
  add_test(NAME mql_imports
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/scripts/check_mql_imports.sh ${mql_include}
            $<TARGET_FILE:korvan_updater> ${objdump} ${CMAKE_SOURCE_DIR}/host/host.h)
  # The check itself: each slip of a declaration is refused.
  add_test(NAME mql_import_faults
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/scripts/check_mql_import_faults.sh ${mql_include}
            $<TARGET_FILE:korvan_updater> ${objdump} ${CMAKE_SOURCE_DIR}/host/host.h)
  set_tests_properties(mql_imports mql_import_faults PROPERTIES CROSSCOMPILING_EMULATOR "")
endif()
