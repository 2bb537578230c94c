# The Windows conversion once more, in a double-byte ANSI code page: Wine takes
# the code page from the locale.
if(WIN32)
  add_test(NAME korvan_tests_code_page_932
    COMMAND korvan_tests --gtest_filter=WideToAnsiCodePage.*)
  set_tests_properties(korvan_tests_code_page_932 PROPERTIES
    ENVIRONMENT "WINEDEBUG=-all;LANG=ja_JP.UTF-8;LC_ALL=ja_JP.UTF-8;KORVAN_TEST_CODE_PAGE=932")
endif()
