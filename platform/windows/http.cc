#include "platform/http.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
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

// What one transfer shares with the thread that watches it: its progress,
// and its internet handle, which the watcher closes to stop it. A transfer
// nobody watches uses it alone.
struct Transfer {
  std::string url;
  std::string path;
  // Taken around opening and closing the handles and making the file, so
  // that a stop never closes a handle twice nor misses a file.
  SRWLOCK lock = SRWLOCK_INIT;
  HINTERNET internet = nullptr;
  bool stopped = false;  // the watcher closed `internet` and owns the rest
  bool fileMade = false;
  std::atomic<unsigned long long> received{0};
  std::atomic<long long> announced{-1};
  // The outcome, read once the transfer has ended.
  std::int32_t result = 0;
  bool responseTextSet = false;
  std::string responseText;
};

class Locked {
 public:
  explicit Locked(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
  ~Locked() { ReleaseSRWLockExclusive(&lock_); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;

 private:
  SRWLOCK& lock_;
};

// Closes the transfer's handles unless a stop closed them already: their
// numbers may then belong to another download.
void CloseHandles(Transfer& transfer, HINTERNET request) {
  const Locked locked(transfer.lock);
  if (transfer.stopped) return;
  if (request != nullptr) InternetCloseHandle(request);
  InternetCloseHandle(transfer.internet);
  transfer.internet = nullptr;
}

// Streams the body into the open file through `buffer` (kReadSize bytes);
// 0 or the failure's code.
DWORD CopyBody(HINTERNET request, HANDLE file, char* buffer, Transfer& transfer) {
  for (;;) {
    DWORD read = 0;
    if (!InternetReadFile(request, buffer, kReadSize, &read)) {
      return LastErrorOr(ERROR_INTERNET_CONNECTION_RESET);
    }
    if (read == 0) return 0;
    transfer.received.fetch_add(read, std::memory_order_relaxed);
    DWORD written = 0;
    if (!WriteFile(file, buffer, read, &written, nullptr)) return LastErrorOr(ERROR_WRITE_FAULT);
    if (written != read) return ERROR_DISK_FULL;
  }
}

// No byte for the time-out, while connecting or reading, ends the transfer
// with ERROR_INTERNET_TIMEOUT.
void SetTimeouts(HINTERNET internet) {
  DWORD timeoutMs = static_cast<DWORD>(CurrentDownloadTiming().noByteTimeoutMs);
  for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                       INTERNET_OPTION_RECEIVE_TIMEOUT}) {
    InternetSetOptionA(internet, option, &timeoutMs, sizeof timeoutMs);
  }
}

// The whole transfer; 0 or the failure's code.
std::int32_t Run(Transfer& transfer, bool watched) {
  // A stored copy must never answer for the server.
  DeleteUrlCacheEntryA(transfer.url.c_str());

  HINTERNET internet = InternetOpenA(kAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  if (internet == nullptr) return LastErrorOr(ERROR_INTERNET_INTERNAL_ERROR);
  SetTimeouts(internet);
  {
    const Locked locked(transfer.lock);
    if (transfer.stopped) {
      InternetCloseHandle(internet);
      return kCancelledError;
    }
    transfer.internet = internet;
  }

  HINTERNET request = OpenFollowingRedirects(internet, transfer.url);
  if (request == nullptr) {
    const DWORD error = LastErrorOr(ERROR_INTERNET_INTERNAL_ERROR);
    char text[kResponseTextSize] = {};
    DWORD code = 0;
    DWORD length = kResponseTextSize;
    // A text that does not fit is not delivered at all: it reads as empty.
    if (!InternetGetLastResponseInfoA(&code, text, &length)) text[0] = '\0';
    text[kResponseTextSize - 1] = '\0';
    transfer.responseText = text;
    transfer.responseTextSet = true;
    CloseHandles(transfer, nullptr);
    return error;
  }

  // An error page is no file: an answer outside 2xx leaves the destination
  // as it was.
  Answer answer;
  DWORD error = ReadAnswer(request, &answer);
  if (error == 0 && !IsSuccess(answer)) {
    transfer.responseText = StatusLine(request);
    transfer.responseTextSet = true;
    error = kHttpStatusErrorBase + std::min<DWORD>(answer.status, 999);
  }
  if (error != 0) {
    CloseHandles(transfer, request);
    return error;
  }
  transfer.announced = answer.contentLength;

  // On the heap: the host's threads may have small stacks. Taken before the
  // file is made, so that a lack of memory leaves the destination as it was.
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[kReadSize]);
  if (!buffer) {
    CloseHandles(transfer, request);
    return ERROR_NOT_ENOUGH_MEMORY;
  }

  const std::wstring widePath = WidenAnsi(transfer.path);
  HANDLE file = INVALID_HANDLE_VALUE;
  {
    const Locked locked(transfer.lock);
    if (transfer.stopped) return kCancelledError;
    // A watcher that stops a stalled transfer removes the file itself.
    file = CreateFileW(widePath.c_str(), GENERIC_WRITE, watched ? FILE_SHARE_DELETE : 0, nullptr,
                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      error = LastErrorOr(ERROR_CANNOT_MAKE);
    } else {
      // A device given as the destination is no file to remove.
      transfer.fileMade = GetFileType(file) == FILE_TYPE_DISK;
    }
  }
  if (file == INVALID_HANDLE_VALUE) {
    CloseHandles(transfer, request);
    return error;
  }

  error = CopyBody(request, file, buffer.get(), transfer);
  const unsigned long long total = transfer.received;
  // A connection that drops may end like a complete body; only the
  // announced length tells them apart.
  if (error == 0 && answer.contentLength >= 0 &&
      total != static_cast<unsigned long long>(answer.contentLength)) {
    error = kIncompleteBodyError;
  }
  if (!CloseHandle(file) && error == 0) error = LastErrorOr(ERROR_WRITE_FAULT);
  // What was written of a failed transfer is no file either; the caller
  // would only have to tell it from a complete one.
  if (error != 0 && transfer.fileMade) DeleteFileW(widePath.c_str());
  CloseHandles(transfer, request);
  {
    const Locked locked(transfer.lock);
    if (transfer.stopped) return kCancelledError;
  }
  return static_cast<std::int32_t>(error);
}

// How often a watched download looks at its watcher, and how long a stop
// waits for the transfer to notice before it leaves it behind.
constexpr DWORD kWatchIntervalMs = 100;
constexpr DWORD kStopWaitMs = 500;

DWORD WINAPI RunOnItsThread(void* parameter) {
  const std::unique_ptr<std::shared_ptr<Transfer>> owner(
      static_cast<std::shared_ptr<Transfer>*>(parameter));
  Transfer& transfer = **owner;
  try {
    transfer.result = Run(transfer, /*watched=*/true);
  } catch (...) {
    transfer.result = ERROR_NOT_ENOUGH_MEMORY;
  }
  return 0;
}

// The transfer runs on a thread of its own, so that a watcher is asked
// every kWatchIntervalMs even while a read waits on a silent server. A stop
// closes the internet handle, which ends a waiting read; a read that does
// not end is left to its time-out, its file removed already.
std::int32_t RunWatched(const std::shared_ptr<Transfer>& transfer, DownloadProgress& progress) {
  auto* owner = new std::shared_ptr<Transfer>(transfer);
  HANDLE thread = CreateThread(nullptr, 0, &RunOnItsThread, owner, 0, nullptr);
  if (thread == nullptr) {
    delete owner;
    return static_cast<std::int32_t>(LastErrorOr(ERROR_NOT_ENOUGH_MEMORY));
  }
  while (WaitForSingleObject(thread, kWatchIntervalMs) == WAIT_TIMEOUT) {
    if (progress.Continue(transfer->received, transfer->announced)) continue;
    bool removeFile = false;
    {
      const Locked locked(transfer->lock);
      transfer->stopped = true;
      if (transfer->internet != nullptr) InternetCloseHandle(transfer->internet);
      transfer->internet = nullptr;
      removeFile = transfer->fileMade;
    }
    if (WaitForSingleObject(thread, kStopWaitMs) != WAIT_OBJECT_0 && removeFile) {
      DeleteFileW(WidenAnsi(transfer->path).c_str());
    }
    CloseHandle(thread);
    return kCancelledError;
  }
  CloseHandle(thread);
  if (transfer->result == 0) progress.Continue(transfer->received, transfer->announced);
  return transfer->result;
}

}  // namespace

std::int32_t DownloadFile(std::uint32_t* received, std::string* responseText,
                          const std::string& url, const std::string& path,
                          DownloadProgress* progress) {
  *received = 0;
  const auto transfer = std::make_shared<Transfer>();
  transfer->url = url;
  transfer->path = path;
  const std::int32_t result =
      progress != nullptr ? RunWatched(transfer, *progress) : Run(*transfer, /*watched=*/false);
  if (result == kCancelledError) return Failure(kCancelledError);
  if (transfer->responseTextSet) *responseText = transfer->responseText;
  if (result != 0) return Failure(static_cast<DWORD>(result));
  *received = static_cast<std::uint32_t>(transfer->received);
  return 0;
}

bool IsPassingFailure(std::int32_t code) {
  switch (code) {
    case ERROR_INTERNET_TIMEOUT:
    case ERROR_INTERNET_CANNOT_CONNECT:
    case ERROR_INTERNET_CONNECTION_ABORTED:
    case ERROR_INTERNET_CONNECTION_RESET:
    case ERROR_HTTP_INVALID_SERVER_RESPONSE:
      return true;
    default:
      return IsPassingHttpFailure(code);
  }
}

std::string InternetErrorText(std::int32_t) {
  // WinINet's codes are read from the system's message table like any other,
  // so the texts in the log and the boxes stay those the system gives.
  return std::string();
}

}  // namespace platform
