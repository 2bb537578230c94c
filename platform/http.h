// Fetching one URL into a file through the platform's internet library
// (WinINet on Windows, libcurl elsewhere).
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Results of a failed download that are not the platform's own error numbers.
// Bit 29 marks application-defined codes on Windows, so no system, WinINet,
// errno or curl code below carries it.
constexpr std::int32_t kApplicationErrorBit = 0x20000000;
// Plus the final HTTP status of an answer outside 2xx (404 gives 0x20000194).
constexpr std::int32_t kHttpStatusErrorBase = kApplicationErrorBit;
constexpr std::int32_t kHttpStatusErrorLast = kHttpStatusErrorBase + 999;
// The transfer ended before the body announced by Content-Length was whole.
constexpr std::int32_t kIncompleteBodyError = kApplicationErrorBit + 0x1000;
// The download was stopped because its watcher asked for it (the user
// cancelled).
constexpr std::int32_t kCancelledError = kApplicationErrorBit + 0x1001;

// Told how a download goes, and asked whether it should go on.
class DownloadProgress {
 public:
  virtual ~DownloadProgress() = default;
  // Called as the body arrives and, while nothing arrives, at least every
  // 100 ms, on the thread that called DownloadFile. `total` is the length
  // the server announced, or -1. Returning false stops the download within
  // a second, stalled server included: it then fails with kCancelledError.
  virtual bool Continue(std::uint64_t received, std::int64_t total) = 0;
};

// How long a download waits for a byte before it gives up (connecting and
// waiting for the answer included), and the pauses before the second and
// the third try of a download that failed in passing.
struct DownloadTiming {
  int noByteTimeoutMs = 30000;
  int retryDelaysMs[2] = {1000, 3000};
};
DownloadTiming CurrentDownloadTiming();

// Downloads `url` into the file `path`. Returns 0 when the file holds the
// complete body of a 2xx answer, with its length in `received`; otherwise a
// nonzero code, also left as the thread's last error, that the update's
// GetErrorText turns into text:
//   Windows: the system's error numbers (3 path not found, 5 access denied,
//     112 disk full, ...) and WinINet's 12000-12199 (12029 cannot connect,
//     12007 name not resolved, ...);
//   POSIX: errno values (below 4096) for the file, and 10000 + curl's
//     CURLcode for the transfer (10007 cannot connect, 10018 partial file,
//     10060 certificate not trusted, ...);
//   both: the codes above.
// The file is created (or emptied) only once a 2xx answer has arrived, so on
// a failure before that an existing file is untouched; a failure after that
// removes it, so no partial file is left behind. `responseText` receives the
// status line of an answer outside 2xx, or the platform's description of a
// transfer that failed (WinINet: the server's last response text when the
// address could not be opened; curl: its error text); otherwise it is left as
// it was.
// With `progress`, the download reports to it and stops when it says so.
// A download gives up after CurrentDownloadTiming().noByteTimeoutMs without
// a byte, with the platform's time-out code.
std::int32_t DownloadFile(std::uint32_t* received, std::string* responseText,
                          const std::string& url, const std::string& path,
                          DownloadProgress* progress = nullptr);

// Whether a failure of DownloadFile may pass when tried again a little
// later: a connection refused, reset or dropped, a time-out, a body cut
// short, HTTP 408, 429 or 5xx. Other HTTP answers, a local file's error and
// a cancel are not.
bool IsPassingFailure(std::int32_t code);
// The part of that answer common to both platforms: the HTTP statuses and a
// body cut short.
bool IsPassingHttpFailure(std::int32_t code);

// The internet library's text for one of its own codes among DownloadFile's
// results (curl's), where the system's table does not have it; empty for any
// other code and on Windows, whose codes the system's table covers.
std::string InternetErrorText(std::int32_t code);

}  // namespace platform
