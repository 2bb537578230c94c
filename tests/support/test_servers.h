// The loopback HTTP servers that ctest starts for the tests: nginx serving
// static files from a folder, and the control server whose answers the path
// chooses (tests/servers/control_server.py).
#pragma once

#include <cstddef>
#include <string>

namespace test {

// "http://127.0.0.1:<port>" of each server.
std::string NginxBase();
std::string ControlBase();
// "https://127.0.0.1:<port>" of nginx serving the same files with a
// self-signed certificate that no client trusts.
std::string UntrustedHttpsBase();

// The path, in this process's spelling, of a file that nginx serves as
// NginxBase() + "/" + name.
std::string ServedFilePath(const std::string& name);

// A folder of files that nginx serves, named for the running test, gone with
// the object.
class ServedFolder {
 public:
  ServedFolder();
  ~ServedFolder();
  ServedFolder(const ServedFolder&) = delete;
  ServedFolder& operator=(const ServedFolder&) = delete;

  const std::string& name() const { return name_; }
  std::string url() const { return NginxBase() + "/" + name_; }
  // Places `file` in the folder with `content`; its address.
  std::string Put(const std::string& file, const std::string& content) const;

 private:
  std::string name_;
};

// `length` bytes of the control server's pattern, from its first byte.
std::string PatternBytes(std::size_t length);

// A name unique to the running test in this process, for files shared with
// the servers.
std::string UniqueName(const std::string& suffix);

}  // namespace test
