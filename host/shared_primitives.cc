// The critical sections, flags and version text offered to every program in
// the process.
#include <cstdlib>
#include <cstring>

#include "host/host.h"
#include "host/shared_primitives.h"
#include "platform/critical_section.h"

namespace {

constexpr std::int32_t kSectionCount = 6;
constexpr std::int32_t kFlagCount = 10;
// The flags are guarded by the very section the host can enter as number 5.
constexpr std::int32_t kFlagSection = 5;
// The project version, from the build.
constexpr char kVersionText[] = KORVAN_VERSION_TEXT;

platform::CriticalSection SharedSections[kSectionCount];
std::int32_t SharedFlags[kFlagCount];

bool ValidSection(std::int32_t section) { return section >= 0 && section < kSectionCount; }
bool ValidFlag(std::int32_t flag) { return flag >= 0 && flag < kFlagCount; }

}  // namespace

void InitializeSharedPrimitives() {
  for (auto& section : SharedSections) section.Initialize();
  for (auto& flag : SharedFlags) flag = 0;
}

void DeleteSharedPrimitives() {
  for (auto& section : SharedSections) section.Delete();
}

KORVAN_API std::int32_t KORVAN_CALL extEnterCS(std::int32_t section) {
  if (!ValidSection(section)) return 0;
  SharedSections[section].Enter();
  return 1;
}

KORVAN_API std::int32_t KORVAN_CALL extTryEnterCS(std::int32_t section) {
  if (!ValidSection(section)) return 0;
  return SharedSections[section].TryEnter();
}

KORVAN_API std::int32_t KORVAN_CALL extLeaveCS(std::int32_t section) {
  if (!ValidSection(section)) return 0;
  return SharedSections[section].Leave() ? 1 : 0;
}

KORVAN_API void KORVAN_CALL extSetFlag(std::int32_t flag, std::int32_t value) {
  if (!ValidFlag(flag)) return;
  SharedSections[kFlagSection].Enter();
  SharedFlags[flag] = value;
  SharedSections[kFlagSection].Leave();
}

KORVAN_API std::int32_t KORVAN_CALL extGetFlag(std::int32_t flag) {
  if (!ValidFlag(flag)) return 0;
  SharedSections[kFlagSection].Enter();
  const std::int32_t value = SharedFlags[flag];
  SharedSections[kFlagSection].Leave();
  return value;
}

KORVAN_API char* KORVAN_CALL extGetVersion() {
  // A new buffer every call; the host owns it and nothing frees it.
  char* text = static_cast<char*>(std::malloc(sizeof kVersionText));
  if (text != nullptr) std::memcpy(text, kVersionText, sizeof kVersionText);
  return text;
}
