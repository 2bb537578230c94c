// What a failed download reports on Windows: the system's and WinINet's codes,
// with the system's texts.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "tests/support/test_servers.h"
#include "tests/support/test_support.h"
#include "update/update.h"

namespace {

using test::FileExists;
using test::ReadFile;
using test::ScratchDirectory;
using test::WriteFile;

constexpr std::int32_t kPathNotFound = 3;
constexpr std::int32_t kCannotConnect = 12029;  // ERROR_INTERNET_CANNOT_CONNECT
constexpr std::int32_t kUnrecognizedScheme = 12006;
constexpr std::int32_t kInvalidCertificateAuthority = 12045;

TEST(DownloadFileWindows, MissingFolderGivesPathNotFoundAfterTheServerAnswered) {
  ScratchDirectory scratch;
  const std::string path = scratch.File("missing\\file.dll.new");
  std::uint32_t received = 1;
  std::string responseText;
  EXPECT_EQ(DownloadFile(&received, &responseText, test::ControlBase() + "/bytes/10", path),
            kPathNotFound);
  EXPECT_EQ(received, 0u);
  EXPECT_EQ(responseText, "");
  // Both internet handles were closed: the same address downloads at once.
  const std::string good = scratch.File("file.dll.new");
  EXPECT_EQ(DownloadFile(&received, &responseText, test::ControlBase() + "/bytes/10", good), 0);
  EXPECT_EQ(received, 10u);
}

TEST(DownloadFileWindows, AddressesThatCannotBeOpenedGiveWinInetCodes) {
  ScratchDirectory scratch;
  const std::string path = scratch.File("manifest.tmp");
  WriteFile(path, "previous");
  std::uint32_t received = 1;
  std::string responseText = "stale";
  EXPECT_EQ(DownloadFile(&received, &responseText, "http://127.0.0.1:1/updateinfo.txt", path),
            kCannotConnect);
  // The server said nothing, so its last response text is empty.
  EXPECT_EQ(responseText, "");
  EXPECT_EQ(ReadFile(path), "previous");
  EXPECT_EQ(DownloadFile(&received, &responseText, "no address", path), kUnrecognizedScheme);
  EXPECT_EQ(ReadFile(path), "previous");
  EXPECT_EQ(DownloadFile(&received, &responseText, test::UntrustedHttpsBase() + "/x", path),
            kInvalidCertificateAuthority);
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
