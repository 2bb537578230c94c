// The command line of korvan-publish.
#include <cerrno>
#include <cstdlib>

#include "publisher/publisher.h"

namespace publisher {
namespace {

bool ParseNumber(const std::string& text, std::int32_t* number) {
  if (text.empty() || text.size() > 10) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  const long long value = std::strtoll(text.c_str(), nullptr, 10);
  if (value > INT32_MAX) return false;
  *number = static_cast<std::int32_t>(value);
  return true;
}

// NAME=VALUE, split at the first "=" (or the last one, for versions, whose
// values hold none).
bool SplitAssignment(const std::string& text, bool atLast, std::string* name, std::string* value) {
  const std::string::size_type equals = atLast ? text.rfind('=') : text.find('=');
  if (equals == std::string::npos || equals == 0) return false;
  *name = text.substr(0, equals);
  *value = text.substr(equals + 1);
  return true;
}

}  // namespace

bool ParseVersionTriple(const std::string& text, VersionTriple* triple) {
  const std::string::size_type first = text.find('.');
  if (first == std::string::npos) return false;
  const std::string::size_type second = text.find('.', first + 1);
  if (second == std::string::npos) return false;
  VersionTriple parsed;
  if (!ParseNumber(text.substr(0, first), &parsed.version) ||
      !ParseNumber(text.substr(first + 1, second - first - 1), &parsed.release) ||
      !ParseNumber(text.substr(second + 1), &parsed.build)) {
    return false;
  }
  *triple = parsed;
  return true;
}

std::string TripleText(const VersionTriple& triple) {
  return std::to_string(triple.version) + "." + std::to_string(triple.release) + "." +
         std::to_string(triple.build);
}

bool ParseArguments(const std::vector<std::string>& arguments, PublishOptions* options,
                    bool* helpRequested, std::string* error) {
  *helpRequested = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--help" || argument == "-h") {
      *helpRequested = true;
      return true;
    }
    if (argument.size() > 2 && argument.compare(0, 2, "--") == 0) {
      if (i + 1 >= arguments.size()) {
        *error = argument + " needs a value";
        return false;
      }
      const std::string& value = arguments[++i];
      std::string name;
      std::string text;
      if (argument == "--version") {
        VersionTriple triple;
        if (!SplitAssignment(value, true, &name, &text) || !ParseVersionTriple(text, &triple)) {
          *error = "--version takes NAME=V.R.B, not \"" + value + "\"";
          return false;
        }
        options->versions[name] = triple;
      } else if (argument == "--description") {
        if (!SplitAssignment(value, false, &name, &text)) {
          *error = "--description takes NAME=TEXT, not \"" + value + "\"";
          return false;
        }
        options->descriptions[name] = text;
      } else if (argument == "--previous") {
        options->previousManifest = value;
      } else if (argument == "--sign") {
        options->secretKeyFile = value;
      } else if (argument == "--expires") {
        // A hundred years at most: no date beyond what every clock can hold.
        if (!ParseNumber(value, &options->expiresDays) || options->expiresDays < 1 ||
            options->expiresDays > 36500) {
          *error = "--expires takes a number of days from 1 to 36500, not \"" + value + "\"";
          return false;
        }
      } else {
        *error = "unknown option " + argument;
        return false;
      }
    } else if (options->folder.empty()) {
      options->folder = argument;
    } else {
      *error = "one release folder only, not also \"" + argument + "\"";
      return false;
    }
  }
  if (options->folder.empty()) {
    *error = "the release folder is missing";
    return false;
  }
  if (options->expiresDays != 0 && options->secretKeyFile.empty()) {
    *error = "--expires needs --sign: only a signature carries the expiry";
    return false;
  }
  return true;
}

}  // namespace publisher
