#include "update/update.h"

std::int32_t DownloadFile(std::uint32_t* received, std::string*, const std::string&,
                          const std::string&) {
  if (received != nullptr) *received = 0;
  return 1;
}
std::string GetErrorText(std::int32_t) { return "Unknown error"; }
std::string ExtractFileName(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}
std::string ReadTextFile(const std::string&) { return std::string(); }
