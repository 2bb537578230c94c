// Helpers for the tests of the update runs, the launcher and the companion.
#pragma once

#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace test {

// Points standard input at the null device, so that a program the test
// starts never waits for an answer from a terminal.
void DetachStandardInput();

// UTF-16 text for the exports that take the terminal's strings (ASCII only).
std::u16string Utf16(const std::string& text);

// The stand-in companion: installs it into `directory` under the real
// companion's name; it then exits with `exitBehaviour` ("5", "-3", "abort").
void InstallFakeCompanion(const std::string& directory, const std::string& exitBehaviour);
std::string FakeCompanionPath();
// The arguments the stand-in received when it last ran from `directory`;
// empty when it never ran.
std::vector<std::string> RecordedArguments(const std::string& directory);
bool FakeCompanionRan(const std::string& directory);

}  // namespace test
