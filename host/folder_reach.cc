// Whether the update runs can reach their folders through narrow texts.
#include "host/host.h"
#include "platform/module_path.h"
#include "platform/text_conversion.h"

namespace {

std::string Notice(const std::string& folder) {
  return "The updater cannot reach the folder \"" + folder +
         "\" under the system's code page for non-Unicode programs (" +
         platform::NarrowEncodingName() +
         "), which cannot write the folder's name. To update, set the language for non-Unicode "
         "programs to one whose code page can write this name, or use a folder with a plain name.";
}

}  // namespace

std::string UnreachableFolderNotice(const char16_t* waitApp) {
  if (!platform::NarrowCanName(platform::ModuleFileNativePath().parent_path())) {
    return Notice(GetModuleDirectory());
  }
  if (waitApp == nullptr) return std::string();
  // Only the folder counts: the probe and the apply use nothing else of it.
  std::size_t folderLength = 0;
  for (std::size_t i = 0; waitApp[i] != 0; ++i) {
    if (waitApp[i] == u'\\' || waitApp[i] == u'/') folderLength = i + 1;
  }
  bool exact = true;
  const std::string folder = platform::WideToNarrow(waitApp, folderLength, &exact);
  return exact ? std::string() : Notice(folder);
}
