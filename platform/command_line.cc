#include "platform/command_line.h"

namespace platform {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::vector<std::string> SplitFrom(const std::string& text, std::size_t position) {
  std::vector<std::string> arguments;
  const std::size_t end = text.size();
  for (;;) {
    while (position < end && IsBlank(text[position])) ++position;
    if (position >= end) return arguments;

    std::string argument;
    bool quoted = false;
    for (;;) {
      std::size_t backslashes = 0;
      while (position < end && text[position] == '\\') {
        ++backslashes;
        ++position;
      }
      bool copy = true;
      if (position < end && text[position] == '"') {
        if (backslashes % 2 == 0) {
          if (quoted && position + 1 < end && text[position + 1] == '"') {
            ++position;  // "" inside quotes: one literal quote
          } else {
            copy = false;
            quoted = !quoted;
          }
        }
        backslashes /= 2;
      }
      argument.append(backslashes, '\\');
      if (position >= end || (!quoted && IsBlank(text[position]))) break;
      if (copy) argument += text[position];
      ++position;
    }
    arguments.push_back(argument);
  }
}

}  // namespace

std::vector<std::string> SplitCommandLineArguments(const std::string& text) {
  return SplitFrom(text, 0);
}

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
  std::string program;
  bool quoted = false;
  std::size_t position = 0;
  for (; position < commandLine.size(); ++position) {
    const char c = commandLine[position];
    if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && IsBlank(c)) {
      break;
    } else {
      program += c;
    }
  }
  std::vector<std::string> arguments = SplitFrom(commandLine, position);
  arguments.insert(arguments.begin(), program);
  return arguments;
}

}  // namespace platform
