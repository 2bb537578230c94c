#include <cstdio>
#include <cstring>
#include <exception>
#include <vector>

#include "update/update.h"

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
