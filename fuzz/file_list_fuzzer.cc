// Any text may arrive as a manifest or as the host's files argument: reading
// it must never crash, leak or let an exception out, and must only append.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "update/update.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  TFileInfoList list(1);
  list[0].name = "kept";
  const std::int32_t appended = ParseFileInfoList(list, text);
  if (appended < 0 || static_cast<std::size_t>(appended) != list.size() - 1) std::abort();
  if (list[0].name != "kept") std::abort();
  for (std::size_t i = 1; i < list.size(); ++i) {
    if (list[i].needsUpdate) std::abort();
  }
  return 0;
}
