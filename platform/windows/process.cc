#include "platform/process.h"

#include <windows.h>
#include <shellapi.h>

#include "platform/command_line.h"

namespace platform {

std::uint32_t CurrentProcessId() { return GetCurrentProcessId(); }

bool StartProgram(const std::string& program, const std::string& parameters,
                  ProgramHandle* handle) {
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
  *handle = reinterpret_cast<ProgramHandle>(request.hProcess);
  return true;
}

bool WaitForProgram(ProgramHandle handle, std::int32_t* exitCode) {
  HANDLE process = reinterpret_cast<HANDLE>(handle);
  WaitForSingleObject(process, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  CloseHandle(process);
  *exitCode = static_cast<std::int32_t>(code);
  return true;
}

void KillProgram(ProgramHandle handle) { TerminateProcess(reinterpret_cast<HANDLE>(handle), 1); }

bool StartProgramAndWait(const std::string& program, const std::string& parameters,
                         std::int32_t* exitCode) {
  ProgramHandle handle = 0;
  return StartProgram(program, parameters, &handle) && WaitForProgram(handle, exitCode);
}

void KillCurrentProcess() {
  TerminateProcess(GetCurrentProcess(), 1);
  // TerminateProcess of the own process does not return.
  ExitProcess(1);
}

std::vector<std::string> ProgramArguments(int, char**) {
  std::vector<std::string> arguments = SplitCommandLine(GetCommandLineA());
  arguments.erase(arguments.begin());
  return arguments;
}

int ExitStatusFor(std::int32_t result) { return result; }

}  // namespace platform
