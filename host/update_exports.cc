// The update exports.
#include "host/host.h"

KORVAN_API std::int32_t KORVAN_CALL XCheckForUpdates(const char16_t*, const char16_t*,
                                                     const char16_t*) {
  return 0;
}

KORVAN_API std::int32_t KORVAN_CALL XLaunchUpdater(const char16_t*, const char16_t*,
                                                   const char16_t*) {
  return -1;
}

KORVAN_API std::int32_t KORVAN_CALL XUpdaterProcess(const char*, const char*, const char*,
                                                    std::uint32_t) {
  return 0;
}
