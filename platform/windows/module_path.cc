#include "platform/module_path.h"

#include <windows.h>

namespace platform {

const char kLibraryFileName[] = "Korvan.Tools.Updater.dll";
const char kCompanionFileName[] = "KorvanUpdater.exe";
const char kLogPathFromLibraryDirectory[] = "..\\..\\KorvanUpdaterLog.log";

namespace {

// The module that holds this code: the library, not the executable.
HMODULE ThisModule() {
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCSTR>(&ThisModule), &module)) {
    return nullptr;
  }
  return module;
}

}  // namespace

std::string ModuleFilePath() {
  HMODULE module = ThisModule();
  if (module == nullptr) return std::string();
  char buffer[MAX_PATH] = {};
  GetModuleFileNameA(module, buffer, MAX_PATH);
  return buffer;
}

NativePath ModuleFileNativePath() {
  HMODULE module = ThisModule();
  if (module == nullptr) return NativePath();
  wchar_t buffer[MAX_PATH] = {};
  GetModuleFileNameW(module, buffer, MAX_PATH);
  return NativePath(buffer);
}

std::string ExecutableFilePath() {
  char buffer[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  return buffer;
}

}  // namespace platform
