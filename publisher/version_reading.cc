// Reading a library's version the way the updater does: by loading it and
// calling its version function. A library this process cannot load is asked
// through a Windows build of the publisher beside this one, started directly
// on Windows and under Wine elsewhere.
#include <cstdio>
#include <fstream>

#include "platform/dynamic_library.h"
#include "platform/path.h"
#include "platform/process.h"
#include "platform/program_search.h"
#include "platform/temp_files.h"
#include "publisher/publisher.h"

namespace publisher {
namespace {

// The Windows builds: 32-bit first, the one MetaTrader 4 loads.
const char* const kWindowsHelpers[] = {"korvan-publish.exe", "korvan-publish64.exe"};

bool OnWindows() { return std::string(platform::kNativeLibraryExtension) == ".dll"; }

bool HasDllExtension(const std::string& name) {
  if (name.size() < 4) return false;
  std::string tail = name.substr(name.size() - 4);
  for (char& c : tail) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return tail == ".dll";
}

// How a Windows program under Wine names an absolute POSIX path: drive Z:
// is the root in every Wine prefix that has not been rearranged.
std::string WinePath(const std::string& path) {
  std::string windows = "Z:" + path;
  for (char& c : windows) {
    if (c == '/') c = '\\';
  }
  return windows;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace

bool ProbeLibraryVersion(const std::string& path, VersionTriple* triple) {
  // The probe joins the folder of the application path, without its
  // separator, and the record's name, which starts with one.
  const std::string folder = platform::DirectoryOf(path);
  TFileInfo record;
  std::string applicationPath;
  if (folder.empty()) {
    applicationPath = std::string("./") + kManifestName;
    record.name = "/" + path;
  } else {
    applicationPath = folder + kManifestName;
    record.name = path.substr(folder.size() - 1);
  }
  if (!GetLocalFileVersion(record, applicationPath)) return false;
  triple->version = record.version;
  triple->release = record.release;
  triple->build = record.build;
  return true;
}

ProbingVersionReader::ProbingVersionReader(std::string publisherPath)
    : publisherPath_(std::move(publisherPath)) {}

bool ProbingVersionReader::ReadFileVersion(const std::string& folder, const std::string& name,
                                           VersionTriple* triple, std::string* how) {
  const std::string path = folder + "/" + name;
  if (ProbeLibraryVersion(path, triple)) {
    *how = "read from the file";
    return true;
  }
  *how = "the file reports no version of its own";
  if (!HasDllExtension(name)) return false;
  // A Windows DLL this process cannot load: a Windows build may.
  if (!OnWindows() && platform::FindProgramOnPath("wine").empty()) {
    *how = "Wine is not installed to read this Windows DLL's version";
    return false;
  }
  const std::string publisherFolder = platform::DirectoryOf(publisherPath_);
  const std::string ownName = publisherPath_.substr(publisherFolder.size());
  bool helperFound = false;
  for (const char* helperName : kWindowsHelpers) {
    if (OnWindows() && ownName == helperName) continue;
    const std::string helper = publisherFolder + helperName;
    if (!std::ifstream(helper, std::ios::binary)) continue;
    helperFound = true;
    if (ReadThroughHelper(helper, path, triple)) {
      *how =
          std::string("read from the file by ") + helperName + (OnWindows() ? "" : " under Wine");
      return true;
    }
  }
  if (!helperFound && !OnWindows()) {
    *how =
        "no Windows build (korvan-publish.exe, korvan-publish64.exe) lies beside this "
        "program to read it under Wine";
  }
  return false;
}

bool ProbingVersionReader::ReadThroughHelper(const std::string& helper, const std::string& path,
                                             VersionTriple* triple) {
  const std::string answer = platform::CreateTemporaryFile(platform::TemporaryDirectory(), "kvp");
  if (answer.empty()) return false;
  std::string program = helper;
  std::string parameters;
  if (OnWindows()) {
    parameters = "--read-version " + Quoted(path) + " " + Quoted(answer);
  } else {
    program = platform::FindProgramOnPath("wine");
    if (program.empty()) {
      platform::RemoveFile(answer);
      return false;
    }
    parameters = Quoted(WinePath(helper)) + " --read-version " + Quoted(WinePath(path)) + " " +
                 Quoted(WinePath(answer));
  }
  std::int32_t exitCode = -1;
  const bool ran = platform::StartProgramAndWait(program, parameters, &exitCode);
  std::ifstream reply(answer);
  std::string text;
  std::getline(reply, text);
  reply.close();
  // Written in Windows text mode: the line ends in CR LF.
  if (!text.empty() && text.back() == '\r') text.pop_back();
  platform::RemoveFile(answer);
  return ran && exitCode == 0 && ParseVersionTriple(text, triple);
}

}  // namespace publisher
