// The updater's sheet through the cascade: on a small tree with the wizard's ids, classes and
// attributes, the frame, picture and font each widget resolves to in each of its states.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "hwl/core/src/cascade/StyleSheets.h"
#include "hwl/core/src/library/Init.h"
#include "hwl/core/src/resources/ManagerContainer.h"
#include "hwl/core/src/style/StyleConversions.h"
#include "hwl/core/src/style/StyleParser2.h"
#include "hwl/core/src/tree/Pane.h"
#include "hwl/core/src/tree/Widget.h"
#include "hwl/tests/ResourceTestSupport.h"
#include "updater/tests/SkinTestSupport.h"

using namespace HA;

namespace {

const char* const kSheet = "FirmwareUpdaterStyles.txt";

// A widget that answers the type name the sheet's selectors use.
class TypedWidget : public HWL::Widget {
public:
    explicit TypedWidget(const std::string& type) : mType(type) {}
    ha::symbol getClass() const override { return mType; }
    using Widget::changeFlags;

private:
    ha::symbol mType;
};

// What a row does to its widget before the read.
enum class eState { Normal, Down, Over, Disabled, Focus };

struct tSkinCase {
    const char* name;
    const char* widget;     // id in the tree below
    const char* attribute;  // null: none set
    const char* value;
    eState state;
    int frame;              // animation index
    const char* picture;    // the picture's name, then "|" and its rule's margins; null: not checked
    int fontSize;           // 0: not checked
};

std::ostream& operator<<(std::ostream& out, const tSkinCase& c)
{
    return out << c.name;
}

class UpdaterSkinCascadeTest : public ::testing::TestWithParam<tSkinCase> {
protected:
    UpdaterSkinCascadeTest()
    {
        HWL::init();
        HWL::getStyleSheets().load(kSheet);
        // The wizard's tree, as far as the rules below reach.
        add("Bar", "FirmwareUpdaterMainWidget", "FirmwareUpdaterMainWidget", nullptr);
        add("Bar", "FirmwareUpdaterBodyPanel", "FirmwareUpdaterBodyPanel", "FirmwareUpdaterMainWidget");
        add("Bar", "FirmwareUpdaterFirmwarePanel", "FirmwareUpdaterFirmwarePanel", "FirmwareUpdaterBodyPanel");
        add("Bar", "FirmwareUpdaterFirmwarePanelBody", "FirmwareUpdaterFirmwarePanelBody",
            "FirmwareUpdaterFirmwarePanel");
        add("Bar", "FirmwareUpdaterFirmwarePanelRevisions", "FirmwareUpdaterFirmwarePanelRevisions",
            "FirmwareUpdaterFirmwarePanelBody");
        add("Bar", "FirmwareUpdaterFirmwarePanelRevisionsRow", nullptr, "FirmwareUpdaterFirmwarePanelRevisions");
        add("Label", "Value", "FirmwareUpdaterInstalledFirmwareRevisionValue",
            "FirmwareUpdaterFirmwarePanelRevisionsRow");
        add("Bar", "FirmwareUpdaterInfoPanel", "Panel", "FirmwareUpdaterBodyPanel");
        add("Label", "FirmwareUpdaterInfoPanelIcon", nullptr, "FirmwareUpdaterInfoPanel");
        add("Bar", "FirmwareUpdaterSpinningProgressWheel", "Panel", "FirmwareUpdaterInfoPanel");
        add("Bar", "FirmwareUpdaterButtonPanel", "Panel", "FirmwareUpdaterBodyPanel");
        add("Button", "FirmwareUpdaterButtonAction", nullptr, "FirmwareUpdaterButtonPanel");
        add("Button", "FirmwareUpdaterButtonQuit", nullptr, "FirmwareUpdaterButtonPanel");
        add("Button", "FirmwareUpdaterOverlay", nullptr, "FirmwareUpdaterMainWidget");
        add("Bar", "FirmwareUpdaterOverlayPanel", "Panel", "FirmwareUpdaterOverlay");
        add("Label", "FirmwareUpdaterAboutTitle", nullptr, "FirmwareUpdaterOverlayPanel");
        pane.setSize(628, 336);
        pane.setRoot(widgets.at("FirmwareUpdaterMainWidget"), "FirmwareUpdaterMainWidget");
    }
    ~UpdaterSkinCascadeTest() override
    {
        pane.setRoot(nullptr);
        widgets.clear();
        HWL::shutdown();
    }

    void add(const char* type, const char* id, const char* style, const char* parent)
    {
        auto widget = std::make_shared<TypedWidget>(type);
        if (style)
            widget->setStyle(style);
        if (parent)
            widgets.at(parent)->addChild(widget, id);
        widgets[id] = widget;
    }

    // Presses the left button on the widget, through the pane as the window would.
    void press(HWL::Widget& widget)
    {
        widget.setGeometryForTesting(GP::Point{0, 0}, GP::Rect{0, 0, 628, 336});
        for (HWL::Widget* w = widget.getParent(); w; w = w->getParent())
            w->setGeometryForTesting(GP::Point{0, 0}, GP::Rect{0, 0, 628, 336});
        UIA::MouseEventData data{};
        data.x = 10;
        data.y = 10;
        data.button = UIA::kMouseButtonLeft;
        data.kind = UIA::kMousePress;
        pane.handleEvent(UIA::kEventMouseButton, &data);
    }

    // The picture a rule of the sheet makes of the named file with its frame count and the
    // rule's margin declarations.
    const UIA::Picture* skinPicture(const std::string& name, int frames, const std::string& margins)
    {
        HWL::StyleParser2 parser(nullptr);
        const std::string rule =
            "x { image: url('" + name + "'); animations: " + std::to_string(frames) + "; " + margins + " }";
        EXPECT_TRUE(parser.processBuffer(rule, "rule"));
        const auto derived = HWL::StyleSheet::derive(parser.getRules().at(0), HWL::getDefaultFontDesc());
        return HWL::getManager()->loadCachedPicture(name, derived.picture->description, 1.0f).get();
    }

    const UIA::Font* skinFont(int size)
    {
        UIA::FontDesc description = HWL::getDefaultFontDesc();
        description.name = "ferro.ttf";
        description.resourceId = 0;
        description.size = size;
        return HWL::getManager()->getFont(description);
    }

    HWL::TEST::ScratchFolders folders;
    HWL::TEST::SkinLookupScope lookup{false};
    HWL::Pane pane;
    std::map<std::string, std::shared_ptr<TypedWidget>> widgets;
};

TEST_P(UpdaterSkinCascadeTest, ResolvesTheRulesFrame)
{
    const tSkinCase& c = GetParam();
    TypedWidget& widget = *widgets.at(c.widget);
    if (c.attribute)
        widget.setAttribute(c.attribute, c.value);
    switch (c.state) {
    case eState::Normal:
        break;
    case eState::Down:
        press(widget);
        ASSERT_EQ(pane.getPressed(), &widget);
        break;
    case eState::Over:
        pane.setHovered(&widget);
        break;
    case eState::Disabled:
        widget.setEnabled(false);
        break;
    case eState::Focus:
        widget.changeFlags(HWL::Widget::eFocusable, 0);
        pane.setFocusWidget(&widget);
        ASSERT_EQ(pane.getFocusWidget(), &widget);
        break;
    }
    HWL::StyleSheets& sheets = HWL::getStyleSheets();
    HWL::StyleData& data = sheets.getStyleData(widget);
    sheets.resolveStyleData(data);
    EXPECT_EQ(data.getAnimationIndex(), c.frame);
    if (c.picture) {
        std::string name = c.picture;
        std::string margins;
        if (const std::size_t bar = name.find('|'); bar != std::string::npos) {
            margins = name.substr(bar + 1);
            name.resize(bar);
        }
        const TEST::PictureRow* row = TEST::findPicture(name);
        ASSERT_NE(row, nullptr);
        const UIA::Picture* expected = skinPicture(name, row->frames, margins);
        ASSERT_NE(expected, nullptr);
        EXPECT_EQ(data.getPicture().get(1.0f), expected);
    }
    if (c.fontSize) {
        const UIA::Font* expected = skinFont(c.fontSize);
        ASSERT_NE(expected, nullptr);
        EXPECT_EQ(data.getFont(), expected);
        EXPECT_EQ(widget.getFont(), expected);
    }
}

constexpr const char* kWheel = "FirmwareUpdaterSpinningProgressWheel";
constexpr const char* kAction = "FirmwareUpdaterButtonAction";
constexpr const char* kQuit = "FirmwareUpdaterButtonQuit";
constexpr const char* kButton = "button_forward_FU.png";
constexpr const char* kFocusButton = "button_forward_focus_FU.png";

INSTANTIATE_TEST_SUITE_P(
    Skin, UpdaterSkinCascadeTest,
    ::testing::Values(
        tSkinCase{"InfoError", "FirmwareUpdaterInfoPanel", "background", "error", eState::Normal, 0, "Bg_Status.png|fixed: 6;", 12},
        tSkinCase{"InfoOk", "FirmwareUpdaterInfoPanel", "background", "ok", eState::Normal, 1, "Bg_Status.png|fixed: 6;", 0},
        tSkinCase{"InfoInfo", "FirmwareUpdaterInfoPanel", "background", "info", eState::Normal, 2, "Bg_Status.png|fixed: 6;", 0},
        tSkinCase{"IconOk", "FirmwareUpdaterInfoPanelIcon", "icon", "ok", eState::Normal, 0, "Icon_Big_Status.png", 0},
        tSkinCase{"IconError", "FirmwareUpdaterInfoPanelIcon", "icon", "error", eState::Normal, 1,
                  "Icon_Big_Status.png", 0},
        tSkinCase{"StateNeutral", "Value", "state", "neutral", eState::Normal, 0, "Text_Display.png", 12},
        tSkinCase{"StateSuccess", "Value", "state", "success", eState::Normal, 1, "Text_Display.png", 0},
        tSkinCase{"StateFail", "Value", "state", "fail", eState::Normal, 2, "Text_Display.png", 0},
        tSkinCase{"StepS0", kWheel, "step", "S0", eState::Normal, 0, "Busywheel.png", 0},
        tSkinCase{"StepS1", kWheel, "step", "S1", eState::Normal, 1, nullptr, 0},
        tSkinCase{"StepS2", kWheel, "step", "S2", eState::Normal, 2, nullptr, 0},
        tSkinCase{"StepS3", kWheel, "step", "S3", eState::Normal, 3, nullptr, 0},
        tSkinCase{"StepS4", kWheel, "step", "S4", eState::Normal, 4, nullptr, 0},
        tSkinCase{"StepS5", kWheel, "step", "S5", eState::Normal, 5, nullptr, 0},
        tSkinCase{"StepS6", kWheel, "step", "S6", eState::Normal, 6, nullptr, 0},
        tSkinCase{"StepS7", kWheel, "step", "S7", eState::Normal, 7, nullptr, 0},
        tSkinCase{"StepS8", kWheel, "step", "S8", eState::Normal, 8, nullptr, 0},
        tSkinCase{"StepS9", kWheel, "step", "S9", eState::Normal, 9, nullptr, 0},
        tSkinCase{"StepS10", kWheel, "step", "S10", eState::Normal, 10, nullptr, 0},
        tSkinCase{"StepS11", kWheel, "step", "S11", eState::Normal, 11, "Busywheel.png", 0},
        tSkinCase{"ActionNormal", kAction, "hasFocus", "false", eState::Normal, 0, kButton, 13},
        tSkinCase{"ActionDown", kAction, nullptr, nullptr, eState::Down, 2, kButton, 0},
        tSkinCase{"ActionOver", kAction, nullptr, nullptr, eState::Over, 4, kButton, 0},
        tSkinCase{"ActionDisabled", kAction, nullptr, nullptr, eState::Disabled, 6, kButton, 0},
        tSkinCase{"ActionOverWithFocus", kAction, "hasFocus", "true", eState::Over, 4, kFocusButton, 0},
        tSkinCase{"QuitNormal", kQuit, nullptr, nullptr, eState::Normal, 0, kButton, 13},
        tSkinCase{"QuitDown", kQuit, "hasFocus", "false", eState::Down, 2, kButton, 0},
        tSkinCase{"QuitOver", kQuit, nullptr, nullptr, eState::Over, 4, kButton, 0},
        tSkinCase{"QuitDisabled", kQuit, "hasFocus", "true", eState::Disabled, 6, kFocusButton, 0},
        tSkinCase{"QuitOverWithFocus", kQuit, "hasFocus", "true", eState::Over, 4, kFocusButton, 0},
        tSkinCase{"QuitWithKeyboardFocus", kQuit, nullptr, nullptr, eState::Focus, 6, kButton, 0},
        tSkinCase{"AboutTitle", "FirmwareUpdaterAboutTitle", nullptr, nullptr, eState::Normal, 0, nullptr, 16},
        tSkinCase{"AboutTitleLarge", "FirmwareUpdaterAboutTitle", "titleLength", "large", eState::Normal, 0,
                  nullptr, 14}),
    [](const ::testing::TestParamInfo<tSkinCase>& info) { return std::string(info.param.name); });

}  // namespace
