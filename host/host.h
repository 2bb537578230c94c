// The library's face to the terminal's programs: the exports, the library's
// start and stop, and the helpers the update runs share.
#pragma once

#include <cstdint>
#include <string>

#include "platform/api.h"

// The host's UTF-16 text as a narrow string; null gives the empty string.
std::string WideToAnsi(const char16_t* text);

// The library file's directory, ending with its separator.
std::string GetModuleDirectory();

// Narrow texts cannot name every folder: the ANSI code page substitutes what
// it cannot write, and the path then names another folder. Empty when the
// library's own folder (the companion's too) and the folder of `waitApp`
// survive the conversion; otherwise the sentence, for the log and a box, that
// says which folder the updater cannot reach and what the user can do.
std::string UnreachableFolderNotice(const char16_t* waitApp);

// Every occurrence of `pattern` (never empty) replaced; inserted text is not
// searched again.
std::string ReplaceAll(const std::string& subject, const std::string& pattern,
                       const std::string& replacement);

// The terminal's `files` text with its escaped quotes (\") made plain, as the
// check run and the launcher take it. The process run receives it from the
// companion's command line already plain, and does not unescape it again.
std::string UnescapeQuotes(const std::string& files);

KORVAN_API std::int32_t KORVAN_CALL XCheckForUpdates(const char16_t* url, const char16_t* waitApp,
                                                     const char16_t* files);
KORVAN_API std::int32_t KORVAN_CALL XLaunchUpdater(const char16_t* url, const char16_t* waitApp,
                                                   const char16_t* files);
KORVAN_API std::int32_t KORVAN_CALL XUpdaterProcess(const char* url, const char* waitApp,
                                                    const char* files, std::uint32_t hostProcessId);

KORVAN_API std::int32_t KORVAN_CALL extEnterCS(std::int32_t section);
KORVAN_API std::int32_t KORVAN_CALL extTryEnterCS(std::int32_t section);
KORVAN_API std::int32_t KORVAN_CALL extLeaveCS(std::int32_t section);
KORVAN_API void KORVAN_CALL extSetFlag(std::int32_t flag, std::int32_t value);
KORVAN_API std::int32_t KORVAN_CALL extGetFlag(std::int32_t flag);
KORVAN_API char* KORVAN_CALL extGetVersion();
