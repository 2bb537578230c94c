// What an update run tells whoever shows it to the user, and how that one
// stops it; and the plain table through which the companion program offers
// its own to the library it loaded.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

// Told of the update's steps on the thread that runs it.
class IUpdateObserver {
 public:
  virtual ~IUpdateObserver() = default;
  // A download begins: the manifest (`count` 0), or file `index` of `count`
  // (from 1).
  virtual void Downloading(const std::string& name, int index, int count) = 0;
  // Body bytes of the download under way, and its announced length or -1.
  virtual void Received(std::uint64_t received, std::int64_t total) = 0;
  // A download failed in passing and is tried again in `seconds`.
  virtual void Retrying(int seconds) = 0;
  // The file just downloaded is being swapped in.
  virtual void Installing(const std::string& name) = 0;
  // Whether the user asked to stop; asked often, so it must be quick.
  virtual bool Cancelled() = 0;
  // The run is over, and a message box may follow.
  virtual void Finished() = 0;
};

// The result of XUpdaterProcess, and so of the companion and of
// XLaunchUpdater, when the user cancelled the update.
constexpr std::int32_t kUpdateCancelled = -4;

// The table the companion program exports under kUpdateWatcherExport, a
// function without arguments that returns it. Plain C, so that a library
// and a companion of different builds still agree; `size` grows with later
// members.
extern "C" {
struct KorvanUpdateWatcherTable {
  std::uint32_t size;
  void* context;
  void (*downloading)(void* context, const char* name, std::int32_t index, std::int32_t count);
  void (*received)(void* context, std::uint64_t received, std::int64_t total);
  void (*retrying)(void* context, std::int32_t seconds);
  void (*installing)(void* context, const char* name);
  std::int32_t (*cancelled)(void* context);
  void (*finished)(void* context);
};
using KorvanUpdateWatcherFunction = const KorvanUpdateWatcherTable* (*)();
}
constexpr char kUpdateWatcherExport[] = "KorvanUpdateWatcher";

// The watcher of the program this process runs, or nullptr: only the
// companion offers one, the terminal never does.
std::unique_ptr<IUpdateObserver> ProgramUpdateObserver();
// The table that hands `observer`'s calls across, for the companion.
KorvanUpdateWatcherTable WatcherTableFor(IUpdateObserver* observer);

// Downloads `url` into `path` as DownloadFile does, trying a failure that
// may pass again after the pauses of CurrentDownloadTiming(), each with one
// log line; reports to `observer`, when given, and stops when it cancels
// (kCancelledError).
std::int32_t DownloadTryingAgain(std::uint32_t* received, std::string* responseText,
                                 const std::string& url, const std::string& path,
                                 IUpdateObserver* observer);

// The one log line of a cancelled update.
void LogUpdateCancelled(std::int32_t installed);
