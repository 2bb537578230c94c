// Any bytes may arrive as a manifest's signature: checking them must never
// crash, leak or let an exception out, and only the committed signatures of
// the fixed manifest may pass.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "update/update.h"

namespace {

// A key made for this target alone; corpus/minisign holds its signatures of
// the manifest below ("prehashed" and "legacy").
const char kPublicKey[] = "RWQkgnvZLaQUQLJ5QccTOdwXlGywISXMmmZsnZsL2SrFd3/bUBPjwC2L";
const char kManifest[] = "{\"Files\": [{\"name\": \"Foo.dll\", \"version\": 2}]}\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string signature(reinterpret_cast<const char*>(data), size);
  std::string comment = "unset";
  const std::string refusal = CheckMinisignSignature(kPublicKey, signature, kManifest, &comment);
  // The comment is only given for a signature that verifies.
  if (refusal.empty() ? comment != "fuzz corpus" : comment != "unset") std::abort();
  return 0;
}
