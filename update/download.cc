// Fetching one file from the update server, and the small helpers its callers
// use around it.
#include <cstdio>
#include <cstring>
#include <exception>
#include <vector>

#include "platform/http.h"
#include "platform/system_error.h"
#include "update/update.h"

std::int32_t DownloadFile(std::uint32_t* received, std::string* responseText,
                          const std::string& url, const std::string& path) {
  return platform::DownloadUrlToFile(url, path, received, responseText);
}

std::string GetErrorText(std::int32_t code) {
  if (code >= platform::kHttpStatusErrorBase && code <= platform::kHttpStatusErrorLast) {
    return "The server answered with HTTP status " +
           std::to_string(code - platform::kHttpStatusErrorBase);
  }
  if (code == platform::kIncompleteBodyError) {
    return "The connection ended before the whole file was received";
  }
  std::string text = platform::InternetErrorText(code);
  if (text.empty()) text = platform::SystemErrorText(code);
  return text.empty() ? "Unknown error" : text;
}

std::string ExtractFileName(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ReadTextFile(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return std::string();
  std::string text;
  long size = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
  try {
    if (size >= 0 && std::fseek(file, 0, SEEK_SET) == 0) {
      std::vector<char> buffer(static_cast<std::size_t>(size) + 1, '\0');
      if (std::fread(buffer.data(), 1, static_cast<std::size_t>(size), file) ==
          static_cast<std::size_t>(size)) {
        text.assign(buffer.data(), std::strlen(buffer.data()));
      }
    }
  } catch (const std::exception&) {
    // A size too large to hold (a directory reports one) reads as a failure,
    // like any other.
    text.clear();
  }
  std::fclose(file);
  return text;
}
