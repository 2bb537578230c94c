// What a failed download reports on POSIX systems: errno for the file, 10000
// plus curl's code for the transfer.
#include <gtest/gtest.h>

#include <cerrno>
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

constexpr std::int32_t kCurlBase = 10000;

TEST(DownloadFilePosix, MissingFolderGivesErrnoAfterTheServerAnswered) {
  ScratchDirectory scratch;
  const std::string path = scratch.File("missing/file.dll.new");
  std::uint32_t received = 1;
  std::string responseText;
  EXPECT_EQ(DownloadFile(&received, &responseText, test::ControlBase() + "/bytes/10", path),
            ENOENT);
  EXPECT_EQ(received, 0u);
  EXPECT_EQ(responseText, "");
  EXPECT_EQ(GetErrorText(ENOENT), "No such file or directory");
}

TEST(DownloadFilePosix, FailedWriteIsAFailure) {
  // /dev/full takes nothing: every write fails with ENOSPC. As a device it is
  // not removed like a partial file would be.
  if (!FileExists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  std::uint32_t received = 1;
  std::string responseText;
  EXPECT_EQ(
      DownloadFile(&received, &responseText, test::ControlBase() + "/bytes/100000", "/dev/full"),
      ENOSPC);
  EXPECT_EQ(received, 0u);
  EXPECT_TRUE(FileExists("/dev/full"));
  EXPECT_EQ(GetErrorText(ENOSPC), "No space left on device");
}

TEST(DownloadFilePosix, TransferFailuresCarryCurlsCodeAndText) {
  ScratchDirectory scratch;
  const std::string path = scratch.File("manifest.txt");
  WriteFile(path, "previous");
  std::uint32_t received = 1;
  std::string responseText;
  EXPECT_EQ(DownloadFile(&received, &responseText, "http://127.0.0.1:1/updateinfo.txt", path),
            kCurlBase + 7);
  EXPECT_NE(responseText.find("127.0.0.1"), std::string::npos) << responseText;
  EXPECT_EQ(GetErrorText(kCurlBase + 7), "Couldn't connect to server");
  EXPECT_EQ(ReadFile(path), "previous");

  // Certificates are verified.
  EXPECT_EQ(DownloadFile(&received, &responseText, test::UntrustedHttpsBase() + "/x", path),
            kCurlBase + 60);
  EXPECT_NE(responseText.find("certificate"), std::string::npos) << responseText;
  EXPECT_EQ(ReadFile(path), "previous");

  // Only HTTP and HTTPS are fetched.
  responseText.clear();
  EXPECT_EQ(DownloadFile(&received, &responseText, "file:///etc/hostname", path), kCurlBase + 1);
  EXPECT_EQ(ReadFile(path), "previous");

  // A body cut short of its Content-Length.
  EXPECT_EQ(DownloadFile(&received, &responseText, test::ControlBase() + "/cutoff/3000/1000", path),
            kCurlBase + 18);
  EXPECT_EQ(GetErrorText(kCurlBase + 18), "Transferred a partial file");
  EXPECT_FALSE(FileExists(path));

  // A chunked body that stops before its last chunk.
  WriteFile(path, "previous");
  EXPECT_NE(
      DownloadFile(&received, &responseText, test::ControlBase() + "/cutoff-chunked/9000", path),
      0);
  EXPECT_FALSE(FileExists(path));
}

TEST(DownloadFilePosix, PermanentRedirectsAreFollowedAndEndlessOnesEnd) {
  ScratchDirectory scratch;
  std::uint32_t received = 1;
  std::string responseText;
  EXPECT_EQ(DownloadFile(&received, &responseText,
                         test::ControlBase() + "/redirect/308?to=/bytes/300", scratch.File("308")),
            0);
  EXPECT_EQ(received, 300u);
  EXPECT_EQ(DownloadFile(&received, &responseText, test::ControlBase() + "/redirect-loop",
                         scratch.File("loop")),
            kCurlBase + 47);
  EXPECT_FALSE(FileExists(scratch.File("loop")));
}

TEST(GetErrorTextPosix, SystemCodesReadAsStrerror) {
  EXPECT_EQ(GetErrorText(5), "Input/output error");
  EXPECT_EQ(GetErrorText(EACCES), "Permission denied");
}

}  // namespace
