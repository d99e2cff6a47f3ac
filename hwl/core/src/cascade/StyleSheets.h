#pragma once
// The style sheets of the resource manager: the global sheet first, named sheets after it.
// User-interface thread only.

#include <list>
#include <map>
#include <string>

#include "hwl/core/src/cascade/StyleData.h"
#include "hwl/core/src/style/StyleSheet.h"

namespace HA::HWL {

class IStyledWidget;

class StyleSheets {
public:
    struct tNamedSheet {
        std::string name;
        StyleSheet sheet;
    };

    // The global sheet, with the built-in rules.
    explicit StyleSheets(IStyleResources* owner);

    // Loads the style-sheet resource into the global sheet, unless it is the one loaded last.
    // A failure leaves the previous rules; it is reported through the error listeners.
    void load(const std::string& name);

    StyleSheet& getGlobalSheet() { return mSheets.front().sheet; }
    // The sheet that styles the widget: its pane's own sheet, else the global sheet; null for a
    // widget without a pane (it has no style values).
    StyleSheet* getSheetFor(const IStyledWidget& widget);
    const std::list<tNamedSheet>& getSheets() const { return mSheets; }
    IStyleResources* getOwner() const { return mOwner; }

    // The rules every new global sheet starts with.
    static const char* const kBuiltInStyles;

    // The widget's resolved style; a new record has empty lists and the default font.
    StyleData& getStyleData(const IStyledWidget& widget);
    // Refills every list of the record from the rules that match its widget now.
    void resolveStyleData(StyleData& data);
    // The widget's resolved style goes, and so do its matches in every sheet.
    void forgetWidget(const IStyledWidget* widget);
    // Every sheet forgets the widget's matches.
    void forgetMatches(const IStyledWidget* widget);
    const std::map<const IStyledWidget*, StyleData>& getStyleDataCache() const { return mStyleData; }

private:
    IStyleResources* mOwner;
    std::list<tNamedSheet> mSheets;
    std::map<const IStyledWidget*, StyleData> mStyleData;
};

}  // namespace HA::HWL
