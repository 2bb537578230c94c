// The times a signed manifest's trusted comment gives: it must be no older
// than the newest manifest accepted before from its address with its key,
// so that a replayed old release is refused, and it must not have expired,
// so that a withheld release is noticed.
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>

#include "log/common_log.h"
#include "platform/clock.h"
#include "update/kept_files.h"
#include "update/update.h"

namespace {

// A field of a trusted comment: "name:value" between blanks, as minisign
// writes "timestamp:<unix seconds>".
struct TimeField {
  bool present = false;
  bool valid = false;
  std::int64_t seconds = 0;
};

TimeField FindTimeField(const std::string& comment, const std::string& name) {
  TimeField field;
  const std::string prefix = name + ":";
  const char* blanks = " \t";
  std::string::size_type start = comment.find_first_not_of(blanks);
  while (start != std::string::npos) {
    std::string::size_type end = comment.find_first_of(blanks, start);
    if (end == std::string::npos) end = comment.size();
    if (comment.compare(start, prefix.size(), prefix) == 0) {
      const std::string digits = comment.substr(start + prefix.size(), end - start - prefix.size());
      field.present = true;
      // Up to 18 digits: no overflow, and far beyond any date.
      field.valid = !digits.empty() && digits.size() <= 18 &&
                    digits.find_first_not_of("0123456789") == std::string::npos;
      if (field.valid) field.seconds = std::stoll(digits);
      // The first such field counts, as in minisign's own reading.
      return field;
    }
    start = comment.find_first_not_of(blanks, end);
  }
  return field;
}

// The local date and time of `seconds`, as the user reads it.
std::string DateText(std::int64_t seconds) {
  std::tm local{};
  char text[32] = {};
  if (!platform::ToLocalTime(static_cast<std::time_t>(seconds), &local) ||
      std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local) == 0) {
    return "unix time " + std::to_string(seconds);
  }
  return text;
}

// The newest timestamps accepted, one per address and key:
// {"Releases": [{"url": ..., "keyId": ..., "timestamp": ...}, ...]}.
class AcceptedReleases {
 public:
  AcceptedReleases(std::string url, std::string keyId)
      : path_(KeptFilePath(kAcceptedReleasesName)),
        url_(std::move(url)),
        keyId_(std::move(keyId)) {}

  // The entry of this address and key in a freshly read document; null when
  // there is none.
  Json::Value* Find(Json::Value& document) const {
    Json::Value& releases = document["Releases"];
    if (!releases.isArray()) releases = Json::Value(Json::arrayValue);
    for (Json::Value& release : releases) {
      if (release.isObject() && release["url"] == url_ && release["keyId"] == keyId_)
        return &release;
    }
    return nullptr;
  }

  // The newest timestamp accepted before; false when none was.
  bool Newest(std::int64_t* seconds) const {
    Json::Value document = ReadKeptFile(path_);
    const Json::Value* release = Find(document);
    if (release == nullptr || !(*release)["timestamp"].isInt64()) return false;
    *seconds = (*release)["timestamp"].asInt64();
    return true;
  }

  void Remember(std::int64_t seconds) const {
    if (path_.empty()) return;
    // Read again just before the write: another process may have added its
    // own address since.
    Json::Value document = ReadKeptFile(path_);
    if (document.isNull()) document = Json::Value(Json::objectValue);
    Json::Value* release = Find(document);
    if (release != nullptr && (*release)["timestamp"].isInt64() &&
        (*release)["timestamp"].asInt64() >= seconds) {
      return;
    }
    if (release == nullptr) {
      Json::Value added(Json::objectValue);
      added["url"] = url_;
      added["keyId"] = keyId_;
      release = &document["Releases"].append(added);
    }
    (*release)["timestamp"] = Json::Int64(seconds);
    std::string error;
    const std::shared_ptr<ICommonLog> log = g_log;
    if (!WriteKeptFile(path_, document, &error) && log) {
      log->Write(kLogLevel, "The accepted release time was not kept: %s", error.c_str());
    }
  }

 private:
  std::string path_, url_, keyId_;
};

}  // namespace

std::string CheckReleaseTimes(const std::string& url, const std::string& keyId,
                              const std::string& trustedComment, bool* expired) {
  *expired = false;
  const TimeField expires = FindTimeField(trustedComment, "expires");
  if (expires.present && !expires.valid) return "the trusted comment's expiry is not a time";
  if (expires.present && platform::Now() > expires.seconds) {
    *expired = true;
    return "the release information expired on " + DateText(expires.seconds) +
           "; the vendor must sign it again";
  }
  const TimeField timestamp = FindTimeField(trustedComment, "timestamp");
  if (timestamp.present && !timestamp.valid) return "the trusted comment's timestamp is not a time";
  // Without a timestamp there is nothing to compare; minisign always writes
  // one unless the vendor replaced the comment.
  if (!timestamp.present) return std::string();
  const AcceptedReleases accepted(url, keyId);
  std::int64_t newest = 0;
  if (accepted.Newest(&newest) && timestamp.seconds < newest) {
    return "the manifest is older than one accepted before (signed " + DateText(timestamp.seconds) +
           ", accepted one signed " + DateText(newest) + ")";
  }
  accepted.Remember(timestamp.seconds);
  return std::string();
}
