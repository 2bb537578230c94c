// Processes: this one's id and arguments, and starting the companion program
// and waiting for its end.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

std::uint32_t CurrentProcessId();

// Starts `program` with the command-line tail `parameters`, waits without a
// time limit until it ends and stores its exit code. False, with nothing
// stored, when the program could not be started (or could not be followed).
//
// Windows: ShellExecuteExA ("open", no owner window, SW_SHOWNORMAL), then
// WaitForSingleObject and GetExitCodeProcess; the exit code is the full
// 32-bit value.
// POSIX: posix_spawn with the arguments that `parameters` yields split by the
// Windows rules (platform/command_line.h), so that the escaping of its
// quotes works the same on both; waitpid. Exit statuses are 8 bits there and
// are read back as a signed byte, so -128 to 127 arrive unchanged (-3 stays
// -3). A program killed by signal s gives -(128 + s), a value no exit status
// can produce.
bool StartProgramAndWait(const std::string& program, const std::string& parameters,
                         std::int32_t* exitCode);

// The two halves of StartProgramAndWait, for a caller that does something
// while the program runs: StartProgram gives a handle that WaitForProgram
// must be given exactly once (it releases it).
using ProgramHandle = std::intptr_t;
bool StartProgram(const std::string& program, const std::string& parameters, ProgramHandle* handle);
bool WaitForProgram(ProgramHandle handle, std::int32_t* exitCode);
// Ends a started program at once, as the task manager does (TerminateProcess;
// SIGKILL). Its exit code is then 1 on Windows, -(128 + 9) on POSIX.
void KillProgram(ProgramHandle handle);

// Ends this process at once, running nothing more of it (TerminateProcess;
// SIGKILL), as a user's "end task" or a crash does.
[[noreturn]] void KillCurrentProcess();

// The running program's arguments after its name. Windows: the process's
// command line split by the rules of platform/command_line.h (the same rules
// the launcher checks against). POSIX: argv as it is.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// The exit status that carries `result` back to the parent: unchanged on
// Windows; on POSIX, where only a signed byte travels, clamped to -128..127
// so that a large count is not read back as a failure.
int ExitStatusFor(std::int32_t result);

}  // namespace platform
