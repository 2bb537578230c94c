// The host's UTF-16 arguments in the system's ANSI code page. The test runs
// in the default Western code page and again with the locales of
// tests/cmake/code_page.cmake.
#include <gtest/gtest.h>

#include <string>

#include "host/host.h"
#include "platform/text_conversion.h"
#include "tests/support/test_support.h"

namespace {

struct Conversion {
  const char* codePage;  // "" for the default Western one
  const char16_t* text;
  const char* narrow;
};
const Conversion kConversions[] = {
    {"", u"C:\\\u65e5\u672c\\\u8a9e.dll", "C:\\__\\_.dll"},
    {"", u"caf\u00e9", "caf\xe9"},
    // Seven characters, ten bytes: cutting to seven bytes would name another path.
    {"932", u"C:\\\u65e5\u672c\\\u8a9e", "C:\\\x93\xfa\x96\x7b\\\x8c\xea"},
    {"1251", u"C:\\\u0422\u0435 \u7ec8", "C:\\\xd2\xe5 _"},
};

TEST(WideToAnsiCodePage, ConvertsInTheSystemsCodePageWithUnderscoresForWhatItLacks) {
  const std::string codePage = test::Environment("KORVAN_TEST_CODE_PAGE");
  // A locale that is not installed would leave Wine in the default one.
  if (!codePage.empty()) {
    EXPECT_EQ(platform::NarrowEncodingName(), "code page " + codePage);
  }
  for (const Conversion& conversion : kConversions) {
    if (conversion.codePage != codePage) continue;
    EXPECT_EQ(WideToAnsi(conversion.text), conversion.narrow);
  }
}

}  // namespace
