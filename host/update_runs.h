// The two update runs behind the update exports, and the launcher's check of
// the companion's command line.
#pragma once

#include <cstdint>
#include <string>

#include "update/update.h"

// The check run of XCheckForUpdates: 1 with `out` filled when at least one
// listed file has a newer version on the server, otherwise 0.
std::int32_t DoCheckForUpdates(const std::string& url, const std::string& waitApp,
                               const std::string& files, TFileInfoList& out);

// The process run of XUpdaterProcess, in the companion's process: the number
// of files updated, 0 when nothing needed it, -2 after an exception, -3 when
// nothing could be updated.
std::int32_t DoUpdaterProcess(const char* url, const char* waitApp, const char* files,
                              std::uint32_t hostProcessId);

// The companion's parameter text " -u \"url\" -a \"waitApp\" -f \"files\" -p
// \"id\"", or false when it does not fit in its 4096-byte buffer.
bool FormatUpdaterParameters(const std::string& url, const std::string& waitApp,
                             const std::string& files, std::uint32_t processId,
                             std::string* parameters);

// Nothing is escaped on the way into the parameter text, so a value ending
// in a backslash or holding a stray quote would reach the companion changed
// or split. Empty when the text splits into exactly -u, -a, -f and -p with
// `url`, `waitApp`, `files` with its escaped quotes made plain, and the id;
// otherwise why not.
std::string CheckUpdaterParameters(const std::string& parameters, const std::string& url,
                                   const std::string& waitApp, const std::string& files,
                                   std::uint32_t processId);
