// Moves one file to another volume with platform::MovePathReplacing (a copy,
// flushed to disk, and the original's removal) and prints how long it took:
// "seconds=<s>".
//
//   move_bench FROM TO
#include <chrono>
#include <cstdio>

#include "platform/file_system.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s FROM TO\n", argv[0]);
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  const int error = platform::MovePathReplacing(argv[1], argv[2]);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (error != 0) {
    std::fprintf(stderr, "move failed: %d\n", error);
    return 1;
  }
  std::printf("seconds=%.6f\n", seconds);
  return 0;
}
