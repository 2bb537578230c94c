#include "platform/http.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <utility>
#include <vector>

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
// A read that took less than kFastReadMs asks for twice as much next time,
// from kFirstAsking on; one that took more than kSlowReadMs, for a quarter.
constexpr ULONGLONG kFastReadMs = 50;
constexpr ULONGLONG kSlowReadMs = 300;
constexpr DWORD kFirstAsking = 64 * 1024;

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

// One transfer, split between two threads: a reader that does all of
// WinINet's work, and the caller, which writes the file and watches the
// clock and the watcher. A read that waits on a silent server can then be
// given up at once: WinINet under Wine has no time-out for it, and closing
// its handles does not end it. A reader given up ends at its next step.
struct Transfer {
  std::string url;
  HMODULE module = nullptr;  // kept loaded while the reader runs

  SRWLOCK lock = SRWLOCK_INIT;
  CONDITION_VARIABLE changed = CONDITION_VARIABLE_INIT;
  // Everything below is under `lock`.
  bool stopped = false;  // given up: the reader touches no handle any more
  HINTERNET internet = nullptr;
  bool answered = false;  // a 2xx answer arrived; its body follows
  bool ended = false;
  DWORD error = 0;  // the reader's failure, once ended
  Answer answer;
  bool responseTextSet = false;
  std::string responseText;
  std::vector<char> chunk;  // a piece of the body for the caller
  DWORD chunkSize = 0;
  bool chunkReady = false;
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

// The reader's end: its outcome for the caller, and its handles closed
// unless the caller closed them on giving up (their numbers may then belong
// to another download).
void EndReading(Transfer& transfer, HINTERNET request, DWORD error) {
  const Locked locked(transfer.lock);
  transfer.ended = true;
  transfer.error = error;
  if (!transfer.stopped) {
    if (request != nullptr) InternetCloseHandle(request);
    InternetCloseHandle(transfer.internet);
  }
  transfer.internet = nullptr;
  WakeAllConditionVariable(&transfer.changed);
}

// Hands one piece of the body to the caller; false once it gave up.
bool HandOver(Transfer& transfer, std::vector<char>& piece, DWORD size) {
  Locked locked(transfer.lock);
  while (transfer.chunkReady && !transfer.stopped) {
    SleepConditionVariableSRW(&transfer.changed, &transfer.lock, INFINITE, 0);
  }
  if (transfer.stopped) return false;
  std::swap(piece, transfer.chunk);
  transfer.chunkSize = size;
  transfer.chunkReady = true;
  WakeAllConditionVariable(&transfer.changed);
  return true;
}

// The reader: opens the address and reads the body piece by piece, each as
// soon as it is there, so that a slow line still shows progress.
void Read(Transfer& transfer) {
  // A stored copy must never answer for the server.
  DeleteUrlCacheEntryA(transfer.url.c_str());
  HINTERNET internet = InternetOpenA(kAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  if (internet == nullptr)
    return EndReading(transfer, nullptr, LastErrorOr(ERROR_INTERNET_INTERNAL_ERROR));
  {
    const Locked locked(transfer.lock);
    transfer.internet = internet;
    if (transfer.stopped) InternetCloseHandle(internet);
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
    {
      const Locked locked(transfer.lock);
      transfer.responseText = text;
      transfer.responseTextSet = true;
    }
    return EndReading(transfer, nullptr, error);
  }

  // An error page is no file: an answer outside 2xx leaves the destination
  // as it was.
  Answer answer;
  DWORD error = ReadAnswer(request, &answer);
  if (error == 0 && !IsSuccess(answer)) {
    const std::string statusLine = StatusLine(request);
    const Locked locked(transfer.lock);
    transfer.responseText = statusLine;
    transfer.responseTextSet = true;
    error = kHttpStatusErrorBase + std::min<DWORD>(answer.status, 999);
  }
  if (error != 0) return EndReading(transfer, request, error);
  {
    const Locked locked(transfer.lock);
    transfer.answer = answer;
    transfer.answered = true;
    WakeAllConditionVariable(&transfer.changed);
  }

  std::vector<char> piece(kReadSize);
  // How much one read asks for beyond what is there already. A read waits
  // until it has all it asked for, and each costs about 110 us under Wine
  // whatever it delivers: on a fast line the asking doubles up to kReadSize,
  // on a slow one it falls back to what has arrived, so that progress shows.
  DWORD asking = 0;
  for (;;) {
    DWORD available = 0;
    if (!InternetQueryDataAvailable(request, &available, 0, 0)) {
      error = LastErrorOr(ERROR_INTERNET_CONNECTION_RESET);
      break;
    }
    if (piece.size() < kReadSize) piece.resize(kReadSize);
    const DWORD size = std::max<DWORD>(1, std::min(std::max(available, asking), kReadSize));
    const ULONGLONG started = GetTickCount64();
    DWORD read = 0;
    if (!InternetReadFile(request, piece.data(), size, &read)) {
      error = LastErrorOr(ERROR_INTERNET_CONNECTION_RESET);
      break;
    }
    const ULONGLONG took = GetTickCount64() - started;
    if (took < kFastReadMs) {
      asking = std::min(kReadSize, std::max<DWORD>(kFirstAsking, asking * 2));
    } else if (took > kSlowReadMs) {
      asking /= 4;
    }
    if (read == 0 || !HandOver(transfer, piece, read)) break;
  }
  EndReading(transfer, request, error);
}

DWORD WINAPI ReadOnItsThread(void* parameter) {
  HMODULE module = nullptr;
  {
    const std::unique_ptr<std::shared_ptr<Transfer>> owner(
        static_cast<std::shared_ptr<Transfer>*>(parameter));
    Transfer& transfer = **owner;
    module = transfer.module;
    try {
      Read(transfer);
    } catch (...) {
      // Out of memory: the transfer ends as a failure.
      const Locked locked(transfer.lock);
      transfer.ended = true;
      transfer.error = ERROR_NOT_ENOUGH_MEMORY;
      WakeAllConditionVariable(&transfer.changed);
    }
  }
  // The library may be unloaded while a reader that was given up still
  // waits on a silent server; it stays loaded until the reader ends.
  if (module != nullptr) FreeLibraryAndExitThread(module, 0);
  return 0;
}

// How often the caller looks at the clock and the watcher while nothing
// arrives.
constexpr DWORD kWatchIntervalMs = 100;

// Gives the reader up: it ends at its next step. Closing its handles ends a
// waiting read where WinINet allows it.
void GiveUp(Transfer& transfer) {
  const Locked locked(transfer.lock);
  transfer.stopped = true;
  if (transfer.internet != nullptr) InternetCloseHandle(transfer.internet);
  transfer.internet = nullptr;
  WakeAllConditionVariable(&transfer.changed);
}

// The caller's side: the file, the time-out without a byte, and the
// watcher. 0 or the failure's code; `total` counts the body's bytes.
DWORD Receive(Transfer& transfer, const std::wstring& widePath, DownloadProgress* progress,
              unsigned long long* total, bool* fileMade) {
  const ULONGLONG timeoutMs = static_cast<ULONGLONG>(CurrentDownloadTiming().noByteTimeoutMs);
  ULONGLONG lastByte = GetTickCount64();
  HANDLE file = INVALID_HANDLE_VALUE;
  std::vector<char> piece;
  DWORD error = 0;
  long long announced = -1;
  for (;;) {
    DWORD size = 0;
    bool answered = false, ended = false;
    {
      Locked locked(transfer.lock);
      if (!transfer.chunkReady && !transfer.ended &&
          (file != INVALID_HANDLE_VALUE || !transfer.answered)) {
        SleepConditionVariableSRW(&transfer.changed, &transfer.lock, kWatchIntervalMs, 0);
      }
      answered = transfer.answered;
      announced = transfer.answer.contentLength;
      if (transfer.chunkReady) {
        std::swap(piece, transfer.chunk);
        size = transfer.chunkSize;
        transfer.chunkReady = false;
        WakeAllConditionVariable(&transfer.changed);
      } else if (transfer.ended) {
        ended = true;
        error = transfer.error;
      }
    }
    // The file is made, or emptied, only once a 2xx answer is here.
    if (answered && file == INVALID_HANDLE_VALUE) {
      file = CreateFileW(widePath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
      if (file == INVALID_HANDLE_VALUE) {
        error = LastErrorOr(ERROR_CANNOT_MAKE);
        break;
      }
      // A device given as the destination is no file to remove.
      *fileMade = GetFileType(file) == FILE_TYPE_DISK;
    }
    if (size > 0) {
      DWORD written = 0;
      if (!WriteFile(file, piece.data(), size, &written, nullptr)) {
        error = LastErrorOr(ERROR_WRITE_FAULT);
        break;
      }
      if (written != size) {
        error = ERROR_DISK_FULL;
        break;
      }
      *total += size;
      lastByte = GetTickCount64();
    }
    if (ended) break;
    if (progress != nullptr && !progress->Continue(*total, answered ? announced : -1)) {
      error = static_cast<DWORD>(kCancelledError);
      break;
    }
    if (GetTickCount64() - lastByte > timeoutMs) {
      error = ERROR_INTERNET_TIMEOUT;
      break;
    }
  }
  // A connection that drops may end like a complete body; only the
  // announced length tells them apart.
  if (error == 0 && announced >= 0 && *total != static_cast<unsigned long long>(announced)) {
    error = kIncompleteBodyError;
  }
  if (error == 0 && progress != nullptr) progress->Continue(*total, announced);
  if (file != INVALID_HANDLE_VALUE && !CloseHandle(file) && error == 0) {
    error = LastErrorOr(ERROR_WRITE_FAULT);
  }
  return error;
}

}  // namespace

std::int32_t DownloadFile(std::uint32_t* received, std::string* responseText,
                          const std::string& url, const std::string& path,
                          DownloadProgress* progress) {
  *received = 0;
  std::shared_ptr<Transfer> transfer(new (std::nothrow) Transfer);
  auto* owner = transfer ? new (std::nothrow) std::shared_ptr<Transfer>(transfer) : nullptr;
  if (owner == nullptr) return Failure(ERROR_NOT_ENOUGH_MEMORY);
  transfer->url = url;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                     reinterpret_cast<LPCWSTR>(&ReadOnItsThread), &transfer->module);
  HANDLE thread = CreateThread(nullptr, 0, &ReadOnItsThread, owner, 0, nullptr);
  if (thread == nullptr) {
    const DWORD error = LastErrorOr(ERROR_NOT_ENOUGH_MEMORY);
    if (transfer->module != nullptr) FreeLibrary(transfer->module);
    delete owner;
    return Failure(error);
  }
  CloseHandle(thread);

  const std::wstring widePath = WidenAnsi(path);
  unsigned long long total = 0;
  bool fileMade = false;
  DWORD error = Receive(*transfer, widePath, progress, &total, &fileMade);
  GiveUp(*transfer);
  // What was written of a failed transfer is no file either; the caller
  // would only have to tell it from a complete one.
  if (error != 0 && fileMade) DeleteFileW(widePath.c_str());
  {
    const Locked locked(transfer->lock);
    if (transfer->responseTextSet) *responseText = transfer->responseText;
  }
  if (error != 0) return Failure(error);
  *received = static_cast<std::uint32_t>(total);
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
