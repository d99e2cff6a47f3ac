#include "os/shell/Shell.h"

#include <mutex>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace HA::OS {

namespace {

struct ShellState {
    std::mutex mutex;
    std::vector<ShellOpenRecord> records;
    bool scripted = false;
    std::intptr_t result = 42;
};

ShellState& state()
{
    static auto* s = new ShellState;
    return *s;
}

// Starts the desktop's opener; a detached thread reaps it so that no zombie is left.
std::intptr_t startOpener(const std::string& file)
{
    pid_t pid = 0;
    char* argv[] = {const_cast<char*>("xdg-open"), const_cast<char*>(file.c_str()), nullptr};
    if (::posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv, environ) != 0)
        return SE_ERR_NOASSOC;
    std::thread([pid] {
        int status = 0;
        ::waitpid(pid, &status, 0);
    }).detach();
    return 42;
}

}  // namespace

std::intptr_t shellExecuteA(const char* verb, const char* file, const char* parameters, const char* directory,
                            int show)
{
    ShellState& s = state();
    ShellOpenRecord record{verb ? verb : "", file ? file : "", parameters ? parameters : "",
                           directory ? directory : "", show};
    bool scripted;
    std::intptr_t result;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.records.push_back(record);
        scripted = s.scripted;
        result = s.result;
    }
    if (scripted)
        return result;
    if (record.file.empty())
        return SE_ERR_FNF;
    return startOpener(record.file);
}

std::vector<ShellOpenRecord> shellOpenRecords()
{
    std::lock_guard<std::mutex> lock(state().mutex);
    return state().records;
}

void clearShellOpenRecords()
{
    std::lock_guard<std::mutex> lock(state().mutex);
    state().records.clear();
}

ShellOpenScope::ShellOpenScope(std::intptr_t result)
{
    std::lock_guard<std::mutex> lock(state().mutex);
    mPrevious = state().result;
    mHadPrevious = state().scripted;
    state().result = result;
    state().scripted = true;
}

ShellOpenScope::~ShellOpenScope()
{
    std::lock_guard<std::mutex> lock(state().mutex);
    state().result = mPrevious;
    state().scripted = mHadPrevious;
}

}  // namespace HA::OS
