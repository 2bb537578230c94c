// Splitting a command line into arguments by the rules of the Windows C
// runtime, on every platform: the companion's arguments must split the same
// way wherever it runs, and the launcher checks them before it starts it.
#pragma once

#include <string>
#include <vector>

namespace platform {

// The arguments of a text that holds no program name: blanks and tabs
// separate arguments outside double quotes; 2n backslashes before a quote
// give n backslashes and the quote opens or closes a quoted part; 2n+1
// backslashes before a quote give n backslashes and a literal quote;
// backslashes before anything else are literal; inside a quoted part, two
// quotes in a row give one literal quote.
std::vector<std::string> SplitCommandLineArguments(const std::string& text);

// A whole command line: the program name first (quotes group it, backslashes
// are literal), then the arguments as above.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

}  // namespace platform
