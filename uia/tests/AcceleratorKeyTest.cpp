#include <gtest/gtest.h>

#include <functional>

#include "os/windows/Message.h"
#include "uia/app/AppModule.h"
#include "uia/app/Application.h"
#include "uia/tests/InputTestSupport.h"

using namespace HA;
using namespace HA::UIA;
using namespace HA::UIA::TEST;
namespace INPUT = HA::OS::INPUT;

namespace {

class AccelModule : public AppModule {
public:
    bool initialize() override { return true; }
    void deinitialize(bool) override { detachApplication(); }
};

class HostKindScope {
public:
    explicit HostKindScope(int kind) { DETAIL::setHostKind(kind); }
    ~HostKindScope() { DETAIL::setHostKind(0); }
};

constexpr int kControlScan = 0x1D;
constexpr int kAScan = 0x1E;
constexpr int kBScan = 0x30;
constexpr int kF5Scan = 0x3F;

// Keys typed into a focused window of an application with an accelerator table.
class AcceleratorKeys : public InputWindowTest {
protected:
    void SetUp() override
    {
        InputWindowTest::SetUp();
        app = new Application;
        ASSERT_TRUE(module.attachApplication(app));
        app->getAccelerators().add(0x20000041, 100);  // Control+A
        app->getAccelerators().add(0x10005, 101);     // F5
        app->getAccelerators().add(0x42, 102);        // B without Control: never looked up
    }
    void TearDown() override
    {
        InputWindowTest::TearDown();
        module.detachApplication();
    }

    AccelModule module;
    Application* app = nullptr;
};

TEST_F(AcceleratorKeys, KeysLeftToTheAcceleratorsBecomeCommandsOnlyForHostKindOne)
{
    struct Row {
        const char* name;
        int hostKind;
        bool keyDownHandled;  // the window takes the key-down event itself
        bool commandHandled;
        std::function<void()> keys;
        std::vector<int> commands;  // in the order sent
        int chars = 0;
    };
    auto controlA = [] {
        INPUT::key(kControlScan, true);
        INPUT::tap(kAScan);
        INPUT::key(kControlScan, false);
    };
    const Row rows[] = {
        {"Control+A, host kind 0: never looked up", 0, false, true, controlA, {}},
        {"Control+A, taken at its key down", 1, false, true, controlA, {100}},
        {"Control+A, its command not taken: the character asks again", 1, false, false, controlA, {100, 100}},
        {"Control+A, the key-down event taken: no look-up", 1, true, true, controlA, {}},
        {"F5, a function key without Control", 1, false, true, [] { INPUT::tap(kF5Scan); }, {101}},
        {"B without Control: typed, never looked up", 1, false, true, [] { INPUT::tap(kBScan); }, {}, 1},
    };
    for (const Row& r : rows) {
        HostKindScope host(r.hostKind);
        RecordingWindow& w = open();
        std::vector<int> commands;
        int chars = 0;
        w.handler = [&](RecordingWindow&, int code, void* data) -> std::optional<bool> {
            if (code == kEventCommand) {
                commands.push_back(static_cast<CommandEventData*>(data)->id);
                return r.commandHandled;
            }
            if (code == kEventChar)
                ++chars;
            if (code == kEventKeyDown && r.keyDownHandled)
                return true;
            return std::nullopt;
        };
        r.keys();
        OS::pumpMessages();
        EXPECT_EQ(commands, r.commands) << r.name;
        EXPECT_EQ(chars, r.chars) << r.name;
        w.handler = nullptr;
        windows.clear();
        OS::INPUT::reset();
    }
}

TEST_F(AcceleratorKeys, AHandledCommandAnswersTheKeyDownAndClearsThePendingKey)
{
    HostKindScope host(1);
    RecordingWindow& w = open();
    std::vector<int> commands;
    w.handler = [&](RecordingWindow&, int code, void* data) -> std::optional<bool> {
        if (code != kEventCommand)
            return std::nullopt;
        commands.push_back(static_cast<CommandEventData*>(data)->id);
        return true;
    };
    // Control held through the platform's key state, the key down sent straight to the
    // window: the answer is 0 and the character that follows finds no pending key.
    INPUT::key(kControlScan, true);
    OS::pumpMessages();
    commands.clear();
    EXPECT_EQ(OS::sendMessage(w.hwnd(), OS::WM_KEYDOWN, 'A', 0x001E0001), 0);
    EXPECT_EQ(OS::sendMessage(w.hwnd(), OS::WM_CHAR, 0x01, 0x001E0001), 0);
    EXPECT_EQ(commands, (std::vector<int>{100}));
    // A system character looks up only when the window lets it.
    commands.clear();
    app->getAccelerators().add(0x20000042, 103);  // Control+B
    w.getImpl()->setSysCharAccelerators(false);
    w.handler = [&](RecordingWindow&, int code, void* data) -> std::optional<bool> {
        if (code != kEventCommand)
            return std::nullopt;
        commands.push_back(static_cast<CommandEventData*>(data)->id);
        return false;
    };
    OS::sendMessage(w.hwnd(), OS::WM_KEYDOWN, 'B', 0x00300001);
    OS::sendMessage(w.hwnd(), OS::WM_SYSCHAR, 'b', 0x20300001);
    EXPECT_EQ(commands, (std::vector<int>{103})) << "only the key down";
    commands.clear();
    w.getImpl()->setSysCharAccelerators(true);
    OS::sendMessage(w.hwnd(), OS::WM_KEYDOWN, 'B', 0x00300001);
    OS::sendMessage(w.hwnd(), OS::WM_SYSCHAR, 'b', 0x20300001);
    EXPECT_EQ(commands, (std::vector<int>{103, 103})) << "the key down and the system character";
    INPUT::key(kControlScan, false);
}

}  // namespace
