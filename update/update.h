// The update engine: file lists, the download, the local version probe, the
// update check and the update apply.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/http.h"

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

// The application path of the update run under way, exactly as the run
// received it; its directory holds the local files. Each run sets it at its
// start; the version probe reads it. No lock: one run per process at a time.
extern std::string WaitAppPath;

// Appends one record per element of the text's "Files" array and returns how
// many it appended; a malformed text appends nothing.
std::int32_t ParseFileInfoList(TFileInfoList& list, std::string text);

// Downloads one URL into one file: the platform's own, whose contract is in
// platform/http.h.
using platform::DownloadFile;
// The text for an error code of DownloadFile or of the system; "Unknown
// error" when there is none.
std::string GetErrorText(std::int32_t code);
// The part of `path` after its last '/'.
std::string ExtractFileName(const std::string& path);
// The whole file up to its first zero byte; empty on any failure.
std::string ReadTextFile(const std::string& path);

// Replaces the record's version triple with the one its library reports.
bool GetLocalFileVersion(TFileInfo& file);

// Marks every local record for which the server lists a newer version; true
// when at least one was marked.
bool CheckUpdates(TFileInfoList& localFiles, std::string url);

// Downloads and swaps in every marked file; the number of files put in
// place, or -1 when a file-system query failed.
std::int32_t ApplyUpdates(std::string url, std::string waitApp, TFileInfoList files);
