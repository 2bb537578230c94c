// Downloads one URL into one file with DownloadFile and prints how long the
// call took: "bytes=<n> seconds=<s> mib_per_second=<r>". Peak memory is
// measured from outside (bench/run_download_bench.sh runs it under
// /usr/bin/time -v).
#include <chrono>
#include <cstdio>
#include <string>

#include "update/update.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s URL FILE\n", argv[0]);
    return 2;
  }
  std::uint32_t received = 0;
  std::string responseText;
  const auto start = std::chrono::steady_clock::now();
  const std::int32_t result = DownloadFile(&received, &responseText, argv[1], argv[2]);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (result != 0) {
    std::fprintf(stderr, "download failed: %d %s %s\n", static_cast<int>(result),
                 GetErrorText(result).c_str(), responseText.c_str());
    return 1;
  }
  std::printf("bytes=%u seconds=%.6f mib_per_second=%.1f\n", static_cast<unsigned>(received),
              seconds, received / 1048576.0 / seconds);
  return 0;
}
