#pragma once
// A fresh folder for a test's files, removed with everything in it afterwards.

#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "os/kernel/Text.h"
#include "os/kernel/Types.h"

namespace HA::GP::TEST {

class TempFolder {
public:
    TempFolder()
    {
        static int serial = 0;
        mPath = std::filesystem::temp_directory_path() /
                ("ha-gp-" + std::to_string(::getpid()) + "-" + std::to_string(++serial));
        std::filesystem::create_directories(mPath);
    }
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(mPath, ignored);
    }
    std::string path(const std::string& name) const { return (mPath / name).string(); }
    OS::WString wpath(const std::string& name) const { return OS::utf8ToUtf16(path(name)); }
    void write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(path(name), std::ios::binary) << bytes;
    }
    std::string contents(const std::string& name) const
    {
        std::ifstream in(path(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    std::filesystem::path mPath;
};

}  // namespace HA::GP::TEST
