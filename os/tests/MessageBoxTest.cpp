#include "os/windows/messagebox/MessageBox.h"

#include <gtest/gtest.h>

#include "os/kernel/Kernel.h"

using namespace HA::OS;

namespace {

class MessageBoxes : public ::testing::Test {
protected:
    void SetUp() override { clearMessageBoxRecords(); }
    std::vector<std::string> problems;
    MessageBoxScript::ProblemHandler collect()
    {
        return [this](const std::string& p) { problems.push_back(p); };
    }
};

const WString kQuestion =
    u"An update is currently in progress. Interrupting the update process may damage the device.\nDo you really "
    u"want to quit ?";

}  // namespace

TEST_F(MessageBoxes, TheScriptAnswersAndEveryBoxIsRecorded)
{
    {
        MessageBoxScript script(collect());
        script.expect(IDYES, "currently in progress").expect(IDOK);
        UINT quit = MB_YESNO | MB_DEFBUTTON2 | MB_ICONQUESTION | MB_TASKMODAL | MB_SETFOREGROUND;
        EXPECT_EQ(messageBox(nullptr, kQuestion, u"VIREO INTERFACE UPDATER", quit), IDYES);
        EXPECT_EQ(messageBox(nullptr, u"Error x:1", u"T", MB_OK), IDOK);
        auto shown = script.shown();
        ASSERT_EQ(shown.size(), 2u);
        EXPECT_EQ(shown[0].text, kQuestion);
        EXPECT_EQ(shown[0].captionUtf8(), "VIREO INTERFACE UPDATER");
        EXPECT_EQ(shown[0].buttons(), MB_YESNO);
        EXPECT_EQ(shown[0].icon(), MB_ICONQUESTION);
        EXPECT_EQ(shown[0].defaultButton(), IDNO);
        EXPECT_EQ(shown[0].answer, IDYES);
    }
    EXPECT_TRUE(problems.empty());
    EXPECT_EQ(messageBoxRecords().size(), 2u);
}

TEST_F(MessageBoxes, DefaultButtons)
{
    struct Case {
        UINT type;
        int expected;
    };
    const Case cases[] = {
        {MB_OK, IDOK},
        {MB_OK | MB_DEFBUTTON2, IDOK},  // out of range: the first button
        {MB_OKCANCEL | MB_DEFBUTTON2, IDCANCEL},
        {MB_YESNO, IDYES},
        {MB_YESNO | MB_DEFBUTTON2, IDNO},
        {MB_YESNOCANCEL | MB_DEFBUTTON2, IDNO},
        {MB_YESNOCANCEL | MB_DEFBUTTON3, IDCANCEL},
        {MB_RETRYCANCEL | MB_DEFBUTTON2, IDCANCEL},
        {MB_ABORTRETRYIGNORE | MB_DEFBUTTON2, IDRETRY},
        {MB_ABORTRETRYIGNORE | MB_DEFBUTTON3, IDIGNORE},
    };
    for (const Case& c : cases) {
        EXPECT_EQ((MessageBoxRecord{nullptr, u"", u"", c.type, 0}.defaultButton()), c.expected) << std::hex << c.type;
        // Without a script a box takes its default button and prints the question.
        testing::internal::CaptureStderr();
        EXPECT_EQ(messageBox(nullptr, u"Question?", u"Caption", c.type), c.expected);
        std::string printed = testing::internal::GetCapturedStderr();
        EXPECT_NE(printed.find("Caption: Question?"), std::string::npos) << printed;
    }
}

TEST_F(MessageBoxes, ProblemsAreReported)
{
    struct Case {
        const char* name;
        std::vector<std::pair<int, std::string>> expected;
        int boxes;
        int answer;  // of the last box
        const char* problem;
    };
    const Case cases[] = {
        {"unexpected box", {}, 1, IDNO, "unexpected message box"},
        {"text does not match", {{IDYES, "something else"}}, 1, IDNO, "does not contain"},
        {"answer not a button", {{IDOK, ""}}, 1, IDNO, "has no button 1"},
        {"box never shown", {{IDYES, ""}, {IDYES, ""}}, 1, IDYES, "never shown"},
    };
    for (const Case& c : cases) {
        problems.clear();
        int last = 0;
        {
            MessageBoxScript script(collect());
            for (auto& [answer, text] : c.expected)
                script.expect(answer, text);
            for (int i = 0; i < c.boxes; ++i)
                last = messageBox(nullptr, kQuestion, u"", MB_YESNO | MB_DEFBUTTON2);
        }
        EXPECT_EQ(last, c.answer) << c.name;
        ASSERT_EQ(problems.size(), 1u) << c.name;
        EXPECT_NE(problems[0].find(c.problem), std::string::npos) << c.name << ": " << problems[0];
    }
}

TEST_F(MessageBoxes, NestedScriptsAnswerNewestFirst)
{
    MessageBoxScript outer(collect());
    outer.expect(IDNO);
    {
        MessageBoxScript inner(collect());
        inner.expect(IDYES);
        EXPECT_EQ(messageBox(nullptr, u"a", u"", MB_YESNO), IDYES);
    }
    EXPECT_EQ(messageBox(nullptr, u"b", u"", MB_YESNO), IDNO);
    EXPECT_TRUE(problems.empty());
}

TEST_F(MessageBoxes, UnknownButtonSetFails)
{
    MessageBoxScript script(collect());
    EXPECT_EQ(messageBox(nullptr, u"x", u"", 7), 0);
    EXPECT_EQ(getLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(messageBoxRecords().empty());
}
