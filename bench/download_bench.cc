// Downloads each URL into its file with DownloadFile, one after another in
// one process, and prints how long the calls took together:
// "bytes=<n> seconds=<s> mib_per_second=<r>". Process start-up does not
// count; peak memory is measured from outside (bench/run.sh runs it under
// /usr/bin/time -v).
//
//   download_bench URL FILE [URL FILE ...]
#include <chrono>
#include <cstdio>
#include <string>

#include "update/update.h"

int main(int argc, char** argv) {
  if (argc < 3 || argc % 2 != 1) {
    std::fprintf(stderr, "usage: %s URL FILE [URL FILE ...]\n", argv[0]);
    return 2;
  }
  unsigned long long bytes = 0;
  double seconds = 0;
  for (int i = 1; i < argc; i += 2) {
    std::uint32_t received = 0;
    std::string responseText;
    const auto start = std::chrono::steady_clock::now();
    const std::int32_t result = DownloadFile(&received, &responseText, argv[i], argv[i + 1]);
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (result != 0) {
      std::fprintf(stderr, "download of %s failed: %d %s %s\n", argv[i], static_cast<int>(result),
                   GetErrorText(result).c_str(), responseText.c_str());
      return 1;
    }
    bytes += received;
  }
  std::printf("bytes=%llu seconds=%.6f mib_per_second=%.1f\n", bytes, seconds,
              bytes / 1048576.0 / seconds);
  return 0;
}
