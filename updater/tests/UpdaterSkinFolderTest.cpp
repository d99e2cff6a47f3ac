// The skin folder with the updater's own files: a copy of the example folder the build
// writes, in a temporary working directory. The sheet, pictures and fonts come from it; a
// file it lacks is missing, never taken from the linked resources; names are matched with
// their exact spelling.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "gp/src/common/storage/Stream.h"
#include "hwl/core/src/resources/ManagerContainer.h"
#include "hwl/tests/ResourceTestSupport.h"
#include "uia/graphics/picture/PictureProperties.h"
#include "uia/graphics/text/FontDesc.h"
#include "updater/tests/SkinTestSupport.h"

using namespace HA;
namespace fs = HA::HWL::TEST::fs;

namespace {

const std::string kSheet = "FirmwareUpdaterStyles.txt";

// A working directory with a copy of the example skin folder named "skin", skin look-up on.
class UpdaterSkinFolderTest : public ::testing::Test {
protected:
    UpdaterSkinFolderTest()
    {
        std::filesystem::copy(HA_SKIN_EXAMPLE_DIR, skin.string(), std::filesystem::copy_options::recursive);
    }

    HWL::TEST::ScratchFolders folders;
    HWL::TEST::SkinLookupScope lookup{true};
    fs::path skin = folders.work() / "skin";
    HWL::TEST::ErrorRecorder errors;
};

TEST_F(UpdaterSkinFolderTest, SheetPicturesAndFontComeFromIt)
{
    // Files that differ from the linked ones, so that their origin shows.
    const std::string sheet = std::string(TEST::linkedSheet()) + "// from the skin folder\r\n";
    HWL::TEST::writeFile(skin / "stylesheets" / kSheet, sheet);
    std::filesystem::copy_file((skin / "pictures" / "Logo_HA.png").string(),
                               (skin / "pictures" / "Busywheel.png").string(),
                               std::filesystem::copy_options::overwrite_existing);

    HWL::ManagerContainer manager;
    std::shared_ptr<GP::Stream> stream = manager.getResourceStream(kSheet, HWL::ManagerContainer::KindStyleSheet, true);
    ASSERT_TRUE(stream);
    EXPECT_EQ(manager.getResourceMode(), HWL::ManagerContainer::ModeSkin);
    EXPECT_EQ(HWL::TEST::readAll(*stream), sheet);

    UIA::PictureProperties wheel;
    wheel.setFrameCount(12);
    std::shared_ptr<const UIA::Picture> picture = manager.loadPicture("Busywheel.png", wheel, 1.0f);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->getWidth(), 29) << "the skin folder's file, not the linked wheel";

    UIA::FontDesc ferro;
    ferro.name = "ferro.ttf";
    ferro.size = 12;
    const UIA::Font* font = manager.getFont(ferro);
    ASSERT_NE(font, nullptr);
    EXPECT_GT(font->getTextWidth("Serial Number"), 0);
    EXPECT_TRUE(errors.texts.empty()) << errors.texts.front();
}

TEST_F(UpdaterSkinFolderTest, EveryPictureOfTheSheetIsThere)
{
    HWL::ManagerContainer manager;
    for (const TEST::PictureRow& row : TEST::kPictures) {
        SCOPED_TRACE(row.sheetName);
        UIA::PictureProperties description;
        description.setFrameCount(static_cast<std::uint32_t>(row.frames));
        std::shared_ptr<const UIA::Picture> picture = manager.loadPicture(row.sheetName, description, 1.0f);
        ASSERT_TRUE(picture);
        EXPECT_EQ(picture->getWidth(), row.width);
        EXPECT_EQ(picture->getHeight(), row.height);
    }
    EXPECT_EQ(manager.getResourceMode(), HWL::ManagerContainer::ModeSkin);
    EXPECT_TRUE(errors.texts.empty()) << errors.texts.front();
}

// Nothing falls back: without its sheet the folder gives no sheet, although one is linked.
TEST_F(UpdaterSkinFolderTest, WithoutTheSheetThereIsNone)
{
    fs::remove(skin / "stylesheets" / kSheet);
    ASSERT_TRUE(TEST::linked(kSheet, "STYLESHEET"));

    HWL::ManagerContainer manager;
    EXPECT_FALSE(manager.getResourceStream(kSheet, HWL::ManagerContainer::KindStyleSheet, true));
    EXPECT_EQ(manager.getResourceMode(), HWL::ManagerContainer::ModeSkin);
    ASSERT_EQ(errors.texts.size(), 1u);
    EXPECT_EQ(errors.texts[0].rfind(HWL::TEST::kMissingFile, 0), 0u) << errors.texts[0];
}

// Linked names ignore case; file names here do not, so the files carry the sheet's spelling.
TEST_F(UpdaterSkinFolderTest, FileNamesAreMatchedWithTheirExactSpelling)
{
    HWL::ManagerContainer manager;
    UIA::PictureProperties description;
    EXPECT_TRUE(manager.loadPicture("button_forward_FU.png", description, 1.0f));
    EXPECT_FALSE(manager.loadPicture("BUTTON_FORWARD_FU.PNG", description, 1.0f));
    EXPECT_EQ(errors.texts.size(), 1u);
}

}  // namespace
