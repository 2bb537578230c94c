// Which files of a release folder a manifest lists, and which names the
// updater can ask for.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/native_path.h"
#include "platform/text_conversion.h"
#include "publisher/publisher.h"

namespace publisher {
namespace {

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The manifest, its signature and what a run leaves beside it.
bool BelongsToManifest(const std::string& name) {
  return name == kManifestName ||
         name.compare(0, std::strlen(kManifestName) + 1, std::string(kManifestName) + ".") == 0 ||
         EndsWith(name, ".minisig");
}

}  // namespace

std::string NarrowPathText(const std::filesystem::path& path, bool* exact) {
  const std::u16string wide = path.u16string();
  return platform::WideToNarrow(wide.data(), wide.size(), exact);
}

bool IsRequestableName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  // The characters of a URL path segment that travel unescaped: letters,
  // digits, "-._~" and the sub-delimiters, ":" and "@". A blank, "%", "#",
  // "?", "/", a quote or any byte outside ASCII would be changed on the way.
  static const char kAllowed[] = "-._~!$&'()*+,;=:@";
  for (char c : name) {
    const bool alphanumeric =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!alphanumeric && std::strchr(kAllowed, c) == nullptr) return false;
  }
  return true;
}

bool ListReleaseFiles(const std::string& folder, std::vector<std::string>* names,
                      std::vector<std::string>* skipped, std::string* error) {
  namespace fs = std::filesystem;
  std::error_code code;
  fs::directory_iterator entries(platform::NativePathOf(folder), code);
  if (code) {
    *error = "cannot read the folder " + folder + ": " + code.message();
    return false;
  }
  for (const fs::directory_entry& entry : entries) {
    std::error_code typeError;
    if (!entry.is_regular_file(typeError)) continue;
    bool exact = false;
    std::string name = NarrowPathText(entry.path().filename(), &exact);
    // A name the narrow text cannot write comes in UTF-8, which no
    // requestable name needs, so that it is refused by its own letters.
    if (!exact) name = entry.path().filename().u8string();
    if (BelongsToManifest(name)) continue;
    if (name[0] == '.') {
      skipped->push_back(name);
      continue;
    }
    names->push_back(name);
  }
  std::sort(names->begin(), names->end());
  return true;
}

}  // namespace publisher
