// The manifest's text, and writing it so that no reader sees half of it.
#include <json/json.h>

#include <fstream>

#include "platform/file_system.h"
#include "platform/system_error.h"
#include "publisher/publisher.h"

namespace publisher {
namespace {

std::string Quoted(const std::string& text) { return Json::valueToQuotedString(text.c_str()); }

}  // namespace

std::string FormatManifest(const std::vector<ManifestEntry>& entries) {
  // One record a line, members in the order a reader looks for them; jsoncpp
  // quotes the texts.
  std::string text = "{\n  \"Files\": [";
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const TFileInfo& record = entries[i].record;
    text += i == 0 ? "\n" : ",\n";
    text += "    {\"name\": " + Quoted(record.name) +
            ", \"version\": " + std::to_string(record.version) +
            ", \"release\": " + std::to_string(record.release) +
            ", \"build\": " + std::to_string(record.build) +
            ", \"size\": " + std::to_string(entries[i].size);
    text += ", \"sha1\": " + Quoted(record.sha1) + ", \"sha256\": " + Quoted(entries[i].sha256);
    if (!record.description.empty()) text += ", \"description\": " + Quoted(record.description);
    text += "}";
  }
  text += entries.empty() ? "]\n}\n" : "\n  ]\n}\n";
  return text;
}

bool WriteFileAtomically(const std::string& path, const std::string& text, std::string* error) {
  const std::string temporary = path + ".partial";
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    if (!file) {
      *error = "cannot write " + temporary;
      platform::RemovePath(temporary);
      return false;
    }
  }
  const int code = platform::MovePathReplacing(temporary, path);
  if (code != 0) {
    *error = "cannot rename " + temporary + " to " + path + ": " + platform::SystemErrorText(code);
    platform::RemovePath(temporary);
    return false;
  }
  return true;
}

}  // namespace publisher
