// GetErrorText: the words for a download's or the system's error code.
#include "platform/http.h"
#include "platform/system_error.h"
#include "update/update.h"

std::string GetErrorText(std::int32_t code) {
  if (code >= platform::kHttpStatusErrorBase && code <= platform::kHttpStatusErrorLast) {
    return "The server answered with HTTP status " +
           std::to_string(code - platform::kHttpStatusErrorBase);
  }
  if (code == platform::kIncompleteBodyError) {
    return "The connection ended before the whole file was received";
  }
  if (code == kManifestMismatchError) return "The file does not match the manifest";
  if (code == platform::kCancelledError) return "The update was cancelled by the user";
  std::string text = platform::InternetErrorText(code);
  if (text.empty()) text = platform::SystemErrorText(code);
  return text.empty() ? "Unknown error" : text;
}
