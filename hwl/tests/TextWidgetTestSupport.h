#pragma once
// A pane for the text widgets whose style sheet gives every widget a monospaced font from a
// scratch skin folder, so that text widths are character counts. The library is started for
// the fixture's lifetime.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "hwl/core/src/cascade/StyleSheets.h"
#include "hwl/core/src/library/Init.h"
#include "hwl/core/src/resources/ManagerContainer.h"
#include "hwl/core/src/style/StyleParser2.h"
#include "hwl/core/src/tree/Pane.h"
#include "hwl/tests/ResourceTestSupport.h"
#include "hwl/tests/WidgetTestSupport.h"
#include "uia/graphics/text/Font.h"
#include "uia/tests/FontTestSupport.h"

namespace HA::HWL::Testing {

constexpr const char* kMonoFontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";
constexpr int kMonoFontSize = 16;

// The font's line height at scale 1, for sizes needed before a pane exists.
inline int monoLineHeight()
{
    UIA::FreeTypeContext engine;
    UIA::FontDesc description;
    description.name = "mono.ttf";
    description.size = kMonoFontSize;
    description.engine = &engine;
    return UIA::TEST::fontFromBytes(UIA::TEST::readFile(kMonoFontPath), description)->getLineHeight();
}

class TextWidgetPane {
public:
    // rules: more style rules after the one that gives every widget the font and black text
    // (and replaces the built-in rules).
    explicit TextWidgetPane(const std::string& rules = std::string())
    {
        static_cast<void>(UIA::TEST::kFreeTypePropertiesCleared);
        TEST::writeFile(folders.work() / "skin" / "fonts" / "mono.ttf", UIA::TEST::readFile(kMonoFontPath));
        init();
        load(rules);
        pane.setSize(400, 300);
        root = makeWidget();
        pane.setRoot(root, "root");
        place(*root, 0, 0, 400, 300);
    }
    ~TextWidgetPane()
    {
        pane.setRoot(nullptr);
        root.reset();
        shutdown();
    }
    TextWidgetPane(const TextWidgetPane&) = delete;
    TextWidgetPane& operator=(const TextWidgetPane&) = delete;

    // Replaces the sheet: the font rule, then rules.
    void load(const std::string& rules)
    {
        const std::string text =
            "* { font-name: url(\"mono.ttf\"); font-size: " + std::to_string(kMonoFontSize) +
            "; foreground-color: rgb(0, 0, 0); }\n" + rules;
        StyleParser2::processString(getStyleSheets().getGlobalSheet(), text.c_str());
    }
    // The monospaced font as the widgets get it.
    const UIA::Font& font() const { return *root->getFont(); }
    int advance() const { return font().getTextWidth("M"); }
    int lineHeight() const { return font().getLineHeight(); }

    TEST::ScratchFolders folders;
    TEST::SkinLookupScope lookup{true};
    Pane pane;
    std::shared_ptr<TestWidget> root;
};

}  // namespace HA::HWL::Testing
