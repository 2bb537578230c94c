# The HTTP servers the download tests talk to, on loopback: nginx for static
# files from ${CMAKE_BINARY_DIR}/www and a controllable server of the tests'
# own. One fixture starts both before the tests and stops them afterwards.
find_program(KORVAN_NGINX nginx PATHS /usr/sbin /sbin REQUIRED)

# nginx also serves the folder over HTTPS, with a certificate nobody trusts,
# on the nginx port + 3 (tests/support/test_servers.cc relies on that).
math(EXPR korvan_tls_port "${KORVAN_NGINX_PORT} + 3")
set(korvan_servers_script ${CMAKE_SOURCE_DIR}/tests/servers/test_servers.py)
set(korvan_servers_state ${CMAKE_BINARY_DIR}/test-servers)

add_test(NAME korvan_servers_start
  COMMAND ${KORVAN_PYTHON3} ${korvan_servers_script} start
    --state ${korvan_servers_state} --www ${CMAKE_BINARY_DIR}/www
    --nginx-port ${KORVAN_NGINX_PORT} --control-port ${KORVAN_CONTROL_PORT}
    --tls-port ${korvan_tls_port} --nginx ${KORVAN_NGINX})
add_test(NAME korvan_servers_stop
  COMMAND ${KORVAN_PYTHON3} ${korvan_servers_script} stop --state ${korvan_servers_state})
set_tests_properties(korvan_servers_start PROPERTIES FIXTURES_SETUP korvan_servers TIMEOUT 60)

# Releases signed by the real minisign command, made anew for every run: the
# Windows tests cannot run the Linux program themselves.
find_program(KORVAN_MINISIGN minisign REQUIRED)
add_test(NAME korvan_signed_releases
  COMMAND ${KORVAN_PYTHON3} ${CMAKE_SOURCE_DIR}/tests/servers/signed_releases.py
    --www ${CMAKE_BINARY_DIR}/www --minisign ${KORVAN_MINISIGN})
set_tests_properties(korvan_signed_releases PROPERTIES FIXTURES_SETUP korvan_servers TIMEOUT 60)
set_tests_properties(korvan_servers_stop PROPERTIES FIXTURES_CLEANUP korvan_servers TIMEOUT 60)

# Proxy variables in the environment must not divert a download: it always
# goes straight to the server.
set(dead_proxy http://127.0.0.1:1)
add_test(NAME download_ignores_proxy_environment
  COMMAND korvan_tests
    --gtest_filter=DownloadFileTest.StaticFilesArriveByteForByte:DownloadFileTest.RedirectsAreFollowed)
set_tests_properties(download_ignores_proxy_environment PROPERTIES
  ENVIRONMENT "${KORVAN_TEST_ENVIRONMENT};http_proxy=${dead_proxy};HTTP_PROXY=${dead_proxy};https_proxy=${dead_proxy};HTTPS_PROXY=${dead_proxy};all_proxy=${dead_proxy};ALL_PROXY=${dead_proxy};no_proxy=;NO_PROXY="
  FIXTURES_REQUIRED korvan_servers)

# The nginx site and publish script shipped for vendors, end to end, once.
if(NOT WIN32 AND NOT KORVAN_SANITIZE)
  math(EXPR korvan_release_port "${KORVAN_TEST_PORT_BASE} + 3")
  add_test(NAME release_server
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/servers/check_release_server.sh
      ${CMAKE_SOURCE_DIR} ${KORVAN_NGINX} ${korvan_release_port} $<TARGET_FILE:korvan_publish>)
endif()
