// The single-instance hand-over between two real processes of the probe program.

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "gp/src/common/files/FilePath.h"

extern char** environ;

namespace {

class Probe {
public:
    // With `errorsToo` its standard error comes into the same lines.
    Probe(const std::string& mode, const std::string& key, const std::string& runtime,
          const std::vector<std::string>& args = {}, bool errorsToo = false)
    {
        int out[2];
        if (::pipe(out) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        if (errorsToo)
            posix_spawn_file_actions_adddup2(&actions, out[1], 2);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        std::vector<std::string> env = {"PROBE_MODE=" + mode, "PROBE_KEY=" + key, "XDG_RUNTIME_DIR=" + runtime};
        for (char** e = environ; *e; ++e)
            if (std::string(*e).rfind("XDG_RUNTIME_DIR=", 0) != 0)
                env.emplace_back(*e);
        std::vector<char*> envp;
        for (auto& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        std::vector<std::string> argStrings = {HA_INSTANCE_PROBE};
        argStrings.insert(argStrings.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : argStrings)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&mPid, HA_INSTANCE_PROBE, &actions, nullptr, argv.data(), envp.data()) != 0)
            mPid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        mOut = out[0];
    }
    ~Probe()
    {
        if (mPid > 0 && !mExited) {
            ::kill(mPid, SIGKILL);
            ::waitpid(mPid, nullptr, 0);
        }
        if (mOut >= 0)
            ::close(mOut);
    }

    // The next line of its output, empty after 20 s or at its end.
    std::string line()
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        for (;;) {
            const auto end = mBuffer.find('\n');
            if (end != std::string::npos) {
                std::string l = mBuffer.substr(0, end);
                mBuffer.erase(0, end + 1);
                return l;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return std::string();
            pollfd p{mOut, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0)
                return std::string();
            char chunk[256];
            const ssize_t n = ::read(mOut, chunk, sizeof(chunk));
            if (n <= 0)
                return std::string();
            mBuffer.append(chunk, static_cast<std::size_t>(n));
        }
    }

    int exitCode()
    {
        int status = 0;
        if (::waitpid(mPid, &status, 0) != mPid)
            return -1;
        mExited = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    bool started() const { return mPid > 0; }

private:
    pid_t mPid = -1;
    int mOut = -1;
    bool mExited = false;
    std::string mBuffer;
};

class TempFolder {
public:
    TempFolder()
    {
        char name[] = "/tmp/ha-probe-XXXXXX";
        mPath = ::mkdtemp(name);
    }
    ~TempFolder()
    {
        const std::string command = "rm -rf '" + mPath + "'";
        [[maybe_unused]] int r = std::system(command.c_str());
    }
    const std::string& path() const { return mPath; }

private:
    std::string mPath;
};

}  // namespace

TEST(InstanceProcesses, ASecondStartHandsItsPathToTheFirst)
{
    TempFolder runtime;
    TempFolder files;
    const std::string file = files.path() + "/new firmware.bin";
    std::ofstream(file) << "x";
    Probe first("first", "probe-key", runtime.path());
    ASSERT_TRUE(first.started());
    ASSERT_EQ(first.line(), "claimed");
    Probe second("second", "probe-key", runtime.path(), {file});
    EXPECT_EQ(second.line(), "handed-over 1");
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.line(), "path " + HA::GP::FilePath(file).getFull());
    EXPECT_EQ(first.line(), "raised");
    EXPECT_EQ(first.exitCode(), 0);
}

TEST(InstanceProcesses, AHolderThatDiedLeavesASocketTheNextStartTakesOver)
{
    TempFolder runtime;
    {
        Probe dying("die", "probe-key", runtime.path());
        ASSERT_EQ(dying.line(), "claimed");
        EXPECT_EQ(dying.exitCode(), 0);
    }
    Probe first("first", "probe-key", runtime.path());
    ASSERT_EQ(first.line(), "claimed");
    Probe second("second", "probe-key", runtime.path());
    EXPECT_EQ(second.line(), "handed-over 1");
    EXPECT_EQ(first.line(), "raised");
    EXPECT_EQ(first.exitCode(), 0);
}

// Sets an environment variable for its life; the probes started meanwhile inherit it.
class VariableScope {
public:
    VariableScope(const char* name, const std::string& value) : mName(name) { ::setenv(name, value.c_str(), 1); }
    ~VariableScope() { ::unsetenv(mName.c_str()); }

private:
    std::string mName;
};

// The first instance quits while its shut-down still runs: a second start does not hand over
// to it, says why, and waits the time it was told plus a margin; it runs as the first
// instance when the first ends in that time, and ends otherwise.
TEST(InstanceProcesses, AStartWhileTheFirstIsEndingWaitsForItsEnd)
{
    struct Row {
        const char* name;
        int endsMs;    // what the first tells
        int lingerMs;  // how long it really takes
        std::vector<std::string> second;
    };
    const Row rows[] = {
        {"it ends in time", 1000, 1500,
         {"Probe: an earlier run is still finishing its update; waiting up to 6 s for it to end", "handed-over 0"}},
        {"it does not", 0, 15000,
         {"Probe: an earlier run is still finishing its update; waiting up to 5 s for it to end",
          "Probe: the earlier run did not end in that time; this start ends", "handed-over 1"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempFolder runtime;
        VariableScope ends("PROBE_ENDS_MS", std::to_string(row.endsMs));
        VariableScope linger("PROBE_LINGER_MS", std::to_string(row.lingerMs));
        Probe first("ending", "probe-key", runtime.path());
        ASSERT_EQ(first.line(), "claimed");
        ASSERT_EQ(first.line(), "ending");
        Probe second("second", "probe-key", runtime.path(), {}, true);
        for (const std::string& line : row.second)
            EXPECT_EQ(second.line(), line);
        EXPECT_EQ(second.exitCode(), 0);
        if (row.lingerMs < row.endsMs + 5000) {
            EXPECT_EQ(first.line(), "ended") << "the second ran only once the first had ended";
        }
    }
}
