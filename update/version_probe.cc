#include <cctype>
#include <cstdint>
#include <string>

#include "platform/api.h"
#include "platform/dynamic_library.h"
#include "platform/path.h"
#include "update/update.h"

namespace {

// The version functions a probed library may export.
using GetVersionInfoFunction = void(KORVAN_CALL*)(std::int32_t* version, std::int32_t* release,
                                                  std::int32_t* build);
using GetVersionInfo1Function = std::int32_t(KORVAN_CALL*)(std::int32_t* version,
                                                           std::int32_t* release,
                                                           std::int32_t* build);

// The extension (dot included) as a path split into fixed-size buffers yields
// it: a directory part or a file name too long for its buffer, or an
// over-long extension, yields none.
std::string BoundedExtension(const std::string& path) {
  constexpr std::string::size_type kMaxDirectory = 254;
  constexpr std::string::size_type kMaxFileName = 254;
  constexpr std::string::size_type kMaxExtension = 63;

  const std::string::size_type driveEnd = path.size() >= 2 && path[1] == ':' ? 2 : 0;
  const std::string::size_type lastSeparator = path.find_last_of("/\\");
  std::string::size_type nameStart = driveEnd;
  if (lastSeparator != std::string::npos && lastSeparator + 1 > driveEnd) {
    nameStart = lastSeparator + 1;
  }
  std::string::size_type dot = path.rfind('.');
  if (dot == std::string::npos || dot < nameStart) dot = path.size();

  if (nameStart - driveEnd > kMaxDirectory || dot - nameStart > kMaxFileName ||
      path.size() - dot > kMaxExtension) {
    return std::string();
  }
  return path.substr(dot);
}

bool EqualsIgnoringCase(const std::string& left, const std::string& right) {
  if (left.size() != right.size()) return false;
  for (std::string::size_type i = 0; i < left.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(left[i])) !=
        std::tolower(static_cast<unsigned char>(right[i]))) {
      return false;
    }
  }
  return true;
}

// ".DLL" in any letter case, and the platform's own library extension (".so"
// where libraries carry that one).
bool IsLibraryExtension(const std::string& extension) {
  return EqualsIgnoringCase(extension, ".DLL") ||
         EqualsIgnoringCase(extension, platform::kNativeLibraryExtension);
}

}  // namespace

bool GetLocalFileVersion(TFileInfo& file, const std::string& waitApp) {
  const std::string directory = platform::DirectoryOf(waitApp);
  // Without a directory part the name alone would be the path, and a name
  // that starts with a separator would reach the file-system root.
  if (directory.empty()) return false;
  // The listed names bring their own separator.
  const std::string path = directory.substr(0, directory.size() - 1) + file.name;

  if (!IsLibraryExtension(BoundedExtension(path))) return false;

  const platform::LibraryHandle library = platform::LoadDynamicLibrary(path);
  if (library == nullptr) return false;

  const auto getVersionInfo1 = reinterpret_cast<GetVersionInfo1Function>(
      platform::FindExport(library, "extGetVersionInfo1"));
  const auto getVersionInfo =
      reinterpret_cast<GetVersionInfoFunction>(platform::FindExport(library, "extGetVersionInfo"));
  if (getVersionInfo == nullptr && getVersionInfo1 == nullptr) {
    platform::FreeDynamicLibrary(library);
    return false;
  }

  std::int32_t version = 0;
  std::int32_t release = 0;
  std::int32_t build = 0;
  if (getVersionInfo != nullptr) {
    getVersionInfo(&version, &release, &build);
  } else if (getVersionInfo1(&version, &release, &build) == 0) {
    platform::FreeDynamicLibrary(library);
    return false;
  }
  // Released first: the values are plain integers that outlive the library.
  platform::FreeDynamicLibrary(library);
  file.version = version;
  file.release = release;
  file.build = build;
  return true;
}
