#include "tests/support/test_servers.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>

#include "tests/support/test_support.h"

namespace test {
namespace {

std::string LoopbackBase(const char* portVariable) {
  const std::string port = Environment(portVariable);
  EXPECT_FALSE(port.empty()) << portVariable << " is not set: run the tests through ctest";
  return "http://127.0.0.1:" + port;
}

}  // namespace

std::string NginxBase() { return LoopbackBase("KORVAN_TEST_NGINX_PORT"); }
std::string ControlBase() { return LoopbackBase("KORVAN_TEST_CONTROL_PORT"); }

std::string UntrustedHttpsBase() {
  // tests/cmake/servers.cmake puts it on the nginx port + 3.
  const std::string port = Environment("KORVAN_TEST_NGINX_PORT");
  return "https://127.0.0.1:" + std::to_string(std::atoi(port.c_str()) + 3);
}

std::string ServedFilePath(const std::string& name) {
  const std::string folder = Environment("KORVAN_TEST_WWW");
  EXPECT_FALSE(folder.empty()) << "KORVAN_TEST_WWW is not set: run the tests through ctest";
  // Under Wine the build tree's Linux path lies on drive Z:.
  const std::string artifacts = ArtifactDirectory();
  const bool driveLetters = artifacts.size() > 1 && artifacts[1] == ':';
  return (driveLetters && !folder.empty() && folder[0] == '/' ? "Z:" : "") + folder + "/" + name;
}

ServedFolder::ServedFolder() : name_(UniqueName("served")) {
  std::filesystem::create_directories(ServedFilePath(name_));
}

ServedFolder::~ServedFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(ServedFilePath(name_), ignored);
}

std::string ServedFolder::Put(const std::string& file, const std::string& content) const {
  const std::string path = ServedFilePath(name_ + "/" + file);
  WriteFile(path, content);
  EXPECT_EQ(ReadFile(path).size(), content.size()) << path;
  return url() + "/" + file;
}

std::string PatternBytes(std::size_t length) {
  constexpr std::size_t kPeriod = 65521;
  std::string bytes(length, '\0');
  for (std::size_t i = 0; i < length; ++i) {
    const unsigned long long j = i % kPeriod;
    bytes[i] = static_cast<char>((j * j * 7 + j * 13 + 5) % 251);
  }
  return bytes;
}

std::string UniqueName(const std::string& suffix) {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = info != nullptr ? std::string(info->test_suite_name()) + "." + info->name()
                                     : std::string("test");
  // The same test may run in two processes at once (with other environments).
  static const std::string run = std::to_string(std::random_device()());
  return name + "-" + run + "-" + suffix;
}

}  // namespace test
