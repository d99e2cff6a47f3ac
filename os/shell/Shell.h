#pragma once
// The shell's open call. Every call is recorded. In a real run the stand-in hands the
// file or address to the desktop's opener (xdg-open) without waiting for it; while a
// ShellOpenScope lives nothing is started and the scope's result is returned.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "os/kernel/Types.h"
#include "os/windows/Window.h"

namespace HA::OS {

// Results of ShellExecuteA that are not success (success is above 32).
constexpr std::intptr_t SE_ERR_FNF = 2;
constexpr std::intptr_t SE_ERR_NOASSOC = 31;

struct ShellOpenRecord {
    std::string verb;  // empty: the default verb
    std::string file;
    std::string parameters;
    std::string directory;
    int show;
};

// ShellExecuteA without an owner window: null verb, parameters or directory are absent;
// `show` is a show command (SW_SHOWNORMAL, ...).
// Returns a value above 32 on success, else an error value.
std::intptr_t shellExecuteA(const char* verb, const char* file, const char* parameters, const char* directory,
                            int show);

// Every call since the process started or the last clearShellOpenRecords().
std::vector<ShellOpenRecord> shellOpenRecords();
void clearShellOpenRecords();

// Answers every shell call of its life with `result` instead of starting anything.
class ShellOpenScope {
public:
    explicit ShellOpenScope(std::intptr_t result = 42);
    ~ShellOpenScope();
    ShellOpenScope(const ShellOpenScope&) = delete;
    ShellOpenScope& operator=(const ShellOpenScope&) = delete;

private:
    std::intptr_t mPrevious;
    bool mHadPrevious;
};

}  // namespace HA::OS
