// What a failed download reports on Windows: the system's and WinINet's codes,
// with the system's texts.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "tests/support/test_servers.h"
#include "tests/support/test_support.h"
#include "tests/support/update_support.h"
#include "update/update.h"

namespace {

using test::Fetch;
using test::ReadFile;
using test::ScratchDirectory;
using test::WriteFile;

constexpr std::int32_t kPathNotFound = 3;
constexpr std::int32_t kCannotConnect = 12029;  // ERROR_INTERNET_CANNOT_CONNECT
constexpr std::int32_t kUnrecognizedScheme = 12006;
constexpr std::int32_t kInvalidCertificateAuthority = 12045;

TEST(DownloadFileWindows, MissingFolderGivesPathNotFoundAfterTheServerAnswered) {
  ScratchDirectory scratch;
  const test::Download failed =
      Fetch(test::ControlBase() + "/bytes/10", scratch.File("missing\\file.dll.new"));
  EXPECT_EQ(failed.result, kPathNotFound);
  EXPECT_EQ(failed.received, 0u);
  EXPECT_EQ(failed.responseText, "");
  // Both internet handles were closed: the same address downloads at once.
  const test::Download good =
      Fetch(test::ControlBase() + "/bytes/10", scratch.File("file.dll.new"));
  EXPECT_EQ(good.result, 0);
  EXPECT_EQ(good.received, 10u);
}

TEST(DownloadFileWindows, AddressesThatCannotBeOpenedGiveWinInetCodes) {
  ScratchDirectory scratch;
  const std::string path = scratch.File("manifest.tmp");
  WriteFile(path, "previous");
  const test::Download unreachable = Fetch("http://127.0.0.1:1/updateinfo.txt", path, "stale");
  EXPECT_EQ(unreachable.result, kCannotConnect);
  // The server said nothing, so its last response text is empty.
  EXPECT_EQ(unreachable.responseText, "");
  EXPECT_EQ(ReadFile(path), "previous");
  EXPECT_EQ(Fetch("no address", path).result, kUnrecognizedScheme);
  EXPECT_EQ(ReadFile(path), "previous");
  EXPECT_EQ(Fetch(test::UntrustedHttpsBase() + "/x", path).result, kInvalidCertificateAuthority);
  EXPECT_EQ(ReadFile(path), "previous");
}

TEST(GetErrorTextWindows, CodesReadAsTheSystemsMessages) {
  // The system's texts keep their line end.
  const std::string denied = GetErrorText(5);
  ASSERT_GE(denied.size(), 2u);
  EXPECT_EQ(denied.substr(denied.size() - 2), "\r\n");
  EXPECT_NE(denied.find("denied"), std::string::npos) << denied;
  EXPECT_NE(GetErrorText(kPathNotFound).find("not found"), std::string::npos);
  // WinINet's codes are looked up in the system's table too, which lacks them.
  EXPECT_EQ(GetErrorText(kCannotConnect), "Unknown error");
  EXPECT_EQ(GetErrorText(0x2FFFFFFF), "Unknown error");
  EXPECT_EQ(GetErrorText(-1), "Unknown error");
}

}  // namespace
