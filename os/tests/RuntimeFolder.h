#pragma once
// A private runtime folder ($XDG_RUNTIME_DIR) of a test's own for the user's sockets, removed
// with everything in it at the end.

#include <cstdlib>
#include <optional>
#include <string>

#include "os/kernel/Process.h"

namespace HA::OS::Testing {

class RuntimeFolder {
public:
    RuntimeFolder()
    {
        char name[] = "/tmp/ha-marker-test-XXXXXX";
        mPath = ::mkdtemp(name);
        mPrevious = getEnvironmentVariable("XDG_RUNTIME_DIR");
        setEnvironmentVariable("XDG_RUNTIME_DIR", mPath);
    }
    ~RuntimeFolder()
    {
        setEnvironmentVariable("XDG_RUNTIME_DIR", mPrevious);
        std::string command = "rm -rf '" + mPath + "'";
        [[maybe_unused]] int r = std::system(command.c_str());
    }
    RuntimeFolder(const RuntimeFolder&) = delete;
    RuntimeFolder& operator=(const RuntimeFolder&) = delete;
    const std::string& path() const { return mPath; }

private:
    std::string mPath;
    std::optional<std::string> mPrevious;
};

}  // namespace HA::OS::Testing
