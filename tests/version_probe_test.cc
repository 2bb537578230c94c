// The version probe against real libraries built for the tests: native shared
// objects here, stdcall DLLs under Wine.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>
#include <algorithm>
#include <cctype>

#include "platform/dynamic_library.h"
#include "tests/support/test_support.h"
#include "update/update.h"

namespace {

namespace fs = std::filesystem;

// A folder standing for the terminal's, with the application path naming a
// program in it.
class VersionProbe : public ::testing::Test {
 protected:
  VersionProbe() : waitApp_((fs::path(folder_.path()) / "terminal.exe").string()) {}

  // Copies the test library `fixture` to `path`, creating its folders.
  static void Install(const std::string& fixture, const fs::path& path) {
    fs::create_directories(path.parent_path());
    fs::copy_file(test::FixtureLibraryPath(fixture), path, fs::copy_options::overwrite_existing);
  }

  // A record as the host lists it, with every field set.
  static TFileInfo Listed(const std::string& name) {
    TFileInfo file;
    file.name = name;
    file.version = 1;
    file.release = 2;
    file.build = 3;
    file.description = "listed";
    file.sha1 = "da39a3ee5e6b4b0d3255bfef95601890afd80709";
    file.size = 77;
    file.needsUpdate = true;
    return file;
  }

  static void ExpectUnchanged(const TFileInfo& file, const std::string& name) {
    EXPECT_EQ(file.name, name);
    EXPECT_EQ(VersionText(file), "v1.2.3") << name;
  }

  test::ScratchDirectory folder_;
  std::string waitApp_;
};

TEST_F(VersionProbe, PreferredFunctionAloneIsCalledAndTheLibraryReleasedEachTime) {
  Install("version_both", fs::path(folder_.path()) / "MQL4" / "Libraries" / "both.dll");
  TFileInfo file = Listed("/MQL4/Libraries/both.dll");
  for (int probe = 0; probe < 3; ++probe) {
    // 4.5.1 on every probe: extGetVersionInfo1 never ran, and the library was
    // loaded afresh (its call count starts again).
    ASSERT_TRUE(GetLocalFileVersion(file, waitApp_));
    EXPECT_EQ(VersionText(file), "v4.5.1") << "probe " << probe;
  }
  // Only the triple changes.
  EXPECT_EQ(file.name, "/MQL4/Libraries/both.dll");
  EXPECT_EQ(file.description, "listed");
  EXPECT_EQ(file.sha1, "da39a3ee5e6b4b0d3255bfef95601890afd80709");
  EXPECT_EQ(file.size, 77);
  EXPECT_TRUE(file.needsUpdate);
}

TEST_F(VersionProbe, PreferredFunctionIsBelievedEvenWhenItWritesNothing) {
  Install("version_zero", fs::path(folder_.path()) / "zero.dll");
  TFileInfo file = Listed("/zero.dll");
  EXPECT_TRUE(GetLocalFileVersion(file, waitApp_));
  EXPECT_EQ(VersionText(file), "v0.0.0");
}

TEST_F(VersionProbe, FallbackFunctionCountsOnlyWhenItAnswersNonzero) {
  Install("version_info1_refuses", fs::path(folder_.path()) / "refuses.dll");
  Install("version_info1_answers", fs::path(folder_.path()) / "answers.dll");

  TFileInfo refused = Listed("/refuses.dll");
  EXPECT_FALSE(GetLocalFileVersion(refused, waitApp_));
  ExpectUnchanged(refused, "/refuses.dll");  // its 9.9.9 is discarded

  // Any nonzero answer, and values stored as given, negative ones included.
  TFileInfo answered = Listed("/answers.dll");
  EXPECT_TRUE(GetLocalFileVersion(answered, waitApp_));
  EXPECT_EQ(VersionText(answered), "v2.7.-1");
}

TEST_F(VersionProbe, FilesThatCannotTellKeepTheListedVersion) {
  Install("version_none", fs::path(folder_.path()) / "none.dll");
  test::WriteFile(folder_.File("text.dll"), "not a library");

  for (const std::string name : {"/none.dll", "/text.dll", "/missing.dll", "/MQL4/missing.dll"}) {
    TFileInfo file = Listed(name);
    EXPECT_FALSE(GetLocalFileVersion(file, waitApp_)) << name;
    ExpectUnchanged(file, name);
  }
}

TEST_F(VersionProbe, OnlyLibraryExtensionsAreLoadedInAnyLetterCase) {
  const std::string native = platform::kNativeLibraryExtension;
  std::string nativeUpper;
  for (char c : native)
    nativeUpper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));

  // Every one of these files is a loadable library: only the name decides.
  for (const std::string& name : std::vector<std::string>{"/a.dll", "/b.DLL", "/c.Dll", "/d.dLl",
                                                          "/e" + native, "/f" + nativeUpper}) {
    Install("version_both", fs::path(folder_.path()) / name.substr(1));
    TFileInfo file = Listed(name);
    EXPECT_TRUE(GetLocalFileVersion(file, waitApp_)) << name;
    EXPECT_EQ(VersionText(file), "v4.5.1") << name;
  }
  for (const std::string name :
       {"/g.exe", "/h", "/i.dll.bak", "/j.dllx", "/k.dl", "/l.ex4", "/dir.dll/m"}) {
    Install("version_both", fs::path(folder_.path()) / name.substr(1));
    TFileInfo file = Listed(name);
    EXPECT_FALSE(GetLocalFileVersion(file, waitApp_)) << name;
    ExpectUnchanged(file, name);
  }
}

TEST_F(VersionProbe, NameIsAppendedToTheDirectoryWithNothingBetween) {
  waitApp_ = (fs::path(folder_.path()) / "app" / "terminal.exe").string();
  Install("version_both", fs::path(folder_.path()) / "appx.dll");
  Install("version_info1_answers", fs::path(folder_.path()) / "app" / "x.dll");

  TFileInfo file = Listed("x.dll");
  EXPECT_TRUE(GetLocalFileVersion(file, waitApp_));
  EXPECT_EQ(VersionText(file), "v4.5.1");
}

TEST_F(VersionProbe, DirectoryEndsAtTheLastSeparatorOfEitherKind) {
  Install("version_both", fs::path(folder_.path()) / "app" / "both.dll");
  Install("version_info1_answers", fs::path(folder_.path()) / "both.dll");

  // A trailing separator: the directory is everything before it; a
  // backslash after the last "/" ends the directory as well.
  for (const std::string& waitApp : {folder_.path() + "/app/", folder_.path() + "/app\\",
                                     folder_.path() + "/app\\terminal.exe"}) {
    TFileInfo file = Listed("/both.dll");
    EXPECT_TRUE(GetLocalFileVersion(file, waitApp)) << waitApp;
    EXPECT_EQ(VersionText(file), "v4.5.1") << waitApp;
  }
}

TEST_F(VersionProbe, ApplicationPathWithoutDirectoryProbesNothing) {
  const fs::path library = fs::path(folder_.path()) / "both.dll";
  Install("version_both", library);
  // Gluing an empty directory to this name would load the library.
  for (const std::string waitApp : {"terminal.exe", ""}) {
    TFileInfo file = Listed(library.string());
    EXPECT_FALSE(GetLocalFileVersion(file, waitApp)) << "'" << waitApp << "'";
    ExpectUnchanged(file, library.string());
  }
}

TEST_F(VersionProbe, OverlongDirectoryPartGivesNoExtension) {
  // The directory part is everything up to and including the last separator,
  // after any drive letter.
  const std::string& base = folder_.path();
  const std::size_t drive = base.size() > 1 && base[1] == ':' ? 2 : 0;
  const auto directoryOfLength = [&](std::size_t partLength) {
    std::string directory = base;
    // What the added folders must bring, their separators included.
    std::size_t remaining = partLength + drive - 1 - base.size();
    while (remaining > 0) {
      std::size_t chunk = std::min<std::size_t>(remaining, 100);
      if (remaining - chunk == 1) --chunk;
      directory += '/' + std::string(chunk - 1, 'd');
      remaining -= chunk;
    }
    return fs::path(directory);
  };
  ASSERT_LT(base.size() - drive + 1, 200u);

  const fs::path fitting = directoryOfLength(250);
  Install("version_both", fitting / "v.dll");
  waitApp_ = (fitting / "terminal.exe").string();
  TFileInfo file = Listed("/v.dll");
  EXPECT_TRUE(GetLocalFileVersion(file, waitApp_)) << waitApp_;

  const fs::path tooLong = directoryOfLength(255);
  Install("version_both", tooLong / "v.dll");
  waitApp_ = (tooLong / "terminal.exe").string();
  file = Listed("/v.dll");
  EXPECT_FALSE(GetLocalFileVersion(file, waitApp_)) << waitApp_;
  ExpectUnchanged(file, "/v.dll");
}

}  // namespace
