#include "platform/module_path.h"

#include <windows.h>

namespace platform {

const char kLibraryFileName[] = "Korvan.Tools.Updater.dll";
const char kCompanionFileName[] = "KorvanUpdater.exe";
const char kLogPathFromLibraryDirectory[] = "..\\..\\KorvanUpdaterLog.log";

std::string ModuleFilePath() {
  HMODULE module = nullptr;
  // The module that holds this function: the library, not the executable.
  if (!GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCSTR>(&ModuleFilePath), &module)) {
    return std::string();
  }
  char buffer[MAX_PATH] = {};
  GetModuleFileNameA(module, buffer, MAX_PATH);
  return buffer;
}

std::string ExecutableFilePath() {
  char buffer[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  return buffer;
}

}  // namespace platform
