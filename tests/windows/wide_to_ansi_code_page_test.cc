// The host's UTF-16 arguments in the system's ANSI code page. The test runs
// once in the default Western code page and once with a Japanese locale
// (double-byte code page 932), see tests/cmake/code_page.cmake.
#include <gtest/gtest.h>

#include "host/host.h"
#include "tests/support/test_support.h"

namespace {

bool DoubleByteCodePage() { return test::Environment("KORVAN_TEST_CODE_PAGE") == "932"; }

TEST(WideToAnsiCodePage, CharactersTheCodePageLacksBecomeUnderscores) {
  if (DoubleByteCodePage()) GTEST_SKIP() << "code page 932 has these characters";
  EXPECT_EQ(WideToAnsi(u"C:\\\u65e5\u672c\\\u8a9e.dll"), "C:\\__\\_.dll");
  EXPECT_EQ(WideToAnsi(u"caf\u00e9"), "caf\xe9");
}

TEST(WideToAnsiCodePage, ADoubleByteTextIsConvertedWhole) {
  if (!DoubleByteCodePage()) GTEST_SKIP() << "needs code page 932";
  // Seven characters, ten bytes: cutting to seven bytes would name another path.
  EXPECT_EQ(WideToAnsi(u"C:\\\u65e5\u672c\\\u8a9e"), "C:\\\x93\xfa\x96\x7b\\\x8c\xea");
}

}  // namespace
