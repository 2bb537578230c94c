// A writer of the log in a process of its own, for the log's tests:
//
//   korvan_log_writer rotate <log path> <writer> <writers> <lines>
//     opens the log, waits until all writers have opened it, then writes
//     numbered lines with a clock that moves a day per line, so that every
//     line rotates the file; exits with the number of lines Write did not
//     report as written.
//   korvan_log_writer exit <library path>
//     loads the library, keeps eight threads writing to its log and ends the
//     process while they do.
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "log/common_log.h"
#include "platform/api.h"
#include "platform/dynamic_library.h"
#include "platform/process.h"
#include "tests/support/log_writers.h"

namespace {

using UpdateFunction = std::int32_t(KORVAN_CALL*)(const char16_t*, const char16_t*,
                                                  const char16_t*);

int Rotate(const std::string& path, int writer, int writers, int lines) {
  test::AdvanceADayEveryLine(writer);
  TCommonLog log(path);
  if (!test::MeetOtherWriters(path, writer, writers)) return 101;
  return test::WriteNumberedLines(log, writer, lines);
}

int ExitWhileWriting(const std::string& library_path) {
  platform::LibraryHandle library = platform::LoadDynamicLibrary(library_path);
  if (library == nullptr) return 2;
  const auto launch =
      reinterpret_cast<UpdateFunction>(platform::FindExport(library, "XLaunchUpdater"));
  if (launch == nullptr) return 3;
  for (int i = 0; i < 8; ++i) {
    // A stray quote: the launcher refuses with two log lines and starts
    // nothing.
    std::thread([launch] {
      for (;;) launch(u"http://127.0.0.1/", u"C:\\Terminal\\terminal.exe", u"a\"b");
    }).detach();
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  return 0;  // the writers are still running
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments = platform::ProgramArguments(argc, argv);
  if (arguments.size() == 5 && arguments[0] == "rotate") {
    return platform::ExitStatusFor(Rotate(arguments[1], std::atoi(arguments[2].c_str()),
                                          std::atoi(arguments[3].c_str()),
                                          std::atoi(arguments[4].c_str())));
  }
  if (arguments.size() == 2 && arguments[0] == "exit") return ExitWhileWriting(arguments[1]);
  return 100;
}
