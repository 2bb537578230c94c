#include "update/fault_points.h"

#ifdef KORVAN_FAULT_POINTS
#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/module_path.h"
#include "platform/process.h"

// The point is named in "korvan_fault_point.txt" beside the library, so that
// nothing of the test build reacts to a file or variable a user might have.
void ReachFaultPoint(const char* point) {
  static int passings = 0;
  const std::string library = platform::ModuleFilePath();
  std::ifstream file(library.substr(0, library.find_last_of("/\\") + 1) + "korvan_fault_point.txt");
  std::string wanted;
  if (!std::getline(file, wanted)) return;
  const std::size_t hash = wanted.find('#');
  if (wanted.compare(0, hash, point) != 0) return;
  ++passings;
  if (hash == std::string::npos || std::atoi(wanted.c_str() + hash + 1) == passings) {
    platform::KillCurrentProcess();
  }
}
#endif
