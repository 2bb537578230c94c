// On Linux the host's UTF-16 arguments become UTF-8, whole.
#include <gtest/gtest.h>

#include "host/host.h"

namespace {

TEST(WideToAnsiUtf8, EveryCharacterIsConvertedWhole) {
  EXPECT_EQ(WideToAnsi(u"/opt/\u65e5\u672c/\u8a9e.so"), "/opt/\u65e5\u672c/\u8a9e.so");
  EXPECT_EQ(WideToAnsi(u"caf\u00e9 \U0001F600"), "caf\u00e9 \U0001F600");
}

TEST(WideToAnsiUtf8, OnlyUnpairedSurrogatesAreReplaced) {
  const char16_t reversedPair[] = {0xDE00, 0xD83D, u'x', 0};
  EXPECT_EQ(WideToAnsi(reversedPair), "__x");
  const char16_t trailingHigh[] = {u'a', 0xD83D, 0};
  EXPECT_EQ(WideToAnsi(trailingHigh), "a_");
}

}  // namespace
