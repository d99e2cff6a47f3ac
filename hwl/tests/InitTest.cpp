#include <gtest/gtest.h>

#include <cstring>

#include "gp/src/common/process/FatalError.h"
#include "hwl/core/src/cascade/StyleSheets.h"
#include "hwl/core/src/library/Init.h"
#include "hwl/core/src/resources/ManagerContainer.h"

namespace HA::HWL {
namespace {

// Fatal errors throw while it lives, and the library is shut down at its end.
class InitTest : public ::testing::Test {
protected:
    void SetUp() override { GP::DETAIL::setFatalErrorThrows(true); }
    void TearDown() override
    {
        shutdown();
        GP::DETAIL::setFatalErrorThrows(false);
    }
};

TEST_F(InitTest, MakesTheManagerAndShutdownDropsIt)
{
    EXPECT_FALSE(isInitialized());
    EXPECT_EQ(getManager(), nullptr);
    EXPECT_TRUE(init());
    EXPECT_TRUE(isInitialized());
    ASSERT_NE(getManager(), nullptr);
    EXPECT_EQ(getManager()->getResourceMode(), ManagerContainer::ModeUndecided);
    shutdown();
    EXPECT_FALSE(isInitialized());
    EXPECT_EQ(getManager(), nullptr);

    // Started again after a shut-down: a fresh manager.
    EXPECT_TRUE(init());
    EXPECT_NE(getManager(), nullptr);
}

TEST_F(InitTest, TheManagerOwnsTheStyleSheetsWithTheBuiltInRules)
{
    ASSERT_TRUE(init());
    StyleSheets& sheets = getStyleSheets();
    EXPECT_EQ(&sheets, &getManager()->getStyleSheets());
    EXPECT_EQ(sheets.getOwner(), getManager());
    EXPECT_FALSE(sheets.getGlobalSheet().getRules().empty());
}

TEST_F(InitTest, StyleSheetsWithoutAManagerAreAFatalError)
{
    EXPECT_THROW(getStyleSheets(), GP::Assertion::exception);
}

TEST_F(InitTest, DefaultFontDescriptionIsMadeOnce)
{
    ASSERT_TRUE(init());
    const UIA::FontDesc& description = getManager()->getDefaultFontDesc();
    EXPECT_EQ(description.name, "");
    EXPECT_EQ(description.resourceId, 1);
    EXPECT_EQ(description.size, 12);
    EXPECT_EQ(description.flags, 0u);
    ManagerContainer other;
    EXPECT_EQ(&other.getDefaultFontDesc(), &description);
}

TEST_F(InitTest, SecondInitIsAFatalError)
{
    ASSERT_TRUE(init());
    ManagerContainer* first = getManager();
    try {
        init();
        FAIL() << "a second init returned";
    } catch (const GP::Assertion::exception& e) {
        EXPECT_STREQ(e.file(), "hwl/core/src/init_hwl");
        EXPECT_EQ(e.line(), 27);
        EXPECT_EQ(e.text(), nullptr);
    }
    EXPECT_EQ(getManager(), first) << "the running manager is kept";
    EXPECT_TRUE(isInitialized());
}

TEST_F(InitTest, ShutdownWithoutInitDoesNothing)
{
    shutdown();
    EXPECT_FALSE(isInitialized());
    EXPECT_TRUE(init());
}

TEST(LibraryOptionsTest, OffAtStartAndSetByTheirSetters)
{
    EXPECT_FALSE(isSkinLookupEnabled());
    EXPECT_FALSE(isOpaqueCanvasBuffer());
    setSkinLookup(true);
    setOpaqueCanvasBuffer(true);
    EXPECT_TRUE(isSkinLookupEnabled());
    EXPECT_TRUE(isOpaqueCanvasBuffer());
    setSkinLookup(false);
    setOpaqueCanvasBuffer(false);
    EXPECT_FALSE(isSkinLookupEnabled());
}

}  // namespace
}  // namespace HA::HWL
