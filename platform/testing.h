// Seams for the tests: what a test may replace or observe in the platform
// layer. The product's own code never includes this header.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "platform/dynamic_library.h"

namespace platform {

// Replaces Now() until reset with nullptr, so that a test can write
// "tomorrow".
using NowFunction = std::time_t (*)();
void SetNowForTesting(NowFunction now);

// Lets a test see every box and give the answer; nullptr restores the real
// boxes.
using MessageBoxHandler = int (*)(const std::string& text, const std::string& caption,
                                  unsigned style);
void SetMessageBoxHandlerForTesting(MessageBoxHandler handler);

// Makes TemporaryDirectory() start from `directory` instead of the system's
// temporary path; an empty string restores the system's.
void SetTemporaryDirectoryForTesting(const std::string& directory);

// How often this thread has initialized and released COM, for tests that
// check the calls pair up on every path.
struct ComCallCounts {
  int initialized = 0;
  int released = 0;
};
ComCallCounts ComCallCountsOnThisThread();

// The export with that ordinal, or nullptr; always nullptr where the platform
// has no ordinals.
void* FindExportByOrdinal(LibraryHandle library, int ordinal);
bool PlatformHasOrdinals();

// Faults the tests bring about. Each gives false where the system offers no
// way to do it, and the test then says so.
// Lets this process write no file beyond `bytes` (0 lifts the limit): a
// write past it fails with EFBIG, as on a full disk (RLIMIT_FSIZE, with
// SIGXFSZ ignored).
bool LimitFileSizeForTesting(std::uint64_t bytes);
// Makes a folder refuse new names even to its owner, and to root (write
// permission taken away; the immutable flag where the process runs as root).
bool SetFolderReadOnlyForTesting(const std::string& path, bool readOnly);

// Puts this thread in COM's multithreaded apartment, as a host may have done
// before it calls an export; false where there is no COM. The second tells
// whether the thread is still there, and leaves it.
bool JoinMultithreadedApartmentForTesting();
bool LeaveMultithreadedApartmentForTesting();

// Replaces the download's time-out and retry pauses until called with
// nullptr, so that a test of a stall need not wait half a minute.
struct DownloadTiming;
void SetDownloadTimingForTesting(const DownloadTiming* timing);

// How a text-mode stream stores a line feed on this platform.
extern const char kTextModeLineEnd[];

}  // namespace platform
