// Downloads from real servers on loopback, and the helpers beside them.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

#include "tests/support/test_servers.h"
#include "tests/support/test_support.h"
#include "tests/support/update_support.h"
#include "update/update.h"

namespace {

using test::ControlBase;
using test::Download;
using test::Fetch;
using test::FileExists;
using test::PatternBytes;
using test::ReadFile;
using test::ScratchDirectory;
using test::UniqueName;
using test::WriteFile;

// The documented codes of DownloadFile's own failures.
constexpr std::int32_t kHttpStatus = 0x20000000;
constexpr std::int32_t kIncompleteBody = 0x20001000;

class DownloadFileTest : public ::testing::Test {
 protected:
  // A destination that already holds a file, as the previous manifest or a
  // leftover ".new" would.
  std::string ExistingDestination() {
    const std::string path = scratch_.File("existing.dll.new");
    WriteFile(path, "previous content");
    return path;
  }

  ScratchDirectory scratch_;
  test::ServedFolder served_;
};

TEST_F(DownloadFileTest, StaticFilesArriveByteForByte) {
  std::string everyByte;
  for (int i = 0; i < 256; ++i) everyByte += static_cast<char>(i);
  everyByte += "\r\n\n\r\x1a";
  const std::string large = PatternBytes(3 * 1024 * 1024 + 1023);
  for (const std::string& content : {everyByte, large, std::string("{\"Files\": []}\n")}) {
    const std::string url = served_.Put(std::to_string(content.size()) + ".bin", content);
    const std::string path = ExistingDestination();
    const Download download = Fetch(url, path);
    ASSERT_EQ(download.result, 0) << url << ": " << GetErrorText(download.result);
    EXPECT_EQ(download.received, content.size());
    EXPECT_TRUE(ReadFile(path) == content) << url;
    EXPECT_EQ(download.responseText, "");
  }
}

TEST_F(DownloadFileTest, EmptyBodyEmptiesTheDestination) {
  const std::string served = served_.Put("empty.txt", "");
  for (const std::string& url : {served, ControlBase() + "/empty", ControlBase() + "/status/204"}) {
    const std::string path = ExistingDestination();
    const Download download = Fetch(url, path);
    ASSERT_EQ(download.result, 0) << url << ": " << GetErrorText(download.result);
    EXPECT_EQ(download.received, 0u) << url;
    EXPECT_TRUE(FileExists(path)) << url;
    EXPECT_EQ(ReadFile(path), "") << url;
  }
  // Nothing there before: the empty file is created.
  const std::string fresh = scratch_.File("fresh.txt");
  ASSERT_EQ(Fetch(served, fresh).result, 0);
  EXPECT_TRUE(FileExists(fresh));
}

TEST_F(DownloadFileTest, BodiesOfEveryFramingArriveWhole) {
  struct Case {
    std::string path;
    std::size_t length;
  };
  for (const Case& c : {Case{"/bytes/8388615", 8388615}, Case{"/chunked/1048579", 1048579},
                        Case{"/until-close/300001", 300001}, Case{"/slow/5000/4/150", 5000},
                        Case{"/bytes/1", 1}, Case{"/bytes/1024", 1024},
                        Case{"/bytes/1048576", 1048576}, Case{"/bytes/1048577", 1048577}}) {
    const std::string path = scratch_.File("body.bin");
    const Download download = Fetch(ControlBase() + c.path, path);
    ASSERT_EQ(download.result, 0) << c.path << ": " << GetErrorText(download.result);
    EXPECT_EQ(download.received, c.length) << c.path;
    EXPECT_TRUE(ReadFile(path) == PatternBytes(c.length)) << c.path;
  }
}

TEST_F(DownloadFileTest, RedirectsAreFollowed) {
  const std::string served = served_.Put("target.bin", PatternBytes(777));
  for (const char* status : {"301", "302", "303", "307"}) {
    const std::string url = ControlBase() + "/redirect/" + status + "?to=/bytes/2000";
    const std::string path = scratch_.File("redirected.bin");
    const Download download = Fetch(url, path);
    ASSERT_EQ(download.result, 0) << url << ": " << GetErrorText(download.result);
    EXPECT_TRUE(ReadFile(path) == PatternBytes(2000)) << url;
  }
  // To another server.
  const std::string path = scratch_.File("elsewhere.bin");
  ASSERT_EQ(Fetch(ControlBase() + "/redirect/302?to=" + served, path).result, 0);
  EXPECT_TRUE(ReadFile(path) == PatternBytes(777));
}

TEST_F(DownloadFileTest, ErrorStatusIsAFailureThatLeavesTheDestinationAlone) {
  struct Case {
    std::string url;
    int status;
    std::string statusLine;
  };
  const Case cases[] = {
      {test::NginxBase() + "/" + UniqueName("missing.dll"), 404, "HTTP/1.1 404 Not Found"},
      {ControlBase() + "/status/500", 500, "HTTP/1.1 500 Internal Server Error"},
      {ControlBase() + "/status/403", 403, "HTTP/1.1 403 Forbidden"},
      {ControlBase() + "/status/503", 503, "HTTP/1.1 503 Service Unavailable"},
      {ControlBase() + "/status/300", 300, "HTTP/1.1 300 Multiple Choices"},
      {ControlBase() + "/redirect/302?to=/status/410", 410, "HTTP/1.1 410 Gone"},
  };
  for (const Case& c : cases) {
    const std::string path = ExistingDestination();
    const Download download = Fetch(c.url, path);
    EXPECT_EQ(download.result, kHttpStatus + c.status) << c.url;
    EXPECT_EQ(GetErrorText(download.result),
              "The server answered with HTTP status " + std::to_string(c.status));
    EXPECT_EQ(download.responseText, c.statusLine) << c.url;
    EXPECT_EQ(download.received, 0u) << c.url;
    EXPECT_EQ(ReadFile(path), "previous content") << c.url;

    const std::string absent = scratch_.File("absent.dll.new");
    EXPECT_NE(Fetch(c.url, absent).result, 0) << c.url;
    EXPECT_FALSE(FileExists(absent)) << c.url;
  }
}

TEST_F(DownloadFileTest, BodyCutShortOfItsLengthIsAFailureAndLeavesNoPartialFile) {
  for (const char* cut : {"/cutoff/100000/40000", "/cutoff/5000/0", "/cutoff/2048/2047"}) {
    const std::string path = ExistingDestination();
    const Download download = Fetch(ControlBase() + cut, path);
    EXPECT_NE(download.result, 0) << cut;
    EXPECT_NE(GetErrorText(download.result), "Unknown error") << cut;
    EXPECT_EQ(download.received, 0u) << cut;
    // The file is left as it was or removed, never part of the new one.
    EXPECT_TRUE(!FileExists(path) || ReadFile(path) == "previous content") << cut;
  }
}

TEST_F(DownloadFileTest, UnreachableServerLeavesTheDestinationAlone) {
  // Nothing listens on port 1 of the loopback address.
  const std::string path = ExistingDestination();
  const Download download = Fetch("http://127.0.0.1:1/updateinfo.txt", path);
  EXPECT_NE(download.result, 0);
  EXPECT_NE(download.result, kHttpStatus);
  EXPECT_EQ(download.received, 0u);
  EXPECT_EQ(ReadFile(path), "previous content");

  const std::string absent = scratch_.File("absent");
  EXPECT_NE(Fetch("http://127.0.0.1:1/updateinfo.txt", absent).result, 0);
  EXPECT_FALSE(FileExists(absent));
}

TEST_F(DownloadFileTest, ServerWithAnUntrustedCertificateIsRefused) {
  served_.Put("secure.dll", "content");
  const std::string path = ExistingDestination();
  const Download download =
      Fetch(test::UntrustedHttpsBase() + "/" + served_.name() + "/secure.dll", path);
  EXPECT_NE(download.result, 0);
  EXPECT_LT(download.result, kHttpStatus);
  EXPECT_EQ(ReadFile(path), "previous content");
}

TEST_F(DownloadFileTest, EveryRequestReachesTheServer) {
  // The answer invites caching for an hour; each download must still ask.
  const std::string url = ControlBase() + "/counter/" + UniqueName("cache");
  const std::string path = scratch_.File("counter.txt");
  for (const char* expected : {"1", "2", "3"}) {
    ASSERT_EQ(Fetch(url, path).result, 0);
    EXPECT_EQ(ReadFile(path), expected);
  }
}

TEST_F(DownloadFileTest, RequestsNameTheAgent) {
  const std::string path = scratch_.File("request.txt");
  ASSERT_EQ(Fetch(ControlBase() + "/request", path).result, 0);
  const std::string request = ReadFile(path);
  EXPECT_EQ(request.rfind("GET /request HTTP/1.1\r\n", 0), 0u) << request;
  EXPECT_NE(request.find("\nUser-Agent: KorvanUpdater\n"), std::string::npos) << request;
}

TEST_F(DownloadFileTest, ALaterDownloadReplacesTheWholeFile) {
  // One download after another into the same file: the second replaces the
  // first whole, with no trace of its longer content.
  const std::string path = scratch_.File("twice.bin");
  ASSERT_EQ(Fetch(ControlBase() + "/bytes/5000", path).result, 0);
  ASSERT_EQ(Fetch(ControlBase() + "/bytes/100", path).result, 0);
  EXPECT_TRUE(ReadFile(path) == PatternBytes(100));
}

TEST_F(DownloadFileTest, ASecondDownloadIntoAFileBeingWrittenFails) {
  const std::string path = scratch_.File("shared.dll.new");
  constexpr std::size_t kLength = 8000;
  Download first;
  std::atomic<bool> firstDone{false};
  std::thread slow([&] {
    first = Fetch(ControlBase() + "/slow/8000/8/200", path);
    firstDone = true;
  });
  // The second starts while the first writes its body (about 1.4 s long).
  while (!FileExists(path) && !firstDone) std::this_thread::yield();
  const Download second = Fetch(ControlBase() + "/bytes/10", path);
  slow.join();
  EXPECT_NE(second.result, 0);
  EXPECT_NE(GetErrorText(second.result), "Unknown error") << second.result;
  ASSERT_EQ(first.result, 0) << GetErrorText(first.result);
  EXPECT_TRUE(ReadFile(path) == PatternBytes(kLength));
}

TEST_F(DownloadFileTest, FailuresThatMayPassAreToldFromThoseThatWillNot) {
  struct Case {
    std::string url;
    bool passing;
  };
  const Case cases[] = {
      {ControlBase() + "/status/503", true},           {ControlBase() + "/status/500", true},
      {ControlBase() + "/status/408", true},           {ControlBase() + "/status/429", true},
      {ControlBase() + "/cutoff/100000/40000", true},  {"http://127.0.0.1:1/refused", true},
      {ControlBase() + "/status/404", false},          {ControlBase() + "/status/403", false},
      {test::UntrustedHttpsBase() + "/absent", false},
  };
  for (const Case& c : cases) {
    const Download download = Fetch(c.url, scratch_.File("classified"));
    ASSERT_NE(download.result, 0) << c.url;
    EXPECT_EQ(platform::IsPassingFailure(download.result), c.passing) << c.url;
  }
  // A local file's error and a cancel are the download's end, not the line's.
  const Download local = Fetch(ControlBase() + "/bytes/10", scratch_.File("no/such/folder"));
  EXPECT_FALSE(platform::IsPassingFailure(local.result)) << local.result;
  EXPECT_FALSE(platform::IsPassingFailure(platform::kCancelledError));
}

// Watches a download and says stop once `stopAfter` has passed.
class StoppingProgress : public platform::DownloadProgress {
 public:
  explicit StoppingProgress(std::chrono::milliseconds stopAfter) : stopAfter_(stopAfter) {}
  bool Continue(std::uint64_t received, std::int64_t total) override {
    ++calls;
    lastReceived = received;
    lastTotal = total;
    if (std::chrono::steady_clock::now() - start_ < stopAfter_) return true;
    if (!stopped) stoppedAt = std::chrono::steady_clock::now();
    stopped = true;
    return false;
  }
  int calls = 0;
  std::uint64_t lastReceived = 0;
  std::int64_t lastTotal = -2;
  bool stopped = false;
  std::chrono::steady_clock::time_point stoppedAt;

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::chrono::milliseconds stopAfter_;
};

TEST_F(DownloadFileTest, AWatcherSeesTheBytesAndStopsAStalledDownloadWithinASecond) {
  // Half the body, then five seconds of silence.
  const std::string path = ExistingDestination();
  StoppingProgress progress(std::chrono::milliseconds(700));
  std::uint32_t received = 1;
  std::string text;
  const std::int32_t result = platform::DownloadFile(
      &received, &text, ControlBase() + "/slow/8000/2/5000", path, &progress);
  const auto stopping = std::chrono::steady_clock::now() - progress.stoppedAt;
  EXPECT_EQ(result, platform::kCancelledError);
  EXPECT_EQ(GetErrorText(result), "The update was cancelled by the user");
  EXPECT_LT(stopping, std::chrono::seconds(1));
  EXPECT_GE(progress.calls, 5);
  EXPECT_EQ(progress.lastReceived, 4000u);
  EXPECT_EQ(progress.lastTotal, 8000);
  EXPECT_EQ(received, 0u);
  EXPECT_FALSE(FileExists(path));

  // One that goes on to the end is the same download as without a watcher.
  StoppingProgress patient(std::chrono::hours(1));
  const std::int32_t whole =
      platform::DownloadFile(&received, &text, ControlBase() + "/slow/9000/3/200", path, &patient);
  ASSERT_EQ(whole, 0) << GetErrorText(whole);
  EXPECT_EQ(received, 9000u);
  EXPECT_EQ(patient.lastReceived, 9000u);
  EXPECT_TRUE(ReadFile(path) == PatternBytes(9000));
}

TEST(ExtractFileName, TakesThePartAfterTheLastSlashOnly) {
  EXPECT_EQ(ExtractFileName("dir/sub/file.dll"), "file.dll");
  EXPECT_EQ(ExtractFileName("file.dll"), "file.dll");
  EXPECT_EQ(ExtractFileName("dir\\file.dll"), "dir\\file.dll");
  EXPECT_EQ(ExtractFileName("/MQL4\\Libraries/a.dll"), "a.dll");
  EXPECT_EQ(ExtractFileName("dir/"), "");
  EXPECT_EQ(ExtractFileName(""), "");
}

TEST(ReadTextFile, ReadsBytesUpToTheFirstZero) {
  ScratchDirectory scratch;
  const std::string path = scratch.File("manifest.txt");
  WriteFile(path, std::string("ab\0cd", 5));
  EXPECT_EQ(ReadTextFile(path), "ab");
  WriteFile(path, "line\r\nnext\r\n\x1a tail");
  EXPECT_EQ(ReadTextFile(path), "line\r\nnext\r\n\x1a tail");
  WriteFile(path, "");
  EXPECT_EQ(ReadTextFile(path), "");
  EXPECT_EQ(ReadTextFile(scratch.File("missing.txt")), "");
  EXPECT_EQ(ReadTextFile(scratch.path()), "");
}

TEST(GetErrorText, NamesTheDownloadsOwnFailures) {
  EXPECT_EQ(GetErrorText(kHttpStatus + 404), "The server answered with HTTP status 404");
  EXPECT_EQ(GetErrorText(kHttpStatus + 999), "The server answered with HTTP status 999");
  EXPECT_EQ(GetErrorText(kIncompleteBody),
            "The connection ended before the whole file was received");
  EXPECT_EQ(GetErrorText(kManifestMismatchError), "The file does not match the manifest");
  EXPECT_EQ(GetErrorText(platform::kCancelledError), "The update was cancelled by the user");
}

}  // namespace
