#pragma once
// The process's command line as one UTF-16 text, as the platform keeps it, and its split
// into arguments with the platform's rules. The process entry hands main's arguments over;
// without that the text is made from /proc/self/cmdline. Tests set a text of their own.

#include <vector>

#include "os/kernel/Types.h"

namespace HA::OS {

// Makes the command line from main's arguments, each quoted where the split needs it.
void setCommandLine(int argc, const char* const* argv);
// Replaces the command line (tests); an empty text returns to the process's own.
void setCommandLineText(const WString& text);
WString getCommandLine();

// Splits a command line: the program name first (up to the first space or tab, or within
// quotes), then arguments separated by spaces and tabs, where quotes group and 2n
// backslashes before a quote give n backslashes (the quote groups) and 2n + 1 give n and a
// literal quote; other backslashes are literal.
std::vector<WString> commandLineToArgv(const WString& commandLine);

}  // namespace HA::OS
