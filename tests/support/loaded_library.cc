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
  terminalDirectory_ = scratch_.File("terminal");
  libraryDirectory_ = (fs::path(terminalDirectory_) / "MQL4" / "Libraries").string();
  fs::create_directories(libraryDirectory_);
  const std::string installed = (fs::path(libraryDirectory_) / platform::kLibraryFileName).string();
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

std::string LoadedLibrary::logPath() const {
  return (fs::path(terminalDirectory_) / "KorvanUpdaterLog.log").string();
}

}  // namespace test
