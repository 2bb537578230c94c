// Reading file lists: the manifest's and the host's JSON text into records.
#include <gtest/gtest.h>

#include <string>

#include "update/update.h"

namespace {

TFileInfoList Parse(const std::string& text, std::int32_t* count = nullptr) {
  TFileInfoList list;
  const std::int32_t appended = ParseFileInfoList(list, text);
  EXPECT_EQ(appended, static_cast<std::int32_t>(list.size()));
  if (count != nullptr) *count = appended;
  return list;
}

// One file whose member `key` holds the JSON `value`.
TFileInfo FileWith(const std::string& key, const std::string& value) {
  const TFileInfoList list =
      Parse(R"({"Files": [{"name": "a.dll", ")" + key + "\": " + value + "}]}");
  EXPECT_EQ(list.size(), 1u) << key << " = " << value;
  return list.empty() ? TFileInfo() : list.front();
}

TEST(FileList, ReadsEveryFieldInArrayOrder) {
  const TFileInfoList list = Parse(R"({
    "Product": "ignored",
    "Files": [
      {"name": "Korvan.Tools.dll", "version": 1, "release": 2, "build": 3,
       "description": "tools", "sha1": "0123abcd", "size": 4096, "extra": [1, 2]},
      {"name": "/MQL4/Libraries/Other.dll", "version": 4, "release": 5, "build": 6},
      {"name": "Korvan.Tools.dll", "version": 7}
    ]})");
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].name, "Korvan.Tools.dll");
  EXPECT_EQ(list[0].version, 1);
  EXPECT_EQ(list[0].release, 2);
  EXPECT_EQ(list[0].build, 3);
  EXPECT_EQ(list[0].description, "tools");
  EXPECT_EQ(list[0].sha1, "0123abcd");
  EXPECT_EQ(list[0].size, 4096);
  EXPECT_EQ(list[1].name, "/MQL4/Libraries/Other.dll");
  EXPECT_EQ(VersionText(list[1]), "v4.5.6");
  EXPECT_EQ(list[1].description, "");
  EXPECT_EQ(list[1].size, 0);
  // The same name twice stays twice, in order.
  EXPECT_EQ(list[2].name, "Korvan.Tools.dll");
  EXPECT_EQ(list[2].version, 7);
  for (const TFileInfo& file : list) EXPECT_FALSE(file.needsUpdate);
}

TEST(FileList, AppendsToWhatTheListHolds) {
  TFileInfoList list;
  EXPECT_EQ(ParseFileInfoList(list, R"({"Files": [{"name": "a"}, {"name": "b"}]})"), 2);
  list[0].needsUpdate = true;
  EXPECT_EQ(ParseFileInfoList(list, R"({"Files": [{"name": "c"}]})"), 1);
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].name, "a");
  EXPECT_TRUE(list[0].needsUpdate);
  EXPECT_EQ(list[1].name, "b");
  EXPECT_EQ(list[2].name, "c");
  EXPECT_FALSE(list[2].needsUpdate);
}

TEST(FileList, MalformedTextLeavesTheListAsItWas) {
  for (const char* text :
       {"", "   ", "not json", R"({"Files": [{"name": "a.dll"})",
        R"({"Files": [{"name": 'a.dll'}]})", "{\"Files\": [,]}", "/* comment never closed"}) {
    TFileInfoList list(1);
    list[0].name = "kept";
    EXPECT_EQ(ParseFileInfoList(list, text), 0) << text;
    ASSERT_EQ(list.size(), 1u) << text;
    EXPECT_EQ(list[0].name, "kept") << text;
  }
}

TEST(FileList, DocumentsWithoutFilesGiveNoRecords) {
  for (const char* text :
       {R"({"Files": []})", R"({"Other": 1})", R"({"Files": "a.dll"})", R"({"Files": 12})",
        R"({"Files": null})", "null", R"({"Files": {}})", R"({"Files": {"a": {"name": "a"}}})",
        R"([{"Files": [{"name": "a"}]}])", "5", R"("text")", "true"}) {
    std::int32_t count = -1;
    EXPECT_TRUE(Parse(text, &count).empty()) << text;
    EXPECT_EQ(count, 0) << text;
  }
}

TEST(FileList, CommentsAreSkipped) {
  const TFileInfoList list = Parse(R"(// the manifest of release 1.2
    /* generated */ {"Files": [ // one file
      {"name": "a.dll", /* major */ "version": 1}]})");
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].name, "a.dll");
  EXPECT_EQ(list[0].version, 1);
}

TEST(FileList, NumbersMayBeWrittenAsTextOrReals) {
  EXPECT_EQ(FileWith("version", "3").version, 3);
  EXPECT_EQ(FileWith("version", "\"3\"").version, 3);
  EXPECT_EQ(FileWith("version", "3.9").version, 3);
  EXPECT_EQ(FileWith("version", "-3.9").version, -3);
  EXPECT_EQ(FileWith("version", "\"  \\t-42\"").version, -42);
  EXPECT_EQ(FileWith("version", "\"+8\"").version, 8);
  EXPECT_EQ(FileWith("size", "\"12ab\"").size, 12);
  EXPECT_EQ(FileWith("version", "\"v3\"").version, 0);
  EXPECT_EQ(FileWith("version", "\"\"").version, 0);
  EXPECT_EQ(FileWith("version", "\"0x1F\"").version, 0);
  EXPECT_EQ(FileWith("version", "true").version, 0);
  EXPECT_EQ(FileWith("version", "null").version, 0);
  // A real with an exponent renders as "1e+300" and reads as 1.
  EXPECT_EQ(FileWith("build", "1e300").build, 1);
}

TEST(FileList, NumbersBeyondThirtyTwoBitsAreClamped) {
  EXPECT_EQ(FileWith("size", "2147483647").size, 2147483647);
  EXPECT_EQ(FileWith("size", "2147483648").size, 2147483647);
  EXPECT_EQ(FileWith("size", "-2147483648").size, -2147483647 - 1);
  EXPECT_EQ(FileWith("size", "-2147483649").size, -2147483647 - 1);
  EXPECT_EQ(FileWith("size", "4294967297").size, 2147483647);
  EXPECT_EQ(FileWith("size", "18446744073709551615").size, 2147483647);
  EXPECT_EQ(FileWith("size", "\"99999999999999999999999\"").size, 2147483647);
  EXPECT_EQ(FileWith("size", "\"-99999999999999999999999\"").size, -2147483647 - 1);
  EXPECT_EQ(FileWith("size", "1e10").size, 2147483647);
}

TEST(FileList, ScalarsReadAsText) {
  EXPECT_EQ(FileWith("description", "12").description, "12");
  EXPECT_EQ(FileWith("description", "-7").description, "-7");
  EXPECT_EQ(FileWith("description", "2.5").description, "2.5");
  EXPECT_EQ(FileWith("description", "0.1").description, "0.10000000000000001");
  EXPECT_EQ(FileWith("description", "true").description, "true");
  EXPECT_EQ(FileWith("description", "false").description, "false");
  EXPECT_EQ(FileWith("description", "null").description, "");
  EXPECT_EQ(FileWith("sha1", "\"a\\\"b\\\\c\"").sha1, "a\"b\\c");
  EXPECT_EQ(FileWith("sha256", "\"AB01\"").sha256, "AB01");
  EXPECT_EQ(FileWith("name", "\"x\"").sha256, "");
  // Bytes of the system code page pass through unchanged.
  EXPECT_EQ(FileWith("description", "\"caf\xE9\"").description, "caf\xE9");
}

TEST(FileList, UnreadableElementEndsTheListButKeepsEarlierRecords) {
  std::int32_t count = -1;
  TFileInfoList list = Parse(R"({"Files": [{"name": "a"}, 5, {"name": "b"}]})", &count);
  ASSERT_EQ(count, 1);
  EXPECT_EQ(list[0].name, "a");

  list =
      Parse(R"({"Files": [{"name": "a"}, {"name": "b", "sha1": ["x"]}, {"name": "c"}]})", &count);
  ASSERT_EQ(count, 1);
  EXPECT_EQ(list[0].name, "a");

  for (const char* bad : {R"({"x": 1})", "[]", "[1]"}) {
    const std::string text = std::string(R"({"Files": [{"name": "a"}, {"version": )") + bad + "}]}";
    EXPECT_EQ(Parse(text).size(), 1u) << text;
  }
  EXPECT_EQ(Parse(R"({"Files": ["a.dll", {"name": "b"}]})").size(), 0u);
  EXPECT_EQ(Parse(R"({"Files": [[{"name": "a"}]]})").size(), 0u);
}

TEST(FileList, NullElementIsAnEmptyRecord) {
  const TFileInfoList list = Parse(R"({"Files": [null, {"name": "b"}]})");
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].name, "");
  EXPECT_EQ(VersionText(list[0]), "v0.0.0");
  EXPECT_EQ(list[0].size, 0);
  EXPECT_FALSE(list[0].needsUpdate);
  EXPECT_EQ(list[1].name, "b");
}

TEST(FileList, DeeplyNestedTextIsRefusedQuietly) {
  const std::string text =
      "{\"Files\": " + std::string(100000, '[') + std::string(100000, ']') + "}";
  TFileInfoList list(1);
  EXPECT_EQ(ParseFileInfoList(list, text), 0);
  EXPECT_EQ(list.size(), 1u);
}

TEST(FileList, PublicKeyAtTheRootOptsIn) {
  EXPECT_EQ(ReadPublicKey(R"({"PublicKey": " RWQkey ", "Files": []})"), " RWQkey ");
  // Named but not a key: the caller still wants signatures, which then fail.
  for (const char* text :
       {R"({"PublicKey": 5})", R"({"PublicKey": null})", R"({"PublicKey": ""})"}) {
    EXPECT_EQ(ReadPublicKey(text), std::string()) << text;
  }
  for (const char* text : {R"({"Files": [{"PublicKey": "RWQkey"}]})", "not json", "[1]", ""}) {
    EXPECT_EQ(ReadPublicKey(text), std::nullopt) << text;
  }
  // Too deep to read: whatever key it holds, signatures are still asked for.
  EXPECT_EQ(ReadPublicKey(R"({"PublicKey": "RWQkey", "Files": )" + std::string(100000, '[') +
                          std::string(100000, ']') + "}"),
            std::string());
}

TEST(VersionTriple, ComparesLexicographicallyAsSignedNumbers) {
  auto triple = [](int version, int release, int build) {
    TFileInfo file;
    file.version = version;
    file.release = release;
    file.build = build;
    return file;
  };
  EXPECT_TRUE(IsNewerVersion(triple(1, 2, 4), triple(1, 2, 3)));
  EXPECT_FALSE(IsNewerVersion(triple(1, 2, 9), triple(1, 3, 0)));
  EXPECT_FALSE(IsNewerVersion(triple(1, 9, 9), triple(2, 0, 0)));
  EXPECT_FALSE(IsNewerVersion(triple(1, 2, 3), triple(1, 2, 3)));
  EXPECT_TRUE(IsNewerVersion(triple(0, 0, 0), triple(-1, 5, 5)));
  EXPECT_EQ(VersionText(triple(-2147483647 - 1, 10, 2147483647)), "v-2147483648.10.2147483647");
}

}  // namespace
