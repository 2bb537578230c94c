// Paths in the system's own spelling. The library's texts are narrow (the
// ANSI code page on Windows), and a narrow text cannot name every folder; the
// system's own spelling (UTF-16 on Windows, bytes elsewhere) can.
#pragma once

#include <filesystem>
#include <string>

namespace platform {

using NativePath = std::filesystem::path;

// The path a narrow text names. Never build a NativePath from a narrow
// std::string directly: the standard library would not read it in the ANSI
// code page on Windows.
NativePath NativePathOf(const std::string& narrow);

// Whether the narrow encoding writes `path` exactly, so that its narrow text
// names this very path and no other. The ANSI code page cannot write every
// name; UTF-8 can.
bool NarrowCanName(const NativePath& path);

}  // namespace platform
