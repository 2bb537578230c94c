// The last line of an update run that an exception ended.
#include "host/update_runs.h"
#include "log/common_log.h"

void LogUpdateError(const char* what) noexcept {
  // Any log may throw (the system's own does not), and this runs in an
  // export's last error handler: nothing may leave it.
  try {
    g_log->Write(kLogLevel, "Error when perform update: %s", what);
  } catch (...) {
  }
}
