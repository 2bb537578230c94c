# The real message boxes of the DLL under Wine on a virtual X screen of this
# build's own (its number follows the build's ports), answered with keys.
if(WIN32)
  math(EXPR korvan_dialogs_display "(${KORVAN_TEST_PORT_BASE} - 18000) / 100 + 100")
  add_test(NAME real_dialogs
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/scripts/check_real_dialogs.sh ${KORVAN_OUTPUT_DIR}
      ${CMAKE_BINARY_DIR}/www ${KORVAN_NGINX_PORT} ${korvan_dialogs_display})
  set_tests_properties(real_dialogs PROPERTIES CROSSCOMPILING_EMULATOR ""
    FIXTURES_REQUIRED korvan_servers TIMEOUT 300)
endif()
