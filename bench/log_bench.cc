// Lines per second through TCommonLog::Write against a bare fprintf+fflush
// loop writing lines of the same length to the same file, on THREADS threads
// at once, ROUNDS rounds each, alternating. Prints
// "threads=<t> write_lines_per_second=<median> fprintf_lines_per_second=<median>".
//
//   log_bench FILE THREADS LINES_PER_THREAD ROUNDS
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "log/common_log.h"

namespace {

// What a Write line's stamp looks like; the bare loop prints it as it is.
constexpr char kStamp[] = "Mon Dec 07 22:40:00 2026";

template <typename WriteLine>
double LinesPerSecond(int threads, int lines, WriteLine writeLine) {
  std::vector<std::thread> workers;
  const auto start = std::chrono::steady_clock::now();
  for (int t = 0; t < threads; ++t) {
    workers.emplace_back([t, lines, &writeLine] {
      for (int i = 0; i < lines; ++i) writeLine(t, i);
    });
  }
  for (std::thread& worker : workers) worker.join();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return static_cast<double>(threads) * lines / seconds;
}

double ThroughWrite(const std::string& path, int threads, int lines) {
  std::remove(path.c_str());
  TCommonLog log(path);
  return LinesPerSecond(threads, lines, [&log](int t, int i) {
    log.Write(kLogLevel, "bench line %d from thread %d", i, t);
  });
}

double ThroughFprintf(const std::string& path, int threads, int lines) {
  std::remove(path.c_str());
  std::FILE* file = std::fopen(path.c_str(), "a+");
  if (file == nullptr) return 0;
  const double rate = LinesPerSecond(threads, lines, [file](int t, int i) {
    std::fprintf(file, "[%s] : bench line %d from thread %d\n", kStamp, i, t);
    std::fflush(file);
  });
  std::fclose(file);
  return rate;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s FILE THREADS LINES_PER_THREAD ROUNDS\n", argv[0]);
    return 2;
  }
  const std::string path = argv[1];
  const int threads = std::atoi(argv[2]);
  const int lines = std::atoi(argv[3]);
  const int rounds = std::atoi(argv[4]);
  if (threads < 1 || lines < 1 || rounds < 1) return 2;

  std::vector<double> write, bare;
  for (int round = 0; round < rounds; ++round) {
    write.push_back(ThroughWrite(path, threads, lines));
    bare.push_back(ThroughFprintf(path, threads, lines));
  }
  std::remove(path.c_str());
  std::printf("threads=%d write_lines_per_second=%.0f fprintf_lines_per_second=%.0f\n", threads,
              Median(write), Median(bare));
  return 0;
}
