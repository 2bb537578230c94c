// The update engine: file lists, the download, the local version probe, the
// update check and the update apply.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/http.h"

class ICommonLog;
class IUpdateObserver;
namespace platform {
class InstallationLock;
}

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
  // The SHA-256 the manifest gives for the file, as written there (64
  // hexadecimal digits, either case); empty when it gives none. The check
  // carries the server's value onto the record it marks, and the apply
  // refuses a download that does not match it.
  std::string sha256;
  // The version triple of the server's entry that marked the record: the
  // apply remembers it for the file it puts in place.
  std::int32_t offeredVersion = 0;
  std::int32_t offeredRelease = 0;
  std::int32_t offeredBuild = 0;
};

using TFileInfoList = std::vector<TFileInfo>;

// Version triples compare lexicographically as signed integers.
bool IsNewerVersion(const TFileInfo& candidate, const TFileInfo& installed);
// "v%d.%d.%d"
std::string VersionText(const TFileInfo& file);
// The part of `path` after its last '/': a record's base name.
std::string ExtractFileName(const std::string& path);

// Appends one record per element of the text's "Files" array and returns how
// many it appended; a malformed text appends nothing.
std::int32_t ParseFileInfoList(TFileInfoList& list, std::string text);
// The "PublicKey" member at the root of a file list: the base64 line of a
// minisign public key, which opts the caller in to signed manifests. Empty
// when the text has no such member; a member that is not a string reads as
// an empty key, which no signature matches, and so does a text too deep to
// read: a caller's wish for signatures is never lost.
std::optional<std::string> ReadPublicKey(const std::string& text);
// The whole file up to its first zero byte; empty on any failure.
std::string ReadTextFile(const std::string& path);
// The whole file, zero bytes included: false when it cannot be read or holds
// more than `limit` bytes, of which no more are read.
bool ReadFileUpTo(const std::string& path, std::size_t limit, std::string* bytes);

// Downloads one URL into one file: the platform's own, whose contract is in
// platform/http.h.
using platform::DownloadFile;
// The code the apply gives a download whose bytes differ from the "sha256"
// of its manifest record, as it gives a failed download its code.
constexpr std::int32_t kManifestMismatchError = 0x20002000;
// The record's "sha256" as digests are written and compared: lowercase
// hexadecimal; empty when the manifest gives none.
std::string ManifestDigestText(const TFileInfo& file);
// Checks a finished download against the "sha256" of its record: 0 when the
// record has none or the bytes match; otherwise kManifestMismatchError, with
// `path` removed and `responseText` saying why.
std::int32_t CompareWithManifest(const TFileInfo& file, const std::string& path,
                                 std::string* responseText);
// The text for an error code of DownloadFile or of the system; "Unknown
// error" when there is none.
std::string GetErrorText(std::int32_t code);

// How long an update run waits for another run of its process, or for
// another update of its installation, before it gives up having changed
// nothing: 10 minutes. A user must never wait for a box that may be hidden
// behind the terminal, or for a download that hangs.
std::chrono::milliseconds UpdateWaitBound();
// The bound for the log's lines: "10 minutes".
std::string UpdateWaitBoundText();

// Replaces the record's version triple with the one its library reports.
// `waitApp` is the run's application path, exactly as the run received it:
// its directory holds the local files. Each run hands its own, so that runs
// on other threads never see each other's folder.
bool GetLocalFileVersion(TFileInfo& file, const std::string& waitApp);
// For a file whose version the probe cannot read: raises the caller's claim
// to the version the updater remembers installing, when the file still holds
// the bytes it installed. True when it was raised.
bool RaiseToInstalledVersion(TFileInfo& file, const std::string& waitApp);

// Marks every local record for which the server lists a newer version; true
// when at least one was marked. The local files lie in the directory of
// `waitApp`, the run's application path. With a public key the manifest
// counts only when "updateinfo.txt.minisig" beside it signs it with that
// key, and its times allow it (CheckReleaseTimes); otherwise the check fails
// with its box and a log line, and marks nothing. A signed manifest's entry
// without a well-formed "sha256" marks nothing either: its bytes would be
// vouched for by nobody.
bool CheckUpdates(TFileInfoList& localFiles, std::string url, const std::string& waitApp,
                  const std::optional<std::string>& publicKey = std::nullopt);
// The check's two halves. The first fetches the manifest (and its signature)
// and reads it into `serverFiles`; on failure it shows the "Updater Files"
// box and returns false. The second compares the local files with it and
// marks the newer, touching the disk but showing nothing: the runs hold the
// installation's lock for it alone, never while a box waits for the user.
// With an `observer`, the manifest's download is shown to it and stops when
// it cancels; the first half then shows no box and returns false.
bool FetchServerFiles(const std::string& url, const std::optional<std::string>& publicKey,
                      TFileInfoList& serverFiles, IUpdateObserver* observer = nullptr);
bool MarkNewerFiles(TFileInfoList& localFiles, const TFileInfoList& serverFiles,
                    const std::string& waitApp);

// Why the minisign signature `signatureFile` does not sign `message` with the
// minisign public key `publicKey` (its base64 line); empty when it does.
// Only signatures over the message's BLAKE2b-512 ("ED", minisign's default)
// are accepted. `trustedComment` receives the signature's trusted comment.
std::string CheckMinisignSignature(const std::string& publicKey, const std::string& signatureFile,
                                   const std::string& message, std::string* trustedComment);
// The key id of a minisign public key as minisign prints it (16 uppercase
// hexadecimal digits); empty when the text is no such key.
std::string MinisignKeyId(const std::string& publicKey);
// The largest signature file and signed manifest read: anything larger is no
// signature or manifest of a vendor's, and must not fill the memory of a
// 32-bit terminal.
constexpr std::size_t kMaxSignatureSize = 4 * 1024;
constexpr std::size_t kMaxSignedManifestSize = 16 * 1024 * 1024;

// Checks the times a verified signature's trusted comment gives as fields
// separated by blanks: a manifest past its "expires:<unix seconds>", or with a
// "timestamp:<unix seconds>" older than the newest one accepted before from
// `url` with the key `keyId`, is refused. Empty when it is accepted (an
// accepted timestamp is then remembered); otherwise why not, with `expired`
// set when the vendor must sign the release again.
std::string CheckReleaseTimes(const std::string& url, const std::string& keyId,
                              const std::string& trustedComment, bool* expired);

// The files the updater keeps beside its log: what it installed, and the
// newest signed manifest it accepted per address and key.
constexpr char kInstalledFilesName[] = "KorvanUpdaterInstalled.json";
constexpr char kAcceptedReleasesName[] = "KorvanUpdaterReleases.json";
// Remembers that `path` now holds the file the record's offered version put
// there, with the SHA-256 of its bytes. A record that cannot be written is
// logged and otherwise ignored: it never fails an update.
void RememberInstalledFile(const std::string& path, const TFileInfo& file);

// A record names a file only when its name has a part after the last '/';
// any other names the folder itself.
bool HasFilePart(const TFileInfo& file);

// A listed file that an update cut off between moving it aside and moving
// its download in is missing while its ".old" copy is there; true then.
bool NeedsRestoring(const std::string& targetPath);
// Moves the ".old" copy back into place and logs either "Previous file
// restored" or why not (nothing when `log` is null); true when it is back.
// A repair moves it onto an absent name only: when the lock could not be had
// (a network folder, another session), another update may have just moved
// its new file in, and a replacing move would undo that update. The apply,
// which moved the file aside itself a moment ago, puts it back `overAnyFile`.
bool RestorePreviousFile(const std::string& oldPath, const std::string& targetPath, ICommonLog* log,
                         bool overAnyFile = false);
// The folder an application path names, without its final separator; empty
// when the path holds no separator. The apply's base directory, and the key
// of the installation's lock.
std::string InstallationFolder(const std::string& waitApp);
// Takes the installation's lock, waiting for another holder up to the wait
// bound when `wait` is true (and logging one line before it waits, and one
// when it gives up). When the system offers no lock for the folder, a line
// says so and the caller goes on without it. True when the lock is held, or
// unavailable; false when busy, after the bound or not waited for.
bool TakeInstallationLock(platform::InstallationLock& lock, bool wait, ICommonLog* log);

// Restores every listed file under `baseDirectory` (without its final
// separator) that needs it, logging to g_log. The caller holds the
// installation's lock: an update under way would otherwise be undone.
void RestoreMissingFiles(const std::string& baseDirectory, const TFileInfoList& files);
// The system's text for a file operation's error, without the line end and
// final full stop Windows puts after it.
std::string FileErrorText(int code);

// Downloads and swaps in every marked file; the number of files put in
// place, or -1 when a file-system query failed. A download that fails in
// passing is tried again. With an `observer`, each step is shown to it;
// when it cancels, the download under way stops, its ".new" goes, nothing
// further is installed and the result is kUpdateCancelled.
std::int32_t ApplyUpdates(std::string url, std::string waitApp, TFileInfoList files,
                          IUpdateObserver* observer = nullptr);
