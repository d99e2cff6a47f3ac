#pragma once
// Process facts of the stand-in: the module file name and environment variables.

#include <optional>
#include <string>

namespace HA::OS {

// The executable's full path (UTF-8): /proc/self/exe, or the override a test set.
std::string moduleFileName();
// Replaces the module file name for tests; an empty text removes the override.
void setModuleFileNameOverride(const std::string& path);

std::optional<std::string> getEnvironmentVariable(const std::string& name);
// Sets or, with no value, removes a variable of this process.
void setEnvironmentVariable(const std::string& name, const std::optional<std::string>& value);

}  // namespace HA::OS
