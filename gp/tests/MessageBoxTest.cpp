#include "gp/src/common/process/MessageBox.h"
#include "gp/src/common/library/Init.h"

#include <gtest/gtest.h>

#include "os/windows/messagebox/MessageBox.h"

using namespace HA;
using namespace HA::GP;

namespace {

void failOnProblem(const std::string& problem) { ADD_FAILURE() << problem; }

constexpr OS::UINT kAlways = OS::MB_TASKMODAL | OS::MB_SETFOREGROUND;

}  // namespace

TEST(MessageBox, ButtonsDefaultsAndIcons)
{
    struct Case {
        int buttons, defaultButton, icon;
        OS::UINT type;
        int defaultId;
    };
    const Case cases[] = {
        {eButtonsOk, 0, eIconNone, OS::MB_OK, OS::IDOK},
        {eButtonsOk, eResultCancel, eIconError, OS::MB_OK | OS::MB_ICONERROR, OS::IDOK},
        {17, 0, eIconWarning, OS::MB_OK | OS::MB_ICONWARNING, OS::IDOK},  // unknown set: OK
        {-1, -1, 9, OS::MB_OK, OS::IDOK},                                 // unknown icon: none
        {eButtonsOkCancel, eResultOk, eIconInformation, OS::MB_OKCANCEL | OS::MB_ICONINFORMATION, OS::IDOK},
        {eButtonsOkCancel, eResultCancel, eIconNone, OS::MB_OKCANCEL | OS::MB_DEFBUTTON2, OS::IDCANCEL},
        {eButtonsYesNo, eResultYes, eIconNone, OS::MB_YESNO, OS::IDYES},
        {eButtonsYesNo, eResultNo, eIconQuestion, OS::MB_YESNO | OS::MB_DEFBUTTON2 | OS::MB_ICONQUESTION, OS::IDNO},
        {eButtonsYesNoCancel, eResultNo, eIconNone, OS::MB_YESNOCANCEL | OS::MB_DEFBUTTON2, OS::IDNO},
        {eButtonsYesNoCancel, eResultCancel, eIconNone, OS::MB_YESNOCANCEL | OS::MB_DEFBUTTON3, OS::IDCANCEL},
        {eButtonsYesNoCancel, eResultRetry, eIconNone, OS::MB_YESNOCANCEL, OS::IDYES},
        {eButtonsRetryCancel, eResultCancel, eIconNone, OS::MB_RETRYCANCEL | OS::MB_DEFBUTTON2, OS::IDCANCEL},
        {eButtonsRetryCancel, eResultRetry, eIconNone, OS::MB_RETRYCANCEL, OS::IDRETRY},
        {eButtonsAbortRetryIgnore, eResultRetry, eIconNone, OS::MB_ABORTRETRYIGNORE | OS::MB_DEFBUTTON2, OS::IDRETRY},
        {eButtonsAbortRetryIgnore, eResultIgnore, eIconNone, OS::MB_ABORTRETRYIGNORE | OS::MB_DEFBUTTON3,
         OS::IDIGNORE},
        {eButtonsAbortRetryIgnore, eResultCancel, eIconNone, OS::MB_ABORTRETRYIGNORE, OS::IDABORT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.buttons << "/" << c.defaultButton << "/" << c.icon);
        OS::MessageBoxScript script(&failOnProblem);
        script.expect(c.defaultId);
        showMessageBox("text", c.buttons, c.defaultButton, c.icon, "caption");
        auto shown = script.shown();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].type, kAlways | c.type);
        EXPECT_EQ(shown[0].defaultButton(), c.defaultId);
        EXPECT_EQ(shown[0].owner, nullptr);
    }
}

TEST(MessageBox, PressedButtonsAndCaption)
{
    struct Case {
        int buttons;
        int pressed;
        int result;
    };
    const Case cases[] = {
        {eButtonsOk, OS::IDOK, eResultOk},
        {eButtonsOkCancel, OS::IDCANCEL, eResultCancel},
        {eButtonsYesNo, OS::IDYES, eResultYes},
        {eButtonsYesNoCancel, OS::IDNO, eResultNo},
        {eButtonsYesNoCancel, OS::IDCANCEL, eResultCancel},
        {eButtonsAbortRetryIgnore, OS::IDABORT, eResultAbort},
        {eButtonsRetryCancel, OS::IDRETRY, eResultRetry},
        {eButtonsAbortRetryIgnore, OS::IDIGNORE, eResultIgnore},
    };
    for (const Case& c : cases) {
        OS::MessageBoxScript script(&failOnProblem);
        script.expect(c.pressed, "An update");
        EXPECT_EQ(showMessageBox("An update is running \xE2\x80\x94 quit?", c.buttons, 0, eIconQuestion), c.result)
            << c.buttons << " " << c.pressed;
        ASSERT_EQ(script.shown().size(), 1u);
        EXPECT_EQ(script.shown()[0].captionUtf8(), applicationTitle());
        EXPECT_EQ(script.shown()[0].text, u"An update is running \u2014 quit?");
    }
}

namespace {

class RecordingDelegate : public MessageBoxDelegate {
public:
    int showMessageBox(std::string_view text, int* buttons, int* defaultButton, int* icon, const char** caption) override
    {
        mText = std::string(text);
        mButtons = *buttons;
        mDefault = *defaultButton;
        mIcon = *icon;
        mCaption = *caption;
        return 42;
    }
    std::string mText;
    int mButtons = -1, mDefault = -1, mIcon = -1;
    const char* mCaption = "unset";
};

}  // namespace

TEST(MessageBox, DelegateShowsInsteadOfThePlatform)
{
    RecordingDelegate delegate;
    DETAIL::setMessageBoxDelegate(&delegate);
    OS::clearMessageBoxRecords();
    EXPECT_EQ(showMessageBox("quit?", eButtonsYesNo, eResultNo, eIconQuestion), 42);
    DETAIL::setMessageBoxDelegate(nullptr);
    EXPECT_TRUE(OS::messageBoxRecords().empty());
    EXPECT_EQ(delegate.mText, "quit?");
    EXPECT_EQ(delegate.mButtons, eButtonsYesNo);
    EXPECT_EQ(delegate.mDefault, eResultNo);
    EXPECT_EQ(delegate.mIcon, eIconQuestion);
    EXPECT_EQ(delegate.mCaption, nullptr);
}
