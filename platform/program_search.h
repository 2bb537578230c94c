// Finding a program the way a shell finds a command.
#pragma once

#include <string>

namespace platform {

// The full path of the program `name` found along the PATH variable
// (SearchPathA, trying ".exe" too, on Windows; the first executable file of
// that name in a PATH folder elsewhere). Empty when there is none.
std::string FindProgramOnPath(const std::string& name);

}  // namespace platform
