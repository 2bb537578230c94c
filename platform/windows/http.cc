#include "platform/http.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "platform/windows/wide_text.h"

namespace platform {
namespace {

constexpr char kAgent[] = "KorvanUpdater";
// Each InternetReadFile costs about 110 us under Wine whatever it delivers,
// so small reads cap the download far below the line's speed (1 KiB reads:
// 9 MiB/s, 64 KiB: 200 MiB/s). At 1 MiB that cost is a few percent of a
// read; memory stays flat in the file's size all the same.
constexpr DWORD kReadSize = 1024 * 1024;
constexpr DWORD kResponseTextSize = 512;

// The calling thread's last error, never 0: a failure must not read as
// success even where the platform left no code behind.
DWORD LastErrorOr(DWORD fallback) {
  const DWORD error = GetLastError();
  return error != 0 ? error : fallback;
}

// Closing handles may overwrite the thread's last error; callers read it
// after the download, so the failure's own code is put back.
std::int32_t Failure(DWORD error) {
  ::SetLastError(error);
  return static_cast<std::int32_t>(error);
}

// One header of the answer as text; empty when it is missing.
std::string QueryHeader(HINTERNET request, DWORD info) {
  std::string text(64, '\0');
  for (;;) {
    DWORD length = static_cast<DWORD>(text.size());
    if (HttpQueryInfoA(request, info, &text[0], &length, nullptr)) {
      text.resize(length);
      return text;
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || length <= text.size()) return std::string();
    text.assign(length, '\0');
  }
}

// "HTTP/1.1 404 Not Found", as the server sent it.
std::string StatusLine(HINTERNET request) {
  std::string line = QueryHeader(request, HTTP_QUERY_VERSION) + " " +
                     QueryHeader(request, HTTP_QUERY_STATUS_CODE) + " " +
                     QueryHeader(request, HTTP_QUERY_STATUS_TEXT);
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

// Redirects are followed here rather than by WinINet, which under Wine
// follows a server that redirects in a loop for ever. As many as curl
// follows on Linux.
constexpr int kMaxRedirects = 20;

bool IsRedirect(DWORD status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// The URL opened after any redirects, or nullptr with the last error set.
HINTERNET OpenFollowingRedirects(HINTERNET internet, const std::string& url) {
  std::string address = url;
  for (int redirects = 0;; ++redirects) {
    HINTERNET request =
        InternetOpenUrlA(internet, address.c_str(), nullptr, 0, INTERNET_FLAG_NO_AUTO_REDIRECT, 0);
    if (request == nullptr) return nullptr;
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                        nullptr) ||
        !IsRedirect(status)) {
      return request;
    }
    const std::string location = QueryHeader(request, HTTP_QUERY_LOCATION);
    InternetCloseHandle(request);
    char combined[INTERNET_MAX_URL_LENGTH] = {};
    DWORD length = sizeof combined;
    if (redirects == kMaxRedirects || location.empty() ||
        !InternetCombineUrlA(address.c_str(), location.c_str(), combined, &length, ICU_NO_ENCODE)) {
      SetLastError(ERROR_HTTP_REDIRECT_FAILED);
      return nullptr;
    }
    address.assign(combined, length);
  }
}

// What the answer promises: its status (0 for an address that is not HTTP,
// which has none) and its Content-Length (-1 when it announces none).
struct Answer {
  DWORD status = 0;
  long long contentLength = -1;
};

DWORD ReadAnswer(HINTERNET request, Answer* answer) {
  DWORD size = sizeof answer->status;
  if (!HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &answer->status,
                      &size, nullptr)) {
    const DWORD error = LastErrorOr(ERROR_INTERNET_INTERNAL_ERROR);
    // An FTP address opens a handle without HTTP headers.
    if (error == ERROR_INTERNET_INCORRECT_HANDLE_TYPE) return 0;
    return error;
  }
  const std::string length = QueryHeader(request, HTTP_QUERY_CONTENT_LENGTH);
  if (!length.empty()) answer->contentLength = std::strtoll(length.c_str(), nullptr, 10);
  return 0;
}

bool IsSuccess(const Answer& answer) {
  return answer.status == 0 || (answer.status >= 200 && answer.status <= 299);
}

// Streams the body into the open file through `buffer` (kReadSize bytes);
// 0 or the failure's code.
DWORD CopyBody(HINTERNET request, HANDLE file, char* buffer, unsigned long long* total) {
  for (;;) {
    DWORD read = 0;
    if (!InternetReadFile(request, buffer, kReadSize, &read)) {
      return LastErrorOr(ERROR_INTERNET_CONNECTION_RESET);
    }
    if (read == 0) return 0;
    *total += read;
    DWORD written = 0;
    if (!WriteFile(file, buffer, read, &written, nullptr)) return LastErrorOr(ERROR_WRITE_FAULT);
    if (written != read) return ERROR_DISK_FULL;
  }
}

}  // namespace

std::int32_t DownloadFile(std::uint32_t* received, std::string* responseText,
                          const std::string& url, const std::string& path) {
  // A stored copy must never answer for the server.
  DeleteUrlCacheEntryA(url.c_str());
  *received = 0;

  HINTERNET internet = InternetOpenA(kAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  if (internet == nullptr) return Failure(LastErrorOr(ERROR_INTERNET_INTERNAL_ERROR));

  HINTERNET request = OpenFollowingRedirects(internet, url);
  if (request == nullptr) {
    const DWORD error = LastErrorOr(ERROR_INTERNET_INTERNAL_ERROR);
    char text[kResponseTextSize] = {};
    DWORD code = 0;
    DWORD length = kResponseTextSize;
    // A text that does not fit is not delivered at all: it reads as empty.
    if (!InternetGetLastResponseInfoA(&code, text, &length)) text[0] = '\0';
    text[kResponseTextSize - 1] = '\0';
    *responseText = text;
    InternetCloseHandle(internet);
    return Failure(error);
  }

  // An error page is no file: an answer outside 2xx leaves the destination
  // as it was.
  Answer answer;
  DWORD error = ReadAnswer(request, &answer);
  if (error == 0 && !IsSuccess(answer)) {
    *responseText = StatusLine(request);
    error = kHttpStatusErrorBase + std::min<DWORD>(answer.status, 999);
  }
  if (error != 0) {
    InternetCloseHandle(request);
    InternetCloseHandle(internet);
    return Failure(error);
  }

  // On the heap: the host's threads may have small stacks. Taken before the
  // file is made, so that a lack of memory leaves the destination as it was.
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[kReadSize]);
  if (!buffer) {
    InternetCloseHandle(request);
    InternetCloseHandle(internet);
    return Failure(ERROR_NOT_ENOUGH_MEMORY);
  }

  const std::wstring widePath = WidenAnsi(path);
  HANDLE file = CreateFileW(widePath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = LastErrorOr(ERROR_CANNOT_MAKE);
    InternetCloseHandle(request);
    InternetCloseHandle(internet);
    return Failure(error);
  }

  // A device given as the destination is no file to remove.
  const bool regularFile = GetFileType(file) == FILE_TYPE_DISK;
  unsigned long long total = 0;
  error = CopyBody(request, file, buffer.get(), &total);
  // A connection that drops may end like a complete body; only the
  // announced length tells them apart.
  if (error == 0 && answer.contentLength >= 0 &&
      total != static_cast<unsigned long long>(answer.contentLength)) {
    error = kIncompleteBodyError;
  }
  if (!CloseHandle(file) && error == 0) error = LastErrorOr(ERROR_WRITE_FAULT);
  // What was written of a failed transfer is no file either; the caller
  // would only have to tell it from a complete one.
  if (error != 0 && regularFile) DeleteFileW(widePath.c_str());
  InternetCloseHandle(request);
  InternetCloseHandle(internet);
  if (error != 0) return Failure(error);

  *received = static_cast<std::uint32_t>(total);
  return 0;
}

std::string InternetErrorText(std::int32_t) {
  // WinINet's codes are read from the system's message table like any other,
  // so the texts in the log and the boxes stay those the system gives.
  return std::string();
}

}  // namespace platform
