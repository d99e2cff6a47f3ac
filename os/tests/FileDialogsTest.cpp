#include "os/windows/dialogs/FileDialogs.h"

#include <gtest/gtest.h>

#include "os/kernel/Clock.h"
#include "os/kernel/Kernel.h"
#include "os/shell/Ole.h"
#include "os/tests/WindowTestSupport.h"
#include "os/windows/Message.h"
#include "os/windows/timers/WindowTimer.h"

using namespace HA::OS;
using HA::OS::Testing::WindowTest;

namespace {

OPENFILENAMEW request(char16_t* buffer, DWORD size, const char16_t* filters)
{
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.lpstrFile = buffer;
    ofn.nMaxFile = size;
    ofn.lpstrFilter = filters;
    ofn.nFilterIndex = 2;
    ofn.lpstrInitialDir = u"C:\\Start";
    ofn.lpstrDefExt = u"wav";
    ofn.Flags = OFN_LONGNAMES | OFN_FILEMUSTEXIST;
    return ofn;
}

const char16_t kFilters[] = u"Text (*.txt)\0*.txt\0All\0*.*\0";

TEST(FileDialogScripts, RecordWhatWasAskedAndAnswerInOrder)
{
    std::vector<std::string> problems;
    {
        FileDialogScript script([&](const std::string& p) { problems.push_back(p); });
        script.choose("C:\\a.txt", 1).choose("C:\\b.wav").cancel();
        char16_t buffer[260] = u"initial";
        OPENFILENAMEW ofn = request(buffer, 260, kFilters);
        ASSERT_TRUE(getOpenFileName(ofn));
        EXPECT_EQ(std::u16string(buffer), u"C:\\a.txt");
        EXPECT_EQ(ofn.nFilterIndex, 1u);
        ofn = request(buffer, 260, kFilters);
        ASSERT_TRUE(getSaveFileName(ofn));
        EXPECT_EQ(ofn.nFilterIndex, 2u) << "0: the index it was opened with";
        ofn = request(buffer, 260, nullptr);
        EXPECT_FALSE(getOpenFileName(ofn));

        const auto shown = script.shown();
        ASSERT_EQ(shown.size(), 3u);
        EXPECT_EQ(shown[0].file, u"initial");
        EXPECT_EQ(shown[0].filters, (std::vector<std::pair<WString, WString>>{{u"Text (*.txt)", u"*.txt"}, {u"All", u"*.*"}}));
        EXPECT_EQ(shown[0].filterIndex, 2u);
        EXPECT_EQ(shown[0].initialFolder, u"C:\\Start");
        EXPECT_EQ(shown[0].defaultExtension, u"wav");
        EXPECT_EQ(shown[0].flags, OFN_LONGNAMES | OFN_FILEMUSTEXIST);
        EXPECT_EQ(shown[1].kind, FileDialogRecord::eKind::Save);
        EXPECT_EQ(shown[1].file, u"C:\\a.txt");
        EXPECT_TRUE(shown[2].cancelled);
        EXPECT_TRUE(shown[2].filters.empty());

        // Past the script: a problem, and a cancel.
        ofn = request(buffer, 260, kFilters);
        EXPECT_FALSE(getOpenFileName(ofn));
        script.choose("C:\\never.txt");
    }
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_NE(problems[0].find("unexpected open dialog"), std::string::npos);
    EXPECT_NE(problems[1].find("1 expected file dialog(s) never shown"), std::string::npos);
}

TEST(FileDialogScripts, BadRequestsAndPathsThatDoNotFitFail)
{
    FileDialogScript script([](const std::string& p) { ADD_FAILURE() << p; });
    char16_t small[8] = u"";
    OPENFILENAMEW ofn = request(small, 8, nullptr);
    ofn.lStructSize = 3;
    setLastError(0);
    EXPECT_FALSE(getOpenFileName(ofn));
    EXPECT_EQ(getLastError(), ERROR_INVALID_PARAMETER);
    ofn = request(nullptr, 8, nullptr);
    EXPECT_FALSE(getOpenFileName(ofn));
    script.choose("C:\\much\\too\\long.txt");
    ofn = request(small, 8, nullptr);
    EXPECT_FALSE(getOpenFileName(ofn));
    EXPECT_EQ(std::u16string(small), u"");
}

TEST(FileDialogScripts, WithoutAScriptEveryDialogIsCancelled)
{
    char16_t buffer[260] = u"";
    OPENFILENAMEW ofn = request(buffer, 260, kFilters);
    EXPECT_FALSE(getSaveFileName(ofn));
    BROWSEINFOW info{};
    EXPECT_EQ(shBrowseForFolder(info), nullptr);
    EXPECT_TRUE(fileDialogRecords().back().cancelled);
}

class ModalFileDialogs : public WindowTest {};

TEST_F(ModalFileDialogs, TheQueueRunsWhileTheDialogIsOpen)
{
    int ticks = 0;
    HWND hwnd = create(0, nullptr, [&](HWND, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (message == WM_TIMER)
            ++ticks;
        return std::nullopt;
    });
    setTimer(hwnd, 1, 40, nullptr);
    FileDialogScript script([](const std::string& p) { ADD_FAILURE() << p; });
    script.choose("C:\\a.txt", 0, 100).cancel(50);
    const TimeMs start = Clock::now();
    char16_t buffer[260] = u"";
    OPENFILENAMEW ofn = request(buffer, 260, kFilters);
    ASSERT_TRUE(getOpenFileName(ofn));
    EXPECT_EQ(Clock::now() - start, 100);
    EXPECT_EQ(ticks, 2);
    BROWSEINFOW info{};
    EXPECT_EQ(shBrowseForFolder(info), nullptr);
    EXPECT_EQ(Clock::now() - start, 150);
    EXPECT_EQ(ticks, 3);
}

TEST(FileDialogScripts, TheBrowserTakesTheSelectionItsCallbackSends)
{
    FileDialogScript script([](const std::string& p) { ADD_FAILURE() << p; });
    script.choose("C:\\Music\\Takes");
    char16_t name[260] = u"C:\\Music";
    BROWSEINFOW info{};
    info.pszDisplayName = name;
    info.lpszTitle = u"Pick";
    info.ulFlags = BIF_NEWDIALOGSTYLE;
    info.lpfn = [](HWND dialog, UINT message, LPARAM, LPARAM data) {
        if (message == BFFM_INITIALIZED)
            sendMessage(dialog, BFFM_SETSELECTIONW, 1, data);
        return 0;
    };
    info.lParam = reinterpret_cast<LPARAM>(u"C:\\Music");
    const int blocksBefore = liveTaskMemBlockCount();
    PIDLIST_ABSOLUTE list = shBrowseForFolder(info);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(liveTaskMemBlockCount(), blocksBefore + 1);
    char16_t path[260] = u"";
    EXPECT_TRUE(shGetPathFromIDList(list, path));
    EXPECT_EQ(std::u16string(path), u"C:\\Music\\Takes");
    EXPECT_EQ(std::u16string(name), u"Takes");
    coTaskMemFree(list);
    EXPECT_EQ(liveTaskMemBlockCount(), blocksBefore);
    EXPECT_FALSE(shGetPathFromIDList(nullptr, path));
    const FileDialogRecord asked = script.shown().back();
    EXPECT_EQ(asked.selection, u"C:\\Music");
    EXPECT_EQ(asked.file, u"C:\\Music");
    EXPECT_EQ(asked.title, u"Pick");
}

}  // namespace
