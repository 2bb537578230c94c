// The update engine: file lists, the download, the local version probe, the
// update check and the update apply.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One listed file.
struct TFileInfo {
  std::string name;
  std::int32_t version = 0;
  std::int32_t release = 0;
  std::int32_t build = 0;
  std::string description;
  std::string sha1;
  std::int32_t size = 0;
  bool needsUpdate = false;
};

using TFileInfoList = std::vector<TFileInfo>;

// Version triples compare lexicographically as signed integers.
bool IsNewerVersion(const TFileInfo& candidate, const TFileInfo& installed);
// "v%d.%d.%d"
std::string VersionText(const TFileInfo& file);

// Appends one record per element of the text's "Files" array and returns how
// many it appended; a malformed text appends nothing.
std::int32_t ParseFileInfoList(TFileInfoList& list, std::string text);
