// The host's shared primitives through the library's exports, loaded as the
// terminal loads them, against the platform's critical section called
// directly (a recursive pthread mutex, a CRITICAL_SECTION): one
// extEnterCS/extLeaveCS pair, one extGetFlag, one bare Enter/Leave pair.
//
//   primitives_bench LIBRARY_FOLDER [Google Benchmark options]
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/api.h"
#include "platform/critical_section.h"
#include "platform/dynamic_library.h"
#include "platform/module_path.h"

namespace {

using IndexFunction = std::int32_t(KORVAN_CALL*)(std::int32_t);

IndexFunction enterSection = nullptr;
IndexFunction leaveSection = nullptr;
IndexFunction getFlag = nullptr;

void ExportedEnterLeave(benchmark::State& state) {
  for (auto _ : state) {
    enterSection(0);
    leaveSection(0);
  }
}

void ExportedGetFlag(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(getFlag(3));
}

void PlatformEnterLeave(benchmark::State& state) {
  platform::CriticalSection section;
  section.Initialize();
  for (auto _ : state) {
    section.Enter();
    section.Leave();
  }
  section.Delete();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s LIBRARY_FOLDER [benchmark options]\n", argv[0]);
    return 2;
  }
  const std::string path = std::string(argv[1]) + "/" + platform::kLibraryFileName;
  platform::LibraryHandle library = platform::LoadDynamicLibrary(path);
  if (library == nullptr) {
    std::fprintf(stderr, "cannot load %s\n", path.c_str());
    return 2;
  }
  enterSection = reinterpret_cast<IndexFunction>(platform::FindExport(library, "extEnterCS"));
  leaveSection = reinterpret_cast<IndexFunction>(platform::FindExport(library, "extLeaveCS"));
  getFlag = reinterpret_cast<IndexFunction>(platform::FindExport(library, "extGetFlag"));
  if (enterSection == nullptr || leaveSection == nullptr || getFlag == nullptr) {
    std::fprintf(stderr, "%s lacks the section and flag exports\n", path.c_str());
    return 2;
  }

  benchmark::RegisterBenchmark("extEnterCS+extLeaveCS", ExportedEnterLeave);
  benchmark::RegisterBenchmark("extGetFlag", ExportedGetFlag);
  benchmark::RegisterBenchmark("platform Enter+Leave", PlatformEnterLeave);
  argv[1] = argv[0];
  int benchmarkArgc = argc - 1;
  benchmark::Initialize(&benchmarkArgc, argv + 1);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  platform::FreeDynamicLibrary(library);
  return 0;
}
