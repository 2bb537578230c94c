#include "platform/process.h"

#include <windows.h>
#include <shellapi.h>

#include "platform/command_line.h"

namespace platform {

std::uint32_t CurrentProcessId() { return GetCurrentProcessId(); }

bool StartProgramAndWait(const std::string& program, const std::string& parameters,
                         std::int32_t* exitCode) {
  SHELLEXECUTEINFOA request;
  ZeroMemory(&request, sizeof request);
  request.cbSize = sizeof request;
  request.fMask = SEE_MASK_NOCLOSEPROCESS;  // the process handle comes back
  request.hwnd = nullptr;
  request.lpVerb = "open";
  request.lpFile = program.c_str();
  request.lpParameters = parameters.c_str();
  request.lpDirectory = nullptr;  // the terminal's working directory
  request.nShow = SW_SHOWNORMAL;
  // The caller reads a failure from the thread's last error.
  if (!ShellExecuteExA(&request)) return false;
  if (request.hProcess == nullptr) return false;
  WaitForSingleObject(request.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(request.hProcess, &code);
  CloseHandle(request.hProcess);
  *exitCode = static_cast<std::int32_t>(code);
  return true;
}

std::vector<std::string> ProgramArguments(int, char**) {
  std::vector<std::string> arguments = SplitCommandLine(GetCommandLineA());
  arguments.erase(arguments.begin());
  return arguments;
}

int ExitStatusFor(std::int32_t result) { return result; }

}  // namespace platform
