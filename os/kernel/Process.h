#pragma once
// Process facts of the stand-in: the module file name, environment variables and the end
// of the process.

#include <optional>
#include <string>

#include "os/kernel/Types.h"

namespace HA::OS {

// The executable's full path (UTF-8): /proc/self/exe, or the override a test set.
std::string moduleFileName();
// Replaces the module file name for tests; an empty text removes the override.
void setModuleFileNameOverride(const std::string& path);

std::optional<std::string> getEnvironmentVariable(const std::string& name);
// Sets or, with no value, removes a variable of this process.
void setEnvironmentVariable(const std::string& name, const std::optional<std::string>& value);

// Writes out what every C stream holds (the streams themselves close with the process).
void flushAllStreams();
// Ends the process at once with the exit code (ExitProcess without the DLL notifications):
// no static destructors or exit handlers run, other threads stop where they are.
[[noreturn]] void terminateProcess(UINT exitCode);

}  // namespace HA::OS
