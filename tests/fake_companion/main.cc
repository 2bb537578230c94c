// A stand-in for the companion program: records the arguments it was given in
// fake_companion_arguments.txt beside itself (each followed by a zero byte)
// and ends as fake_companion_exit.txt beside it says: a decimal exit code, or
// "abort" to die abnormally.
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/module_path.h"
#include "platform/path.h"
#include "platform/process.h"

int main(int argc, char** argv) {
  const std::string directory = platform::DirectoryOf(platform::ExecutableFilePath());

  std::ofstream arguments(directory + "fake_companion_arguments.txt", std::ios::binary);
  for (const std::string& argument : platform::ProgramArguments(argc, argv)) {
    arguments << argument << '\0';
  }
  arguments.close();

  std::ifstream exitFile(directory + "fake_companion_exit.txt", std::ios::binary);
  std::string exit;
  std::getline(exitFile, exit);
  if (exit == "abort") std::abort();
  return platform::ExitStatusFor(std::atoi(exit.c_str()));
}
