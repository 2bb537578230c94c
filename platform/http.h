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
// nonzero code, which is also left as the thread's last error. The file is
// created (or emptied) only once a 2xx answer has arrived, so on a failure
// before that an existing file is untouched; a failure after that removes it,
// so no partial file is left behind. `responseText` is assigned the server's
// status line for an answer outside 2xx, and the internet library's
// description of a failed transfer where it has one.
std::int32_t DownloadUrlToFile(const std::string& url, const std::string& path,
                               std::uint32_t* received, std::string* responseText);

// The internet library's text for one of its own codes among DownloadUrlToFile's
// results (curl's), where the system's table does not have it; empty for any
// other code and on Windows, whose codes the system's table covers.
std::string InternetErrorText(std::int32_t code);

}  // namespace platform
