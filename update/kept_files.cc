#include "update/kept_files.h"

#include <cstdio>
#include <exception>
#include <memory>

#include "log/common_log.h"
#include "platform/file_system.h"
#include "platform/path.h"
#include "platform/system_error.h"
#include "platform/temp_files.h"
#include "update/update.h"

namespace {

// Far more than the updater ever writes: a larger file is no file of ours.
constexpr std::size_t kMaxKeptFileSize = 4 * 1024 * 1024;

}  // namespace

std::string KeptFilePath(const std::string& name) {
  const std::shared_ptr<ICommonLog> log = g_log;
  if (!log || log->folder().empty()) return std::string();
  return log->folder() + name;
}

Json::Value ReadKeptFile(const std::string& path) {
  std::string text;
  if (path.empty() || !ReadFileUpTo(path, kMaxKeptFileSize, &text)) return Json::Value();
  try {
    Json::Reader reader(Json::Features::strictMode());
    Json::Value root;
    if (reader.parse(text, root, false) && root.isObject()) return root;
  } catch (const std::exception&) {
    // Too deep or too large to read: rebuilt like any other damage.
  }
  return Json::Value();
}

bool WriteKeptFile(const std::string& path, const Json::Value& document, std::string* error) {
  Json::StreamWriterBuilder builder;
  builder["indentation"] = " ";
  const std::string text = Json::writeString(builder, document) + "\n";
  // A name of its own: the terminal and the companion may write at once.
  const std::string temporary = platform::CreateTemporaryFile(platform::DirectoryOf(path), "kvn");
  if (temporary.empty()) {
    *error = "no temporary file beside " + path + ": " + FileErrorText(platform::LastError());
    return false;
  }
  bool written = false;
  if (std::FILE* file = std::fopen(temporary.c_str(), "wb")) {
    written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    written = std::fclose(file) == 0 && written;
  }
  int code = written ? platform::FlushFileToDisk(temporary) : 0;
  if (written && code == 0) code = platform::MovePathReplacing(temporary, path);
  if (written && code == 0) return true;
  *error = written ? "cannot put " + temporary + " in place of " + path + ": " + FileErrorText(code)
                   : "cannot write " + temporary;
  platform::RemovePath(temporary);
  return false;
}
