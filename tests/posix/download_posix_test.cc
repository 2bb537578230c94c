// What a failed download reports on POSIX systems: errno for the file, 10000
// plus curl's code for the transfer.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <string>

#include "tests/support/test_servers.h"
#include "tests/support/test_support.h"
#include "tests/support/update_support.h"
#include "update/update.h"

namespace {

using test::ControlBase;
using test::Download;
using test::Fetch;
using test::FileExists;
using test::ReadFile;
using test::ScratchDirectory;
using test::WriteFile;

constexpr std::int32_t kCurlBase = 10000;

TEST(DownloadFilePosix, MissingFolderGivesErrnoAfterTheServerAnswered) {
  ScratchDirectory scratch;
  const Download download =
      Fetch(ControlBase() + "/bytes/10", scratch.File("missing/file.dll.new"));
  EXPECT_EQ(download.result, ENOENT);
  EXPECT_EQ(download.received, 0u);
  EXPECT_EQ(download.responseText, "");
  EXPECT_EQ(GetErrorText(ENOENT), "No such file or directory");
}

TEST(DownloadFilePosix, FailedWriteIsAFailure) {
  // /dev/full takes nothing: every write fails with ENOSPC. As a device it is
  // not removed like a partial file would be.
  if (!FileExists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  const Download download = Fetch(ControlBase() + "/bytes/100000", "/dev/full");
  EXPECT_EQ(download.result, ENOSPC);
  EXPECT_EQ(download.received, 0u);
  EXPECT_TRUE(FileExists("/dev/full"));
  EXPECT_EQ(GetErrorText(ENOSPC), "No space left on device");
}

TEST(DownloadFilePosix, TransferFailuresCarryCurlsCodeAndText) {
  ScratchDirectory scratch;
  const std::string path = scratch.File("manifest.txt");
  WriteFile(path, "previous");
  const Download unreachable = Fetch("http://127.0.0.1:1/updateinfo.txt", path);
  EXPECT_EQ(unreachable.result, kCurlBase + 7);
  EXPECT_NE(unreachable.responseText.find("127.0.0.1"), std::string::npos)
      << unreachable.responseText;
  EXPECT_EQ(GetErrorText(kCurlBase + 7), "Couldn't connect to server");
  EXPECT_EQ(ReadFile(path), "previous");

  // Certificates are verified.
  const Download untrusted = Fetch(test::UntrustedHttpsBase() + "/x", path);
  EXPECT_EQ(untrusted.result, kCurlBase + 60);
  EXPECT_NE(untrusted.responseText.find("certificate"), std::string::npos)
      << untrusted.responseText;
  EXPECT_EQ(ReadFile(path), "previous");

  // Only HTTP and HTTPS are fetched.
  EXPECT_EQ(Fetch("file:///etc/hostname", path).result, kCurlBase + 1);
  EXPECT_EQ(ReadFile(path), "previous");

  // A body cut short of its Content-Length.
  EXPECT_EQ(Fetch(ControlBase() + "/cutoff/3000/1000", path).result, kCurlBase + 18);
  EXPECT_EQ(GetErrorText(kCurlBase + 18), "Transferred a partial file");
  EXPECT_FALSE(FileExists(path));

  // A chunked body that stops before its last chunk.
  WriteFile(path, "previous");
  EXPECT_NE(Fetch(ControlBase() + "/cutoff-chunked/9000", path).result, 0);
  EXPECT_FALSE(FileExists(path));
}

TEST(DownloadFilePosix, PermanentRedirectsAreFollowedAndEndlessOnesEnd) {
  ScratchDirectory scratch;
  const Download redirected =
      Fetch(ControlBase() + "/redirect/308?to=/bytes/300", scratch.File("308"));
  EXPECT_EQ(redirected.result, 0);
  EXPECT_EQ(redirected.received, 300u);
  EXPECT_EQ(Fetch(ControlBase() + "/redirect-loop", scratch.File("loop")).result, kCurlBase + 47);
  EXPECT_FALSE(FileExists(scratch.File("loop")));
}

TEST(GetErrorTextPosix, SystemCodesReadAsStrerror) {
  EXPECT_EQ(GetErrorText(5), "Input/output error");
  EXPECT_EQ(GetErrorText(EACCES), "Permission denied");
}

}  // namespace
