// Which files of a release folder a manifest lists, and which names the
// updater can ask for.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>

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
  fs::directory_iterator entries(fs::u8path(folder), code);
  if (code) {
    *error = "cannot read the folder " + folder + ": " + code.message();
    return false;
  }
  for (const fs::directory_entry& entry : entries) {
    std::error_code typeError;
    if (!entry.is_regular_file(typeError)) continue;
    const std::string name = entry.path().filename().u8string();
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
