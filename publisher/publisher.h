// korvan-publish: writes a release folder's "updateinfo.txt" from the files
// in it, with the versions the files report through the updater's own probe.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "update/update.h"

namespace publisher {

constexpr char kManifestName[] = "updateinfo.txt";

struct VersionTriple {
  std::int32_t version = 0;
  std::int32_t release = 0;
  std::int32_t build = 0;
};

// What the command line asks for.
struct PublishOptions {
  std::string folder;
  std::map<std::string, VersionTriple> versions;    // --version NAME=V.R.B
  std::map<std::string, std::string> descriptions;  // --description NAME=TEXT
  std::string previousManifest;                     // --previous, empty for none
  std::string secretKeyFile;                        // --sign, empty for none
  std::int32_t expiresDays = 0;                     // --expires, 0 for never
};

// Reads the command line; false, with the reason in `error`, when it is
// malformed. `helpRequested` is set for --help.
bool ParseArguments(const std::vector<std::string>& arguments, PublishOptions* options,
                    bool* helpRequested, std::string* error);
// "V.R.B" of non-negative 32-bit numbers.
bool ParseVersionTriple(const std::string& text, VersionTriple* triple);
std::string TripleText(const VersionTriple& triple);

// Where a library file's version comes from. ReadFileVersion asks the file
// itself: in this process through the updater's probe, and for a library this
// process cannot load (a Windows DLL on Linux, or one of the other bitness)
// through a Windows build of the publisher beside this one. `how` tells which
// way answered.
class VersionReader {
 public:
  virtual ~VersionReader() = default;
  virtual bool ReadFileVersion(const std::string& folder, const std::string& name,
                               VersionTriple* triple, std::string* how) = 0;
};
// The real one; `publisherPath` is the running publisher's own file.
class ProbingVersionReader : public VersionReader {
 public:
  explicit ProbingVersionReader(std::string publisherPath);
  bool ReadFileVersion(const std::string& folder, const std::string& name, VersionTriple* triple,
                       std::string* how) override;

 private:
  bool ReadThroughHelper(const std::string& helper, const std::string& path, VersionTriple* triple);
  std::string publisherPath_;
};

// The version the updater would read from `path` in this process; what the
// helper mode of the command answers.
bool ProbeLibraryVersion(const std::string& path, VersionTriple* triple);

// Whether the updater can ask for `name` exactly as it is: not empty, and
// only characters a URL path carries unescaped.
bool IsRequestableName(const std::string& name);

// The narrow text (the ANSI code page on Windows, UTF-8 elsewhere) of a
// path; `exact` tells whether it names that very path.
std::string NarrowPathText(const std::filesystem::path& path, bool* exact);

// The regular files directly in the folder that a manifest lists: all but the
// manifest itself, its signature and its temporary copies. Hidden files
// (".name") are left out, because web servers do not serve them; they are
// added to `skipped`. False, with the reason, when the folder cannot be read.
bool ListReleaseFiles(const std::string& folder, std::vector<std::string>* names,
                      std::vector<std::string>* skipped, std::string* error);

// One manifest record per file, in the order given.
struct ManifestEntry {
  TFileInfo record;
  std::uint64_t size = 0;  // the record's own field stops at 2 GiB
  std::string sha256;
};
std::string FormatManifest(const std::vector<ManifestEntry>& entries);
// Writes `text` to `path` through a temporary file in the same folder and one
// rename, so that a reader sees the old manifest or the new one. False, with
// the reason, on failure; `path` is then untouched.
bool WriteFileAtomically(const std::string& path, const std::string& text, std::string* error);

// Signs `manifest` with minisign's secret key, producing manifest +
// ".minisig" with `trustedComment`, or minisign's own when it is empty.
// False, with the reason, on failure.
bool SignManifest(const std::string& minisign, const std::string& secretKeyFile,
                  const std::string& manifest, const std::string& trustedComment,
                  std::string* error);
// Minisign's usual trusted comment for a manifest signed at `now`, with the
// moment `days` later at which the updater stops accepting it.
std::string TrustedCommentExpiring(std::int64_t now, std::int32_t days);

// The whole run: checks everything first, writes the manifest only when
// nothing is refused, then signs it. Progress goes to `out`, refusals and
// failures to `err`. Returns the exit status: 0, 1 refused or failed.
int Publish(const PublishOptions& options, VersionReader& reader, std::ostream& out,
            std::ostream& err);

}  // namespace publisher
