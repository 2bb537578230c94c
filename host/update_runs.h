// The check run behind XCheckForUpdates, the error handling both update runs
// share, and the launcher's check of the companion's command line.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "log/common_log.h"
#include "platform/installation_lock.h"
#include "update/update.h"

// What XLaunchUpdater and XUpdaterProcess give, and the companion exits
// with, when another update did not end within the wait bound: nothing was
// changed.
constexpr std::int32_t kUpdateBusyResult = -5;

// The turn of one update run (a check, a launch or a process run) in this
// process: a second run waits for the first, up to the wait bound, and then
// runs with its own arguments. The terminal runs several vendors' programs,
// which know nothing of each other; their boxes and updates come one after
// another. taken() is false when the wait ran out (a line in the log says
// so): the run then gives up without changing anything.
class UpdateRunTurn {
 public:
  UpdateRunTurn();
  ~UpdateRunTurn();
  UpdateRunTurn(const UpdateRunTurn&) = delete;
  UpdateRunTurn& operator=(const UpdateRunTurn&) = delete;

  bool taken() const { return taken_; }

 private:
  bool taken_ = false;
  bool owns_ = false;
};

// The check run of XCheckForUpdates: 1 with `out` filled when at least one
// listed file has a newer version on the server, otherwise 0.
std::int32_t DoCheckForUpdates(const std::string& url, const std::string& waitApp,
                               const std::string& files, TFileInfoList& out);

// Logs "Error when perform update: " and `what`; a log that fails here
// loses the line, and nothing leaves.
void LogUpdateError(const char* what) noexcept;

// Runs `run` and returns its result; an exception that leaves it is logged
// as the update's error and gives `failed` instead, for no exception may
// reach the terminal.
template <typename Run>
std::int32_t LoggingErrors(std::int32_t failed, Run run) {
  try {
    return run();
  } catch (const std::exception& error) {
    LogUpdateError(error.what());
  } catch (...) {
    LogUpdateError("unknown exception");
  }
  return failed;
}

// The installation of one run, in the folder of its application path. Its
// lock is held only while files are repaired, compared with the server's or
// moved, never while a box waits for the user: another run of the same
// installation would wait for a box that may be hidden behind the terminal.
// Lock() and Repair() wait for another holder up to the wait bound, and
// give false (a line in the log says so) when it still holds it.
class InstallationAccess {
 public:
  explicit InstallationAccess(const std::string& waitApp);

  bool Lock();
  void Unlock();
  // Puts back, under the lock, the listed files that an interrupted update
  // left missing.
  bool Repair(const TFileInfoList& files);

 private:
  std::string folder_;
  platform::InstallationLock lock_;
};

// Why XLaunchUpdater would refuse these values before starting the
// companion (the reason follows "Updater not started: " in its log line);
// empty when it would start it, with `parameters` its command line. The
// check asks first, so that the user never confirms an update that cannot
// start.
std::string UpdaterLaunchRefusal(const std::string& url, const std::string& waitApp,
                                 const std::string& files, std::string* parameters);

// The companion's parameter text " -u \"url\" -a \"waitApp\" -f \"files\" -p
// \"id\"", or false when it does not fit in its 4096-byte buffer.
bool FormatUpdaterParameters(const std::string& url, const std::string& waitApp,
                             const std::string& files, std::uint32_t processId,
                             std::string* parameters);

// Nothing is escaped on the way into the parameter text, so a value ending
// in a backslash or holding a stray quote would reach the companion changed
// or split. Empty when the text splits into exactly -u, -a, -f and -p with
// `url`, `waitApp`, `files` with its escaped quotes made plain, and the id;
// otherwise why not.
std::string CheckUpdaterParameters(const std::string& parameters, const std::string& url,
                                   const std::string& waitApp, const std::string& files,
                                   std::uint32_t processId);
