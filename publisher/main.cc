// korvan-publish FOLDER [--version NAME=V.R.B]... [--description NAME=TEXT]...
//                [--previous OLD_MANIFEST] [--sign SECRET_KEY_FILE [--expires DAYS]]
#include <exception>
#include <fstream>
#include <iostream>

#include "platform/module_path.h"
#include "platform/process.h"
#include "publisher/publisher.h"

namespace {

const char kUsage[] =
    "usage: korvan-publish FOLDER [--version NAME=V.R.B]... [--description NAME=TEXT]...\n"
    "                      [--previous OLD_MANIFEST] [--sign SECRET_KEY_FILE [--expires DAYS]]\n"
    "\n"
    "Writes FOLDER/updateinfo.txt with one record for every file directly in FOLDER:\n"
    "its name, version, size, sha1 and sha256. A library's version is read from the\n"
    "library itself, as the updater reads it; other files need --version. Refuses\n"
    "(exit 1, updateinfo.txt untouched) names that differ only in letter case, names\n"
    "a URL cannot carry as they are, unknown versions and versions lower than in\n"
    "--previous. --sign runs minisign, producing updateinfo.txt.minisig; with\n"
    "--expires the updater refuses the release DAYS days after signing, so that a\n"
    "server kept from updating is noticed: publish and sign again before then.\n";

// The helper mode the Linux build runs a Windows build in under Wine:
// --read-version LIBRARY ANSWER_FILE writes "V.R.B" to ANSWER_FILE.
int ReadVersionForAnotherBuild(const std::string& library, const std::string& answer) {
  publisher::VersionTriple triple;
  if (!publisher::ProbeLibraryVersion(library, &triple)) return 1;
  std::ofstream file(answer, std::ios::trunc);
  file << publisher::TripleText(triple) << "\n";
  return file ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const std::vector<std::string> arguments = platform::ProgramArguments(argc, argv);
    if (arguments.size() == 3 && arguments[0] == "--read-version") {
      return ReadVersionForAnotherBuild(arguments[1], arguments[2]);
    }
    publisher::PublishOptions options;
    bool help = false;
    std::string error;
    if (!publisher::ParseArguments(arguments, &options, &help, &error)) {
      std::cerr << "korvan-publish: " << error << "\n\n" << kUsage;
      return 2;
    }
    if (help) {
      std::cout << kUsage;
      return 0;
    }
    publisher::ProbingVersionReader reader(platform::ExecutableFilePath());
    return publisher::Publish(options, reader, std::cout, std::cerr);
  } catch (const std::exception& exception) {
    std::cerr << "korvan-publish: " << exception.what() << "\n";
    return 1;
  }
}
