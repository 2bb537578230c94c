# The tests once more in other ANSI code pages: Wine takes the code page from
# the locale (scripts/setup.sh generates them). Code page, locale, tests.
if(WIN32)
  set(code_page_runs
    "932|ja_JP.UTF-8|WideToAnsiCodePage.*"
    "1251|ru_RU.UTF-8|WideToAnsiCodePage.*:Folders/*-*/Plain")
  foreach(run ${code_page_runs})
    string(REPLACE "|" ";" fields "${run}")
    list(GET fields 0 code_page)
    list(GET fields 1 locale)
    list(GET fields 2 filter)
    add_test(NAME korvan_tests_code_page_${code_page}
      COMMAND korvan_tests --gtest_filter=${filter})
    set_tests_properties(korvan_tests_code_page_${code_page} PROPERTIES
      ENVIRONMENT "${KORVAN_TEST_ENVIRONMENT};LANG=${locale};LC_ALL=${locale};KORVAN_TEST_CODE_PAGE=${code_page}"
      FIXTURES_REQUIRED korvan_servers)
  endforeach()
endif()
