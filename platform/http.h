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
std::int32_t DownloadFile(std::uint32_t* received, std::string* responseText,
                          const std::string& url, const std::string& path);

// The internet library's text for one of its own codes among DownloadFile's
// results (curl's), where the system's table does not have it; empty for any
// other code and on Windows, whose codes the system's table covers.
std::string InternetErrorText(std::int32_t code);

}  // namespace platform
