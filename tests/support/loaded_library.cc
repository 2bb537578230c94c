#include "tests/support/loaded_library.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/module_path.h"

namespace fs = std::filesystem;

namespace test {
namespace {

template <typename Function>
void Resolve(platform::LibraryHandle library, const char* name, Function& function) {
  function = reinterpret_cast<Function>(platform::FindExport(library, name));
  EXPECT_NE(function, nullptr) << "export missing: " << name;
}

}  // namespace

LoadedLibrary::LoadedLibrary() {
  terminal_directory_ = scratch_.File("terminal");
  library_directory_ = (fs::path(terminal_directory_) / "MQL4" / "Libraries").string();
  fs::create_directories(library_directory_);
  const std::string installed =
      (fs::path(library_directory_) / platform::kLibraryFileName).string();
  fs::copy_file(LibraryPath(), installed);
  handle_ = platform::LoadDynamicLibrary(installed);
  if (handle_ == nullptr) {
    ADD_FAILURE() << "cannot load " << installed;
    return;
  }
  Resolve(handle_, "XCheckForUpdates", XCheckForUpdates);
  Resolve(handle_, "XLaunchUpdater", XLaunchUpdater);
  Resolve(handle_, "XUpdaterProcess", XUpdaterProcess);
  Resolve(handle_, "extEnterCS", extEnterCS);
  Resolve(handle_, "extTryEnterCS", extTryEnterCS);
  Resolve(handle_, "extLeaveCS", extLeaveCS);
  Resolve(handle_, "extSetFlag", extSetFlag);
  Resolve(handle_, "extGetFlag", extGetFlag);
  Resolve(handle_, "extGetVersion", extGetVersion);
}

LoadedLibrary::~LoadedLibrary() { Unload(); }

void LoadedLibrary::Unload() {
  platform::FreeDynamicLibrary(handle_);
  handle_ = nullptr;
}

std::string LoadedLibrary::log_path() const {
  return (fs::path(terminal_directory_) / "KorvanUpdaterLog.log").string();
}

}  // namespace test
