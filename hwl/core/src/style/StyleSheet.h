#pragma once
// One parsed style sheet: its rules by property, best first. User-interface thread only.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "gp/src/common/geometry/Geometry.h"
#include "hwl/core/src/style/StyleParser2.h"
#include "hwl/core/src/style/StyleResources.h"
#include "uia/graphics/picture/PictureProperties.h"

namespace HA::GP {
class Stream;
}

namespace HA::HWL {

class IStyledWidget;

class StyleSheet {
public:
    struct tSelectorValue {
        Selector selector;
        StyleParser2::tDeclaration declaration;
    };
    // Per property, every {selector, value} of the sheet: descending specificity, equal
    // specificity in source order.
    using tRules = std::map<ha::symbol, std::vector<tSelectorValue>, SymbolLess>;
    // The staging form of tRules; a multimap keeps equal keys in insertion order.
    using tDeclarations =
        std::map<ha::symbol, std::multimap<uint32_t, tSelectorValue, std::greater<uint32_t>>, SymbolLess>;

    // FNV-1a over the address bytes, lowest first.
    struct tAddressHash {
        std::size_t operator()(const IStyledWidget* widget) const;
    };
    using tCandidates = std::map<ha::symbol, std::vector<const tSelectorValue*>, SymbolLess>;
    using tMatchCache = std::unordered_map<const IStyledWidget*, tCandidates, tAddressHash>;
    static constexpr std::size_t kMatchCacheBuckets = 8;

    // What a rule's font-*, image, dye-mask, animations, fixed* and relative-* declarations
    // make, before pictures and fonts are fetched.
    struct tDerived {
        struct tPicture {
            std::string name;  // empty for "no": no picture
            UIA::PictureProperties description;
        };
        std::optional<tPicture> picture;
        std::optional<tPicture> dyeMaskPicture;
        std::optional<GP::Point> pictureDisplacement;
        std::optional<GP::Point> textDisplacement;
        std::optional<FontDesc> font;
    };

    explicit StyleSheet(IStyleResources* owner);

    // Parses the style-sheet resource and, when it could be read, replaces the rules and the
    // imported names by what it gave. The match cache is cleared in every case.
    void loadResource(const std::string& name);
    // The style-sheet resource through the owner's resource look-up; null without an owner or
    // when it cannot be found (the look-up reports that).
    std::shared_ptr<GP::Stream> openStyleSheet(const std::string& name) const;

    // Replaces the sheet's content by the rules (in source order): every declaration as
    // itself, then per rule the derived "picture", "dye-mask-picture", "picture-displacement",
    // "text-displacement" and "font". A derivation whose value has the right unit but another
    // type is skipped; the declaration itself is kept.
    void applyParseResult(const std::vector<StyleParser2::tRule>& rules);
    // Adds {selector, declaration} for each selector of the rule, keyed by its specificity.
    void addDeclaration(const StyleParser2::tRule& rule, const StyleParser2::tDeclaration& declaration);
    // The derived values of one rule, starting from the default font description.
    static tDerived derive(const StyleParser2::tRule& rule, const FontDesc& defaultFont);

    // Empties the match cache and gives it back its starting buckets.
    void clearMatchCache();

    // The property's entries whose selectors match the widget without their attribute tests,
    // in rules order; matched once per widget and property, then kept in the match cache.
    const std::vector<const tSelectorValue*>& candidateRules(const IStyledWidget& widget, ha::symbol property);
    // The candidates of the widget's sheet (its pane's own sheet, else the global one) that
    // also pass their attribute tests; nothing for a widget without a pane.
    static std::vector<const tSelectorValue*> matchingRules(const IStyledWidget& widget, ha::symbol property);
    // The sheet that styles the widget, as IStyledWidget::getStylingSheet says.
    static StyleSheet* sheetFor(const IStyledWidget& widget);
    // The widget's match-cache entry goes.
    void forgetWidget(const IStyledWidget* widget);

    IStyleResources* getOwner() const { return mOwner; }
    const tRules& getRules() const { return mRules; }
    const tDeclarations& getDeclarations() const { return mDeclarations; }
    const std::set<std::string>& getImportedNames() const { return mImportedNames; }
    void setImportedNames(std::set<std::string> names) { mImportedNames = std::move(names); }
    tMatchCache& getMatchCache() { return mMatchCache; }

private:
    void rebuildRules();
    void addDerived(const StyleParser2::tRule& rule, ha::symbol name, tStyleValue value, Property::eUnit unit);
    LazyPicture makePicture(const tDerived::tPicture& picture) const;
    const UIA::Font* makeFont(const FontDesc& desc) const;

    IStyleResources* mOwner;
    tRules mRules;
    tDeclarations mDeclarations;
    std::set<std::string> mImportedNames;
    tMatchCache mMatchCache;
};

}  // namespace HA::HWL
