// The library as the terminal sees it: its exports, its start and its stop.
#include <gtest/gtest.h>

#include <string>

#include "host/host.h"
#include "platform/dynamic_library.h"
#include "platform/file_system.h"
#include "platform/module_path.h"
#include "platform/testing.h"
#include "tests/support/loaded_library.h"

namespace {

const char* const kExportsByOrdinal[] = {
    "_DllMain@12", "XCheckForUpdates", "XLaunchUpdater", "XUpdaterProcess", "extEnterCS",
    "extGetFlag",  "extGetVersion",    "extLeaveCS",     "extSetFlag",      "extTryEnterCS"};

TEST(LibraryExports, EveryExportResolvesByNameAndByItsOrdinal) {
  test::LoadedLibrary library;
  ASSERT_NE(library.handle(), nullptr);
  for (int ordinal = 1; ordinal <= 10; ++ordinal) {
    const char* name = kExportsByOrdinal[ordinal - 1];
    void* byName = platform::FindExport(library.handle(), name);
    if (!platform::PlatformHasOrdinals()) {
      // Shared objects have no entry function to export and no ordinals.
      if (ordinal > 1) {
        EXPECT_NE(byName, nullptr) << name;
      }
      continue;
    }
    EXPECT_NE(byName, nullptr) << name;
    EXPECT_EQ(platform::FindExportByOrdinal(library.handle(), ordinal), byName) << name;
  }
  EXPECT_EQ(platform::FindExport(library.handle(), "DllMain"), nullptr);
  EXPECT_EQ(platform::FindExport(library.handle(), "WideToAnsi"), nullptr);
}

TEST(LibraryExports, LoadingCreatesTheLogTwoLevelsAboveTheLibrary) {
  test::LoadedLibrary library;
  ASSERT_NE(library.handle(), nullptr);
  EXPECT_TRUE(test::FileExists(library.logPath()));
  EXPECT_FALSE(test::FileExists(library.libraryDirectory() + "/KorvanUpdaterLog.log"));
  // A run writes its lines there, in the platform's text mode. Nothing listens
  // on port 9: the check fails at once.
  EXPECT_EQ(library.XCheckForUpdates(u"http://127.0.0.1:9", u"C:\\T\\terminal.exe", u"[]"), 0);
  library.Unload();
  const std::string content = test::ReadFile(library.logPath());
  const std::string end = platform::kTextModeLineEnd;
  const std::string firstLine = "Start check update:" + end + "\turl = http://127.0.0.1:9" + end;
  EXPECT_NE(content.find("] : " + firstLine), std::string::npos) << content;
  EXPECT_EQ(content.substr(content.size() - end.size()), end);
  if (end == "\r\n") {
    EXPECT_EQ(content.find("\n"), content.find("\r\n") + 1);
  }
}

TEST(LibraryExports, ReloadingStartsAgainFromZeroedFlags) {
  test::LoadedLibrary library;
  library.extSetFlag(4, 99);
  library.Unload();
  test::LoadedLibrary again;
  EXPECT_EQ(again.extGetFlag(4), 0);
}

TEST(ModuleDirectory, IsTheFolderOfTheModuleWithItsSeparator) {
  const std::string directory = GetModuleDirectory();
  ASSERT_FALSE(directory.empty());
  const char last = directory.back();
  EXPECT_TRUE(last == '/' || last == '\\') << directory;
  // Linked into the test program, the module is the program itself.
  const std::string program = platform::ExecutableFilePath();
  EXPECT_EQ(program.substr(0, directory.size()), directory);
  EXPECT_EQ(program.find_first_of("/\\", directory.size()), std::string::npos);
}

TEST(ReplaceAll, ReplacesEveryOccurrenceWithoutRescanningInsertedText) {
  EXPECT_EQ(ReplaceAll("a\\\"b\\\"", "\\\"", "\""), "a\"b\"");
  EXPECT_EQ(ReplaceAll("x//y", "/", "\\"), "x\\\\y");
  EXPECT_EQ(ReplaceAll("aaa", "a", "aa"), "aaaaaa");
  EXPECT_EQ(ReplaceAll("", "a", "b"), "");
  EXPECT_EQ(ReplaceAll("abc", "abcd", "x"), "abc");
}

TEST(WideToAnsi, NullAndEmptyGiveTheEmptyString) {
  EXPECT_EQ(WideToAnsi(nullptr), "");
  EXPECT_EQ(WideToAnsi(u""), "");
  EXPECT_EQ(WideToAnsi(u"C:\\Program Files\\T\\terminal.exe"),
            "C:\\Program Files\\T\\terminal.exe");
  EXPECT_EQ(WideToAnsi(u"{\\\"Files\\\":[]}"), "{\\\"Files\\\":[]}");
}

TEST(WideToAnsi, AnUnpairedSurrogateBecomesAnUnderscore) {
  const char16_t text[] = {u'a', 0xD800, u'b', 0xDC00, 0};
  EXPECT_EQ(WideToAnsi(text), "a_b_");
}

}  // namespace
