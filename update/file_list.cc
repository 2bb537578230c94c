// Reading a JSON file list (the server's manifest or the host's `files`) into
// records, and the downloaded manifest's text.
#include <json/json.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <vector>

#include "update/update.h"

namespace {

// A member as text: strings as they stand, numbers and booleans as jsoncpp
// renders them, null and a missing member as the empty text. An array or an
// object has no text.
bool ReadText(const Json::Value& file, const char* key, std::string* text) {
  const Json::Value& value = file[key];
  if (value.isArray() || value.isObject()) return false;
  *text = value.asString();
  return true;
}

// The text converted like strtol in base 10 (leading blanks, a sign, digits up
// to the first other character), clamped to the signed 32-bit range on every
// platform.
bool ReadNumber(const Json::Value& file, const char* key, std::int32_t* number) {
  std::string text;
  if (!ReadText(file, key, &text)) return false;
  const long long value = std::strtoll(text.c_str(), nullptr, 10);
  *number = value > INT32_MAX   ? INT32_MAX
            : value < INT32_MIN ? INT32_MIN
                                : static_cast<std::int32_t>(value);
  return true;
}

bool ReadRecord(const Json::Value& file, TFileInfo* record) {
  return ReadText(file, "name", &record->name) && ReadNumber(file, "version", &record->version) &&
         ReadNumber(file, "release", &record->release) &&
         ReadNumber(file, "build", &record->build) &&
         ReadText(file, "description", &record->description) &&
         ReadText(file, "sha1", &record->sha1) && ReadNumber(file, "size", &record->size) &&
         ReadText(file, "sha256", &record->sha256);
}

// Appends the records of a parsed document; stops at the first element that
// cannot be read and keeps what came before it.
void AppendRecords(TFileInfoList& list, const Json::Value& root) {
  // A null document stands for an empty list; any other non-object is an
  // error, which ends the reading before the first record.
  if (!root.isObject()) return;
  const Json::Value& files = root["Files"];
  // Only an array has elements to read: an object of files has no element 0,
  // and a missing "Files", a string or a number count as no elements.
  if (!files.isArray()) return;

  for (Json::ArrayIndex i = 0; i < files.size(); ++i) {
    const Json::Value& file = files[i];
    // A null element reads as an object without members.
    if (!file.isObject() && !file.isNull()) return;
    TFileInfo record;
    if (!ReadRecord(file, &record)) return;
    list.push_back(std::move(record));
  }
}

}  // namespace

std::int32_t ParseFileInfoList(TFileInfoList& list, std::string text) {
  const TFileInfoList::size_type before = list.size();
  try {
    Json::Reader reader(Json::Features::all());
    Json::Value root;
    if (!reader.parse(text, root, false)) return 0;
    AppendRecords(list, root);
  } catch (const std::exception&) {
    // Running out of memory ends the reading like any other error, and so
    // does jsoncpp's refusal of a document nested too deeply; the records
    // appended so far stay.
  }
  return static_cast<std::int32_t>(list.size() - before);
}

std::optional<std::string> ReadPublicKey(const std::string& text) {
  try {
    Json::Reader reader(Json::Features::all());
    Json::Value root;
    if (!reader.parse(text, root, false) || !root.isObject() || !root.isMember("PublicKey")) {
      return std::nullopt;
    }
    // A caller who named a key wants signed manifests, whatever it wrote.
    const Json::Value& key = root["PublicKey"];
    return key.isString() ? key.asString() : std::string();
  } catch (const std::exception&) {
    // Too deep to read: it yields no records either, but a key it may hold
    // must not turn into no key at all.
    return std::string();
  }
}

std::string ReadTextFile(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return std::string();
  std::string text;
  long size = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
  try {
    if (size >= 0 && std::fseek(file, 0, SEEK_SET) == 0) {
      std::vector<char> buffer(static_cast<std::size_t>(size) + 1, '\0');
      if (std::fread(buffer.data(), 1, static_cast<std::size_t>(size), file) ==
          static_cast<std::size_t>(size)) {
        text.assign(buffer.data(), std::strlen(buffer.data()));
      }
    }
  } catch (const std::exception&) {
    // A size too large to hold (a directory reports one) reads as a failure,
    // like any other.
    text.clear();
  }
  std::fclose(file);
  return text;
}

bool ReadFileUpTo(const std::string& path, std::size_t limit, std::string* bytes) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  bytes->clear();
  char buffer[4096];
  std::size_t count = 0;
  bool fits = true;
  while (fits && (count = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    fits = bytes->size() + count <= limit;
    if (fits) bytes->append(buffer, count);
  }
  const bool read = std::ferror(file) == 0;
  std::fclose(file);
  return fits && read;
}
