#include <cstdio>
#include <tuple>

#include "update/update.h"

bool IsNewerVersion(const TFileInfo& candidate, const TFileInfo& installed) {
  return std::tie(candidate.version, candidate.release, candidate.build) >
         std::tie(installed.version, installed.release, installed.build);
}

std::string VersionText(const TFileInfo& file) {
  char text[40] = {};
  std::snprintf(text, sizeof text, "v%d.%d.%d", file.version, file.release, file.build);
  return text;
}

std::string ExtractFileName(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}
