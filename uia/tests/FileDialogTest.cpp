#include "uia/window/FileDialog.h"

#include <gtest/gtest.h>

#include "gp/src/common/files/FileType.h"
#include "os/kernel/Text.h"
#include "os/shell/Ole.h"
#include "os/windows/dialogs/FileDialogs.h"
#include "uia/tests/WindowTestSupport.h"

using namespace HA;
using namespace HA::UIA;

namespace {

using Filters = std::vector<std::pair<std::u16string, std::u16string>>;

class FileDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        GP::buildFileTypeRegistry();
        audio = GP::fileTypeGroupAt(GP::eFileTypeGroup::Audio);
        unknown = GP::fileTypeGroupAt(GP::eFileTypeGroup::Unknown);
        wav = GP::fileTypeAt(GP::eFileType::Wav);
        aiff = GP::fileTypeAt(GP::eFileType::Aiff);
    }

    OS::FileDialogScript script{[](const std::string& p) { ADD_FAILURE() << p; }};
    const GP::FileTypeGroup* audio = nullptr;
    const GP::FileTypeGroup* unknown = nullptr;
    const GP::FileType* wav = nullptr;
    const GP::FileType* aiff = nullptr;
};

const Filters kOpenAudio = {
    {u"Audio Files (*.wav;*.aif;*.aiff)", u"*.wav;*.aif;*.aiff"},
    {u"WAV Files (*.wav)", u"*.wav"},
    {u"AIFF Files (*.aif;*.aiff)", u"*.aif;*.aiff"},
    {u"All Files (*.*)", u"*.*"},
};

TEST_F(FileDialogTest, OpenListsGroupsTypesAndAllFilesWithThePreselectedEntry)
{
    struct Row {
        const char* name;
        const GP::FileTypeGroup* defaultGroup;
        const GP::FileType* selectedType;
        OS::DWORD index;
    };
    const Row rows[] = {
        {"nothing preselected", nullptr, nullptr, 0},
        {"the default group", audio, nullptr, 1},
        {"the group's first type", nullptr, wav, 2},
        {"a type of its own", nullptr, aiff, 3},
        {"all files", unknown, nullptr, 4},
    };
    for (const Row& r : rows) {
        script.choose("C:\\Music\\take.aif", 3);
        FileDialog dialog;
        dialog.setTitle("Open a take");
        dialog.addGroup(audio);
        dialog.addGroup(unknown);
        dialog.setDefaultGroup(r.defaultGroup);
        dialog.setSelectedType(r.selectedType);
        ASSERT_TRUE(dialog.run(FileDialog::Open, nullptr)) << r.name;
        const OS::FileDialogRecord asked = script.shown().back();
        EXPECT_EQ(asked.kind, OS::FileDialogRecord::eKind::Open);
        EXPECT_EQ(asked.filters, kOpenAudio) << r.name;
        EXPECT_EQ(asked.filterIndex, r.index) << r.name;
        EXPECT_EQ(asked.defaultExtension, u"wav") << r.name;
        EXPECT_EQ(asked.flags, 0x201804u) << r.name;
        EXPECT_EQ(asked.title, u"Open a take") << r.name;
        EXPECT_EQ(dialog.getResult().getFull(), "C:\\Music\\take.aif") << r.name;
        EXPECT_EQ(dialog.getResult().getFileType(), aiff) << r.name;
    }
}

TEST_F(FileDialogTest, SaveListsSingularTypesAndAppendsTheChosenTypesExtension)
{
    struct Row {
        const char* name;
        std::string chosen;
        OS::DWORD filter;
        std::string result;
        bool typeChosen;  // else selectedType stays as it was (null)
    };
    const Row rows[] = {
        {"no extension: the filter's", "C:\\Music\\take", 2, "C:\\Music\\take.aif", true},
        {"an extension stays", "C:\\Music\\take.wav", 2, "C:\\Music\\take.wav", true},
        {"filter 0 names no type", "C:\\Music\\take", 0, "C:\\Music\\take", false},
        {"filter past the entries", "C:\\Music\\take", 9, "C:\\Music\\take", false},
    };
    for (const Row& r : rows) {
        script.choose(r.chosen, r.filter);
        FileDialog dialog;
        dialog.addGroup(audio);
        dialog.addGroup(unknown);
        ASSERT_TRUE(dialog.run(FileDialog::Save, nullptr)) << r.name;
        const OS::FileDialogRecord asked = script.shown().back();
        EXPECT_EQ(asked.kind, OS::FileDialogRecord::eKind::Save);
        EXPECT_EQ(asked.filters, (Filters{{u"WAV File (*.wav)", u"*.wav"}, {u"AIFF File (*.aif;*.aiff)", u"*.aif;*.aiff"}}))
            << r.name;
        EXPECT_EQ(asked.flags, 0x200806u) << r.name;
        EXPECT_EQ(asked.title, u"") << r.name;
        EXPECT_EQ(dialog.getResult().getFull(), r.result) << r.name;
        EXPECT_EQ(dialog.getSelectedType(), r.typeChosen ? aiff : nullptr) << r.name;
        EXPECT_EQ(dialog.getResult().getFileType(), r.typeChosen ? aiff : nullptr) << r.name;
    }
}

TEST_F(FileDialogTest, OneMemberAndEmptyGroupsAndWhatTheChosenFileIs)
{
    const GP::FileTypeGroup* midiGroup = GP::fileTypeGroupAt(GP::eFileTypeGroup::MidiSequence);
    const GP::FileTypeGroup* samples = GP::fileTypeGroupAt(GP::eFileTypeGroup::Sample);
    const GP::FileType* midi = GP::fileTypeAt(GP::eFileType::Midi);
    struct Row {
        const char* name;
        int mode;
        const GP::FileType* selectedType;
        Filters filters;
        OS::DWORD index;
        std::string chosen;
        const GP::FileType* resultType;
    };
    const Row rows[] = {
        {"open: a one-member group stands for its type, an empty group has no entry", FileDialog::Open, midi,
         {{u"Midi Sequences (*.mid)", u"*.mid"},
          {u"Audio Files (*.wav;*.aif;*.aiff)", u"*.wav;*.aif;*.aiff"},
          {u"WAV Files (*.wav)", u"*.wav"},
          {u"AIFF Files (*.aif;*.aiff)", u"*.aif;*.aiff"}},
         1, "C:\\Music\\take.WAV", wav},
        {"open: an extension no type knows", FileDialog::Open, nullptr,
         {{u"Midi Sequences (*.mid)", u"*.mid"},
          {u"Audio Files (*.wav;*.aif;*.aiff)", u"*.wav;*.aif;*.aiff"},
          {u"WAV Files (*.wav)", u"*.wav"},
          {u"AIFF Files (*.aif;*.aiff)", u"*.aif;*.aiff"}},
         0, "C:\\Music\\take.xyz", nullptr},
        {"save: every type singular, the selected one preselected", FileDialog::Save, wav,
         {{u"MIDI File (*.mid)", u"*.mid"}, {u"WAV File (*.wav)", u"*.wav"}, {u"AIFF File (*.aif;*.aiff)", u"*.aif;*.aiff"}},
         2, "C:\\Music\\take", wav},
    };
    for (const Row& r : rows) {
        script.choose(r.chosen);
        FileDialog dialog;
        dialog.addGroup(midiGroup);
        dialog.addGroup(samples);
        dialog.addGroup(audio);
        dialog.setSelectedType(r.selectedType);
        ASSERT_TRUE(dialog.run(r.mode, nullptr)) << r.name;
        const OS::FileDialogRecord asked = script.shown().back();
        EXPECT_EQ(asked.filters, r.filters) << r.name;
        EXPECT_EQ(asked.filterIndex, r.index) << r.name;
        EXPECT_EQ(asked.defaultExtension, u"mid") << r.name;
        EXPECT_EQ(dialog.getResult().getFileType(), r.resultType) << r.name;
    }
    EXPECT_EQ(script.shown().back().answerFilterIndex, 2u) << "the filter it was opened with";
}

TEST_F(FileDialogTest, OnlyAllFilesInSaveModeShowsNoFilters)
{
    script.choose("C:\\Music\\take");
    FileDialog dialog;
    dialog.addGroup(unknown);
    dialog.setSelectedType(wav);
    ASSERT_TRUE(dialog.run(FileDialog::Save, nullptr));
    const OS::FileDialogRecord asked = script.shown().back();
    EXPECT_TRUE(asked.filters.empty());
    EXPECT_EQ(asked.filterIndex, 0u);
    EXPECT_EQ(asked.defaultExtension, u"");
    EXPECT_EQ(dialog.getResult().getFull(), "C:\\Music\\take");
    EXPECT_EQ(dialog.getSelectedType(), wav) << "no filter chosen: the type stays";
}

TEST_F(FileDialogTest, InitialFolderAndName)
{
    struct Row {
        const char* name;
        std::string initial;
        std::u16string folder;
        std::u16string file;
    };
    const Row rows[] = {
        {"a folder", "C:\\Music\\", u"C:\\Music\\", u""},
        {"a file: its folder and its name", "C:\\Music\\take.wav", u"C:\\Music\\", u"C:\\Music\\take.wav"},
        {"a name too long for the buffer is left out", "C:\\Music\\" + std::string(300, 'n') + ".wav",
         u"C:\\Music\\", u""},
    };
    for (const Row& r : rows) {
        script.cancel();
        FileDialog dialog;
        dialog.setInitialPath(GP::FilePath(r.initial));
        EXPECT_FALSE(dialog.run(FileDialog::Open, nullptr)) << r.name;
        EXPECT_TRUE(dialog.getResult().isEmpty()) << r.name;
        const OS::FileDialogRecord asked = script.shown().back();
        EXPECT_EQ(asked.initialFolder, r.folder) << r.name;
        EXPECT_EQ(asked.file, r.file) << r.name;
        EXPECT_TRUE(asked.filters.empty()) << r.name << ": no groups, no filters";
        EXPECT_EQ(asked.filterIndex, 0u) << r.name;
        EXPECT_EQ(asked.defaultExtension, u"") << r.name;
    }
    // Without an initial path the dialog starts in the current directory.
    script.cancel();
    FileDialog dialog;
    EXPECT_FALSE(dialog.run(FileDialog::Save, nullptr));
    EXPECT_FALSE(script.shown().back().initialFolder.empty());
}

TEST_F(FileDialogTest, FolderStartsOnTheInitialFolderAndAnswersAFolderPath)
{
    struct Row {
        const char* name;
        std::string initial;
        bool allowNewFolder;
        std::u16string selection;
        OS::DWORD flags;
    };
    const Row rows[] = {
        {"trailing backslash", "C:\\Music\\", true, u"C:\\Music", OS::BIF_NEWDIALOGSTYLE},
        {"a file's folder", "C:\\Music\\take.wav", false, u"C:\\Music",
         OS::BIF_NEWDIALOGSTYLE | OS::BIF_NONEWFOLDERBUTTON},
        {"no initial path: no selection", "", true, u"", OS::BIF_NEWDIALOGSTYLE},
    };
    for (const Row& r : rows) {
        const int blocksBefore = OS::liveTaskMemBlockCount();
        script.choose("D:\\Takes");
        FileDialog dialog;
        dialog.setTitle("Where to");
        if (!r.initial.empty())
            dialog.setInitialPath(GP::FilePath(r.initial));
        dialog.setAllowNewFolder(r.allowNewFolder);
        ASSERT_TRUE(dialog.run(FileDialog::Folder, nullptr)) << r.name;
        const OS::FileDialogRecord asked = script.shown().back();
        EXPECT_EQ(asked.kind, OS::FileDialogRecord::eKind::Folder);
        EXPECT_EQ(asked.selection, r.selection) << r.name;
        EXPECT_EQ(asked.flags, r.flags) << r.name;
        EXPECT_EQ(asked.title, u"Where to") << r.name;
        EXPECT_EQ(dialog.getResult().getFull(), "D:\\Takes\\") << r.name;
        EXPECT_EQ(dialog.getResult().getKind(), GP::FilePath::eKind::Folder) << r.name;
        EXPECT_EQ(dialog.getResult().getFileType(), GP::fileTypeAt(GP::eFileType::Directory)) << r.name;
        EXPECT_EQ(OS::liveTaskMemBlockCount(), blocksBefore) << r.name << ": the item list is freed";
    }
    script.cancel();
    FileDialog dialog;
    EXPECT_FALSE(dialog.run(FileDialog::Folder, nullptr));
    EXPECT_TRUE(dialog.getResult().isEmpty());
}

TEST_F(FileDialogTest, AnswersWithoutAReadablePathFail)
{
    const int blocksBefore = OS::liveTaskMemBlockCount();
    script.choose("D:\\" + std::string(300, 'f')).choose("");
    FileDialog folder;
    EXPECT_FALSE(folder.run(FileDialog::Folder, nullptr)) << "a folder path too long to read";
    EXPECT_TRUE(folder.getResult().isEmpty());
    EXPECT_EQ(OS::liveTaskMemBlockCount(), blocksBefore) << "its item list is freed all the same";
    FileDialog open;
    EXPECT_FALSE(open.run(FileDialog::Open, nullptr)) << "an empty path";
    EXPECT_TRUE(open.getResult().isEmpty());
}

TEST_F(FileDialogTest, ACancelledRunEmptiesTheResult)
{
    script.choose("C:\\a.wav").cancel();
    FileDialog dialog;
    ASSERT_TRUE(dialog.run(FileDialog::Open, nullptr));
    EXPECT_FALSE(dialog.getResult().isEmpty());
    EXPECT_FALSE(dialog.run(FileDialog::Open, nullptr));
    EXPECT_TRUE(dialog.getResult().isEmpty());
}

class OwnedFileDialogTest : public TEST::FrameworkWindowTest {};

TEST_F(OwnedFileDialogTest, TheOwnersWindowOwnsEveryKindOfDialog)
{
    GP::buildFileTypeRegistry();
    TEST::RecordingWindow window;
    ASSERT_TRUE(window.create(TEST::mainDescriptor()));
    ASSERT_NE(window.hwnd(), nullptr);
    OS::FileDialogScript script([](const std::string& p) { ADD_FAILURE() << p; });
    script.cancel().cancel().cancel();
    for (int mode : {FileDialog::Open, FileDialog::Save, FileDialog::Folder}) {
        FileDialog dialog;
        dialog.setInitialPath(GP::FilePath(std::string("C:\\Music\\")));
        EXPECT_FALSE(dialog.run(mode, &window)) << mode;
        EXPECT_EQ(script.shown().back().owner, window.hwnd()) << mode;
    }
}

}  // namespace
