// What the updater remembers installing: each file it put in place, with the
// version it installed and the SHA-256 of its bytes. For a file whose version
// only the caller claims (a data file, a program the probe cannot ask), the
// record keeps an older release from being offered as an update, and keeps
// the installed one from being offered again.
//
// {"Files": [{"name": <path>, "version": 2, "release": 0, "build": 0,
//             "sha256": <hex>}, ...]}
#include <memory>
#include <string>

#include "crypto/crypto.h"
#include "log/common_log.h"
#include "platform/path.h"
#include "update/kept_files.h"
#include "update/update.h"

namespace {

// One spelling of a path for the record: the check and the apply may name
// the same file with either separator.
std::string RecordKey(std::string path) {
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return path;
}

bool Sha256Text(const std::string& path, std::string* hex) {
  std::string digest;
  if (!crypto::Sha256OfFile(path, &digest)) return false;
  *hex = crypto::ToHex(digest);
  return true;
}

Json::Value RecordedFiles(const Json::Value& document) {
  const Json::Value& files = document["Files"];
  return files.isArray() ? files : Json::Value(Json::arrayValue);
}

// The entry's triple; false when the entry is not one the updater wrote.
bool ReadEntry(const Json::Value& entry, TFileInfo* recorded) {
  if (!entry.isObject() || !entry["name"].isString() || !entry["sha256"].isString()) return false;
  for (const char* member : {"version", "release", "build"}) {
    if (!entry[member].isInt()) return false;
  }
  recorded->name = entry["name"].asString();
  recorded->sha256 = entry["sha256"].asString();
  recorded->version = entry["version"].asInt();
  recorded->release = entry["release"].asInt();
  recorded->build = entry["build"].asInt();
  return true;
}

}  // namespace

bool RaiseToInstalledVersion(TFileInfo& file, const std::string& waitApp) {
  const std::string directory = platform::DirectoryOf(waitApp);
  if (directory.empty() || !HasFilePart(file)) return false;
  const std::string path = directory.substr(0, directory.size() - 1) + file.name;
  const std::string key = RecordKey(path);
  for (const Json::Value& entry : RecordedFiles(ReadKeptFile(KeptFilePath(kInstalledFilesName)))) {
    TFileInfo recorded;
    if (!ReadEntry(entry, &recorded) || recorded.name != key) continue;
    // Only what the record can add is worth reading the file for.
    std::string onDisk;
    if (!IsNewerVersion(recorded, file) || !Sha256Text(path, &onDisk) ||
        onDisk != recorded.sha256) {
      return false;
    }
    file.version = recorded.version;
    file.release = recorded.release;
    file.build = recorded.build;
    if (const std::shared_ptr<ICommonLog> log = g_log) {
      log->Write(kLogLevel, "Local file %s is %s, as the updater installed it",
                 ExtractFileName(file.name).c_str(), VersionText(file).c_str());
    }
    return true;
  }
  return false;
}

void RememberInstalledFile(const std::string& path, const TFileInfo& file) {
  const std::shared_ptr<ICommonLog> log = g_log;
  const std::string recordPath = KeptFilePath(kInstalledFilesName);
  if (recordPath.empty()) return;
  Json::Value entry(Json::objectValue);
  entry["name"] = RecordKey(path);
  entry["version"] = file.offeredVersion;
  entry["release"] = file.offeredRelease;
  entry["build"] = file.offeredBuild;
  std::string error;
  // A download checked against its manifest digest matched it: reading the
  // whole file again would only give the same digest.
  std::string digest = ManifestDigestText(file);
  if (!digest.empty() || Sha256Text(path, &digest)) {
    entry["sha256"] = digest;
    // Every other file's entry stays; an unreadable record starts anew.
    Json::Value files(Json::arrayValue);
    for (const Json::Value& kept : RecordedFiles(ReadKeptFile(recordPath))) {
      TFileInfo recorded;
      if (ReadEntry(kept, &recorded) && recorded.name != entry["name"].asString())
        files.append(kept);
    }
    files.append(entry);
    Json::Value document(Json::objectValue);
    document["Files"] = files;
    if (WriteKeptFile(recordPath, document, &error)) return;
  } else {
    error = "cannot read " + path;
  }
  if (log) log->Write(kLogLevel, "The record of installed files was not kept: %s", error.c_str());
}
