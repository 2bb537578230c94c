#include "platform/http.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>

namespace platform {
namespace {

// curl's own codes are offset so that they never read as errno values, which
// stay below 4096.
constexpr std::int32_t kCurlErrorBase = 10000;
constexpr std::int32_t kCurlErrorLast = kCurlErrorBase + 999;

constexpr char kAgent[] = "KorvanUpdater";
constexpr long kMaxRedirects = 20;
// How often a watched download looks at its watcher while nothing arrives.
constexpr int kWatchIntervalMs = 100;
// Each piece curl receives is one write to the file: 512 KiB pieces cost a
// tenth less processor time per byte than 64 KiB ones, and curl holds just
// one such buffer per transfer.
constexpr long kReceiveBufferSize = 512 * 1024;

struct Transfer {
  CURL* curl = nullptr;
  const std::string* path = nullptr;
  int file = -1;
  bool regularFile = false;
  int fileError = 0;  // errno of a failed create, write or close
  long refusedStatus = 0;
  std::uint64_t total = 0;
  std::string statusLine;                // of the latest answer, redirects included
  char errorText[CURL_ERROR_SIZE] = {};  // curl writes into it until cleanup
};

bool IsSuccess(long status) { return status >= 200 && status <= 299; }

// The destination is created, or emptied, only once a 2xx answer is here.
// Like the Windows build's unshared handle, a lock keeps a second download
// from writing into the same file at the same time: it fails instead.
bool CreateDestination(Transfer& transfer) {
  const int file = open(transfer.path->c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (file < 0) {
    transfer.fileError = errno;
    return false;
  }
  struct stat status;
  const bool regularFile = fstat(file, &status) == 0 && S_ISREG(status.st_mode);
  if (regularFile && flock(file, LOCK_EX | LOCK_NB) != 0) {
    transfer.fileError = errno == EWOULDBLOCK ? EBUSY : errno;
    close(file);
    return false;
  }
  if (regularFile && ftruncate(file, 0) != 0) {
    transfer.fileError = errno;
    close(file);
    return false;
  }
  transfer.file = file;
  transfer.regularFile = regularFile;
  return true;
}

bool WriteAll(Transfer& transfer, const char* data, size_t length) {
  while (length > 0) {
    const ssize_t written = write(transfer.file, data, length);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      transfer.fileError = written < 0 ? errno : ENOSPC;
      return false;
    }
    data += written;
    length -= static_cast<size_t>(written);
  }
  return true;
}

size_t OnHeader(char* data, size_t size, size_t count, void* context) {
  Transfer& transfer = *static_cast<Transfer*>(context);
  const size_t length = size * count;
  if (length >= 5 && std::memcmp(data, "HTTP/", 5) == 0) {
    transfer.statusLine.assign(data, length);
    while (!transfer.statusLine.empty() &&
           (transfer.statusLine.back() == '\r' || transfer.statusLine.back() == '\n')) {
      transfer.statusLine.pop_back();
    }
  }
  return length;
}

// Returning less than `length` makes curl end the transfer.
size_t OnBody(char* data, size_t size, size_t count, void* context) {
  Transfer& transfer = *static_cast<Transfer*>(context);
  const size_t length = size * count;
  if (transfer.file < 0) {
    long status = 0;
    curl_easy_getinfo(transfer.curl, CURLINFO_RESPONSE_CODE, &status);
    if (!IsSuccess(status)) {
      transfer.refusedStatus = status;
      return 0;
    }
    if (!CreateDestination(transfer)) return 0;
  }
  if (!WriteAll(transfer, data, length)) return 0;
  transfer.total += length;
  return length;
}

std::int32_t Failure(std::int32_t code) {
  errno = code;
  return code;
}

std::int32_t StatusFailure(long status) {
  return kHttpStatusErrorBase + static_cast<std::int32_t>(std::clamp(status, 0L, 999L));
}

void Configure(CURL* curl, const std::string& url, Transfer* transfer) {
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_USERAGENT, kAgent);
  // A direct connection, whatever the environment's proxy variables say.
  curl_easy_setopt(curl, CURLOPT_PROXY, "");
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, kMaxRedirects);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
  // Give up on a connection that cannot be made, or that stops delivering,
  // after the time-out without a byte.
  const long timeoutMs = CurrentDownloadTiming().noByteTimeoutMs;
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, timeoutMs);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, std::max(1L, (timeoutMs + 999) / 1000));
  curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, kReceiveBufferSize);
  // The host's threads must not see signals from name resolution.
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, transfer->errorText);
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, OnHeader);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, transfer);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, transfer);
}

// The length the server announced for the body being written, or -1.
std::int64_t AnnouncedLength(const Transfer& transfer) {
  curl_off_t announced = -1;
  if (transfer.file < 0) return -1;
  curl_easy_getinfo(transfer.curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
  return announced;
}

// The transfer driven step by step, so that the watcher is asked at least
// every kWatchIntervalMs whatever the server does; `stopped` tells that it
// said stop.
CURLcode PerformWatched(CURL* curl, Transfer& transfer, DownloadProgress& progress, bool* stopped) {
  CURLM* multi = curl_multi_init();
  if (multi == nullptr) return CURLE_OUT_OF_MEMORY;
  curl_multi_add_handle(multi, curl);
  CURLcode code = CURLE_OK;
  using Clock = std::chrono::steady_clock;
  Clock::time_point lastReport;
  for (;;) {
    int running = 0;
    if (curl_multi_perform(multi, &running) != CURLM_OK) {
      code = CURLE_OUT_OF_MEMORY;
      break;
    }
    if (running == 0) {
      int left = 0;
      while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
        if (message->msg == CURLMSG_DONE) code = message->data.result;
      }
      break;
    }
    // A fast transfer calls the watcher no more often than a slow one.
    const Clock::time_point now = Clock::now();
    if (now - lastReport >= std::chrono::milliseconds(kWatchIntervalMs / 2)) {
      lastReport = now;
      if (!progress.Continue(transfer.total, AnnouncedLength(transfer))) {
        *stopped = true;
        break;
      }
    }
    curl_multi_poll(multi, nullptr, 0, kWatchIntervalMs, nullptr);
  }
  curl_multi_remove_handle(multi, curl);
  curl_multi_cleanup(multi);
  return code;
}

// Runs the transfer; 0 when the destination holds the complete body.
std::int32_t Run(CURL* curl, const std::string& url, Transfer& transfer, std::string* responseText,
                 DownloadProgress* progress) {
  Configure(curl, url, &transfer);
  bool stopped = false;
  const CURLcode code = progress != nullptr ? PerformWatched(curl, transfer, *progress, &stopped)
                                            : curl_easy_perform(curl);

  if (stopped) return kCancelledError;
  if (transfer.fileError != 0) return transfer.fileError;
  if (transfer.refusedStatus != 0) {
    *responseText = transfer.statusLine;
    return StatusFailure(transfer.refusedStatus);
  }
  if (code != CURLE_OK) {
    *responseText = transfer.errorText[0] != '\0' ? transfer.errorText : curl_easy_strerror(code);
    return kCurlErrorBase + static_cast<std::int32_t>(code);
  }
  long status = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  if (!IsSuccess(status)) {
    *responseText = transfer.statusLine;
    return StatusFailure(status);
  }
  // An empty body never reached OnBody.
  if (transfer.file < 0 && !CreateDestination(transfer)) return transfer.fileError;
  const std::int64_t announced = AnnouncedLength(transfer);
  if (announced >= 0 && transfer.total != static_cast<std::uint64_t>(announced)) {
    return kIncompleteBodyError;
  }
  if (progress != nullptr) progress->Continue(transfer.total, announced);
  return 0;
}

}  // namespace

std::int32_t DownloadFile(std::uint32_t* received, std::string* responseText,
                          const std::string& url, const std::string& path,
                          DownloadProgress* progress) {
  *received = 0;
  static std::once_flag curlReady;
  std::call_once(curlReady, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  CURL* curl = curl_easy_init();
  if (curl == nullptr) return Failure(kCurlErrorBase + CURLE_FAILED_INIT);

  Transfer transfer;
  transfer.curl = curl;
  transfer.path = &path;
  std::int32_t result = Run(curl, url, transfer, responseText, progress);
  curl_easy_cleanup(curl);

  if (transfer.file >= 0) {
    if (close(transfer.file) != 0 && result == 0) result = errno;
    // What was written of a failed transfer is no file: the caller would only
    // have to tell it from a complete one.
    // A device or pipe given as the destination is no such file.
    if (result != 0 && transfer.regularFile) unlink(path.c_str());
  }
  if (result != 0) return Failure(result);
  *received = static_cast<std::uint32_t>(transfer.total);
  return 0;
}

bool IsPassingFailure(std::int32_t code) {
  if (IsPassingHttpFailure(code)) return true;
  switch (code - kCurlErrorBase) {
    case CURLE_COULDNT_CONNECT:
    case CURLE_PARTIAL_FILE:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_GOT_NOTHING:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
      return true;
    default:
      return false;
  }
}

std::string InternetErrorText(std::int32_t code) {
  if (code < kCurlErrorBase || code > kCurlErrorLast) return std::string();
  return curl_easy_strerror(static_cast<CURLcode>(code - kCurlErrorBase));
}

}  // namespace platform
