#include "os/kernel/Process.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <unistd.h>

namespace HA::OS {

namespace {

std::mutex& processMutex()
{
    static std::mutex* m = new std::mutex;
    return *m;
}

std::string& moduleOverride()
{
    static std::string* s = new std::string;
    return *s;
}

}  // namespace

std::string moduleFileName()
{
    std::lock_guard<std::mutex> lock(processMutex());
    if (!moduleOverride().empty())
        return moduleOverride();
    std::string buffer(4096, '\0');
    ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n <= 0)
        return std::string();
    buffer.resize(static_cast<size_t>(n));
    return buffer;
}

void setModuleFileNameOverride(const std::string& path)
{
    std::lock_guard<std::mutex> lock(processMutex());
    moduleOverride() = path;
}

std::optional<std::string> getEnvironmentVariable(const std::string& name)
{
    std::lock_guard<std::mutex> lock(processMutex());
    const char* v = std::getenv(name.c_str());
    if (v == nullptr)
        return std::nullopt;
    return std::string(v);
}

void setEnvironmentVariable(const std::string& name, const std::optional<std::string>& value)
{
    std::lock_guard<std::mutex> lock(processMutex());
    if (value)
        ::setenv(name.c_str(), value->c_str(), 1);
    else
        ::unsetenv(name.c_str());
}

void flushAllStreams() { std::fflush(nullptr); }

void terminateProcess(UINT exitCode) { ::_exit(static_cast<int>(exitCode)); }

}  // namespace HA::OS
