#include "platform/process.h"

#include <signal.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/command_line.h"

extern char** environ;

namespace platform {

std::uint32_t CurrentProcessId() { return static_cast<std::uint32_t>(getpid()); }

bool StartProgram(const std::string& program, const std::string& parameters,
                  ProgramHandle* handle) {
  std::vector<std::string> arguments = SplitCommandLineArguments(parameters);
  arguments.insert(arguments.begin(), program);
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);

  pid_t child = 0;
  if (posix_spawn(&child, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
    return false;
  }
  *handle = child;
  return true;
}

bool WaitForProgram(ProgramHandle handle, std::int32_t* exitCode) {
  const pid_t child = static_cast<pid_t>(handle);
  int status = 0;
  pid_t waited = 0;
  do {
    waited = waitpid(child, &status, 0);
  } while (waited < 0 && errno == EINTR);
  if (waited != child) return false;

  if (WIFEXITED(status)) {
    *exitCode = static_cast<signed char>(WEXITSTATUS(status));
  } else if (WIFSIGNALED(status)) {
    *exitCode = -(128 + WTERMSIG(status));
  } else {
    return false;
  }
  return true;
}

void KillProgram(ProgramHandle handle) { kill(static_cast<pid_t>(handle), SIGKILL); }

bool StartProgramAndWait(const std::string& program, const std::string& parameters,
                         std::int32_t* exitCode) {
  ProgramHandle handle = 0;
  return StartProgram(program, parameters, &handle) && WaitForProgram(handle, exitCode);
}

void KillCurrentProcess() {
  kill(getpid(), SIGKILL);
  // SIGKILL cannot be caught; this is never reached.
  _exit(137);
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
  return arguments;
}

int ExitStatusFor(std::int32_t result) {
  if (result > 127) return 127;
  if (result < -128) return -128;
  return result;
}

}  // namespace platform
