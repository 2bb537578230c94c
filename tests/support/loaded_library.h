// The updater library installed into a scratch terminal folder and loaded as
// the terminal loads it, with every export resolved by name.
#pragma once

#include <cstdint>
#include <string>

#include "platform/api.h"
#include "platform/dynamic_library.h"
#include "tests/support/test_support.h"

namespace test {

class LoadedLibrary {
 public:
  // Copies the built library to <scratch>/terminal/MQL4/Libraries/ and loads
  // it; the log therefore lands in <scratch>/terminal/.
  LoadedLibrary();
  ~LoadedLibrary();
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;

  platform::LibraryHandle handle() const { return handle_; }
  const std::string& terminalDirectory() const { return terminalDirectory_; }
  const std::string& libraryDirectory() const { return libraryDirectory_; }
  std::string logPath() const;

  // Unloads the library now (the log file is closed afterwards).
  void Unload();

  std::int32_t(KORVAN_CALL* XCheckForUpdates)(const char16_t*, const char16_t*,
                                              const char16_t*) = nullptr;
  std::int32_t(KORVAN_CALL* XLaunchUpdater)(const char16_t*, const char16_t*,
                                            const char16_t*) = nullptr;
  std::int32_t(KORVAN_CALL* XUpdaterProcess)(const char*, const char*, const char*,
                                             std::uint32_t) = nullptr;
  std::int32_t(KORVAN_CALL* extEnterCS)(std::int32_t) = nullptr;
  std::int32_t(KORVAN_CALL* extTryEnterCS)(std::int32_t) = nullptr;
  std::int32_t(KORVAN_CALL* extLeaveCS)(std::int32_t) = nullptr;
  void(KORVAN_CALL* extSetFlag)(std::int32_t, std::int32_t) = nullptr;
  std::int32_t(KORVAN_CALL* extGetFlag)(std::int32_t) = nullptr;
  char*(KORVAN_CALL* extGetVersion)() = nullptr;

 private:
  ScratchDirectory scratch_;
  std::string terminalDirectory_;
  std::string libraryDirectory_;
  platform::LibraryHandle handle_ = nullptr;
};

}  // namespace test
