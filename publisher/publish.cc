// One publishing run: every file checked and refused before anything is
// written, then the manifest, then its signature.
#include <filesystem>
#include <map>

#include "platform/clock.h"
#include "platform/file_digest.h"
#include "platform/native_path.h"
#include "platform/program_search.h"
#include "platform/system_error.h"
#include "publisher/publisher.h"

namespace publisher {
namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return text;
}

TFileInfo AsRecord(const std::string& name, const VersionTriple& triple) {
  TFileInfo record;
  record.name = name;
  record.version = triple.version;
  record.release = triple.release;
  record.build = triple.build;
  return record;
}

VersionTriple AsTriple(const TFileInfo& record) {
  VersionTriple triple;
  triple.version = record.version;
  triple.release = record.release;
  triple.build = record.build;
  return triple;
}

bool SameTriple(const VersionTriple& left, const VersionTriple& right) {
  return left.version == right.version && left.release == right.release &&
         left.build == right.build;
}

// Collects every refusal, so that one run names them all.
class Refusals {
 public:
  explicit Refusals(std::ostream& err) : err_(err) {}
  void Add(const std::string& reason) {
    err_ << "korvan-publish: refused: " << reason << "\n";
    ++count_;
  }
  int count() const { return count_; }

 private:
  std::ostream& err_;
  int count_ = 0;
};

// The versions, descriptions and names the options speak of must all be
// files of the release: a typo would otherwise go unnoticed.
void CheckNamedFiles(const PublishOptions& options, const std::vector<std::string>& names,
                     Refusals* refusals) {
  auto listed = [&names](const std::string& name) {
    for (const std::string& file : names) {
      if (file == name) return true;
    }
    return false;
  };
  for (const auto& version : options.versions) {
    if (!listed(version.first))
      refusals->Add("--version names " + version.first + ", which is not a file of the release");
  }
  for (const auto& description : options.descriptions) {
    if (!listed(description.first))
      refusals->Add("--description names " + description.first +
                    ", which is not a file of the release");
  }
}

void CheckNames(const std::vector<std::string>& names, Refusals* refusals) {
  std::map<std::string, std::string> byLowerCase;
  for (const std::string& name : names) {
    if (!IsRequestableName(name)) {
      refusals->Add("\"" + name +
                    "\" cannot be asked for as it is: use letters, digits and -._~ (no blank, "
                    "no %, #, ?, quote or letter outside ASCII)");
    }
    const auto inserted = byLowerCase.emplace(Lower(name), name);
    if (!inserted.second) {
      refusals->Add(inserted.first->second + " and " + name +
                    " differ only in letter case: Windows keeps one file for both");
    }
  }
}

// The version of one file: what the file reports, else --version; refused
// when neither knows it or the two disagree.
bool ResolveVersion(const std::string& folder, const std::string& name,
                    const PublishOptions& options, VersionReader& reader, VersionTriple* triple,
                    std::string* how, Refusals* refusals) {
  const bool read = reader.ReadFileVersion(folder, name, triple, how);
  const auto given = options.versions.find(name);
  if (given == options.versions.end()) {
    if (!read) {
      refusals->Add("the version of " + name + " is unknown (" + *how + "): give --version " +
                    name + "=V.R.B");
    }
    return read;
  }
  if (read && !SameTriple(*triple, given->second)) {
    refusals->Add(name + " reports version " + TripleText(*triple) + ", not " +
                  TripleText(given->second) +
                  " as --version says: installations would be offered the same update again "
                  "and again");
    return false;
  }
  if (!read) {
    *triple = given->second;
    *how = "given by --version";
  }
  return true;
}

// A release must not go back behind the one it replaces.
void CheckAgainstPrevious(const std::string& name, const VersionTriple& triple,
                          const TFileInfoList& previous, const std::string& previousPath,
                          Refusals* refusals) {
  for (const TFileInfo& old : previous) {
    if (old.name == name && IsNewerVersion(old, AsRecord(name, triple))) {
      refusals->Add(name + " " + TripleText(triple) + " is lower than " +
                    TripleText(AsTriple(old)) + " in " + previousPath);
    }
  }
}

}  // namespace

int Publish(const PublishOptions& options, VersionReader& reader, std::ostream& out,
            std::ostream& err) {
  namespace fs = std::filesystem;
  std::error_code code;
  // Absolute, for the Windows build under Wine, which reads another root.
  const fs::path absolute =
      fs::absolute(platform::NativePathOf(options.folder), code).lexically_normal();
  bool exact = false;
  const std::string folder = NarrowPathText(absolute, &exact);
  std::string error;
  std::vector<std::string> names;
  std::vector<std::string> skipped;
  if (code || !exact) {
    err << "korvan-publish: " << options.folder
        << (code ? " cannot be found"
                 : " has a name the system's narrow text cannot write: "
                   "use a folder with a plainer name")
        << "\n";
    return 1;
  }
  if (!ListReleaseFiles(folder, &names, &skipped, &error)) {
    err << "korvan-publish: " << error << "\n";
    return 1;
  }
  const std::string manifest = NarrowPathText(absolute / kManifestName, &exact);
  out << "korvan-publish: release folder " << folder << "\n";
  for (const std::string& name : skipped)
    out << "  skipped " << name << ": hidden files are not served\n";

  Refusals refusals(err);
  if (names.empty()) refusals.Add("the folder holds no file to publish");
  CheckNames(names, &refusals);
  CheckNamedFiles(options, names, &refusals);

  TFileInfoList previous;
  if (!options.previousManifest.empty()) {
    const std::string text = ReadTextFile(options.previousManifest);
    if (text.empty()) refusals.Add("--previous: cannot read " + options.previousManifest);
    ParseFileInfoList(previous, text);
  }
  std::string minisign;
  if (!options.secretKeyFile.empty()) {
    minisign = platform::FindProgramOnPath("minisign");
    if (minisign.empty()) refusals.Add("--sign needs the minisign command, which is not installed");
    if (!fs::is_regular_file(platform::NativePathOf(options.secretKeyFile), code)) {
      refusals.Add("--sign: no secret key file " + options.secretKeyFile);
    }
  }

  std::vector<ManifestEntry> entries;
  for (const std::string& name : names) {
    VersionTriple triple;
    std::string how;
    if (!ResolveVersion(folder, name, options, reader, &triple, &how, &refusals)) continue;
    CheckAgainstPrevious(name, triple, previous, options.previousManifest, &refusals);
    platform::FileDigests digests;
    const int digestError = platform::DigestFile(folder + "/" + name, &digests);
    if (digestError != 0) {
      refusals.Add("cannot read " + name + ": " + platform::SystemErrorText(digestError));
      continue;
    }
    ManifestEntry entry;
    entry.record = AsRecord(name, triple);
    entry.record.sha1 = digests.sha1;
    entry.record.size =
        digests.size > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(digests.size);
    entry.size = digests.size;
    entry.sha256 = digests.sha256;
    const auto description = options.descriptions.find(name);
    if (description != options.descriptions.end()) entry.record.description = description->second;
    entries.push_back(entry);
    out << "  " << name << "  " << TripleText(triple) << "  " << how << "\n";
  }

  if (refusals.count() > 0) {
    err << "korvan-publish: " << manifest << " left as it was\n";
    return 1;
  }
  if (!WriteFileAtomically(manifest, FormatManifest(entries), &error)) {
    err << "korvan-publish: " << error << "\n";
    return 1;
  }
  out << "korvan-publish: wrote " << manifest << " (" << entries.size()
      << (entries.size() == 1 ? " file)\n" : " files)\n");
  if (!minisign.empty()) {
    const std::string comment = options.expiresDays == 0
                                    ? std::string()
                                    : TrustedCommentExpiring(platform::Now(), options.expiresDays);
    if (!SignManifest(minisign, options.secretKeyFile, manifest, comment, &error)) {
      err << "korvan-publish: " << manifest << " is written but not signed: " << error << "\n";
      return 1;
    }
    out << "korvan-publish: signed " << manifest << ".minisig";
    if (options.expiresDays != 0) {
      out << ", valid for " << options.expiresDays << " days: sign again before then";
    }
    out << "\n";
  }
  return 0;
}

}  // namespace publisher
