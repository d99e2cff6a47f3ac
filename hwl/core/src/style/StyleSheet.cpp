#include "hwl/core/src/style/StyleSheet.h"

#include <cstring>

#include "gp/src/common/storage/Stream.h"
#include "hwl/core/src/style/StyleConversions.h"
#include "hwl/core/src/style/StyledWidget.h"

namespace HA::HWL {

std::size_t StyleSheet::tAddressHash::operator()(const IStyledWidget* widget) const
{
    auto address = reinterpret_cast<std::uintptr_t>(widget);
    uint32_t hash = 2166136261u;
    for (std::size_t i = 0; i < sizeof(address); ++i) {
        hash ^= static_cast<uint32_t>(address & 0xFF);
        hash *= 16777619u;
        address >>= 8;
    }
    return hash;
}

StyleSheet::StyleSheet(IStyleResources* owner)
    : mOwner(owner), mMatchCache(kMatchCacheBuckets)
{
    mMatchCache.max_load_factor(1.0f);
}

void StyleSheet::loadResource(const std::string& name)
{
    std::shared_ptr<GP::Stream> stream = openStyleSheet(name);
    if (stream) {
        StyleParser2 parser(this);
        if (parser.processStream(stream.get(), name)) {
            applyParseResult(parser.getRules());
            mImportedNames = parser.getImportedNames();
        }
    }
    clearMatchCache();
}

std::shared_ptr<GP::Stream> StyleSheet::openStyleSheet(const std::string& name) const
{
    if (!mOwner)
        return nullptr;
    return mOwner->getResourceStream(name, IStyleResources::KindStyleSheet, true);
}

void StyleSheet::clearMatchCache()
{
    mMatchCache = tMatchCache(kMatchCacheBuckets);
    mMatchCache.max_load_factor(1.0f);
}

void StyleSheet::addDeclaration(const StyleParser2::tRule& rule, const StyleParser2::tDeclaration& declaration)
{
    auto& byspecificity = mDeclarations[declaration.name];
    for (const Selector& selector : rule.selectors)
        byspecificity.emplace(selector.specificity(), tSelectorValue{selector, declaration});
}

namespace {

// The integer of a font-*, fixed*, relative-* or animations declaration: plain or px, and an
// int; anything else is no integer.
const int* integerOf(const StyleParser2::tDeclaration& d)
{
    if (d.unit != Property::Number && d.unit != Property::Pixels)
        return nullptr;
    return std::get_if<int>(&d.value);
}

const std::string* textOf(const StyleParser2::tDeclaration& d, Property::eUnit unit)
{
    if (d.unit != unit)
        return nullptr;
    return std::get_if<std::string>(&d.value);
}

}  // namespace

StyleSheet::tDerived StyleSheet::derive(const StyleParser2::tRule& rule, const FontDesc& defaultFont)
{
    namespace N = StyleNames;
    tDerived derived;
    FontDesc font = defaultFont;
    bool fontGiven = false;
    bool family = false;
    bool nameGiven = false;
    UIA::PictureProperties pictures[2];
    for (UIA::PictureProperties& p : pictures)
        p.setFrameCount(1);
    std::optional<std::string> pictureNames[2];
    std::optional<GP::Point> displacements[2];

    auto setMargins = [&](int value, bool top, bool bottom, bool left, bool right) {
        for (UIA::PictureProperties& p : pictures) {
            if (top)
                p.setTopMargin(value);
            if (bottom)
                p.setBottomMargin(value);
            if (left)
                p.setLeftMargin(value);
            if (right)
                p.setRightMargin(value);
            if (top || bottom)
                p.setVerticalMarginsEnabled(true);
            if (left || right)
                p.setHorizontalMarginsEnabled(true);
        }
    };

    for (const StyleParser2::tDeclaration& d : rule.declarations) {
        const ha::symbol name = d.name;
        if (name == N::fontSize) {
            // A huge size would make the renderer draw glyphs of that many pixels.
            if (const int* v = integerOf(d); v && *v <= kMaximumFontSize) {
                font.size = *v;
                fontGiven = true;
            }
        } else if (name == N::fontHinting) {
            if (d.unit == Property::Bool) {
                if (const bool* v = std::get_if<bool>(&d.value)) {
                    font.flags = *v ? (font.flags | FontDesc::Hinting) : (font.flags & ~unsigned(FontDesc::Hinting));
                    fontGiven = true;
                }
            }
        } else if (name == N::fontStyle) {
            if (const std::string* v = textOf(d, Property::String)) {
                if (*v == "bold")
                    font.flags |= FontDesc::Bold;
                else if (*v == "italic")
                    font.flags |= FontDesc::Italic;
                else if (*v == "underline")
                    font.flags |= FontDesc::Underline;
                fontGiven = true;
            }
        } else if (name == N::fontResid) {
            if (d.unit == Property::Number) {
                if (const int* v = std::get_if<int>(&d.value)) {
                    font.resourceId = *v;
                    fontGiven = true;
                }
            }
        } else if (name == N::fontName) {
            if (const std::string* v = textOf(d, Property::Url)) {
                font.name = *v;
                nameGiven = true;
                fontGiven = true;
            }
        } else if (name == N::fontFamily) {
            if (d.unit == Property::Number || d.unit == Property::String) {
                if (const std::string* v = std::get_if<std::string>(&d.value)) {
                    font.name = *v;
                    nameGiven = true;
                    family = true;
                    fontGiven = true;
                }
            }
        } else if (name == N::image || name == N::dyeMask) {
            const int which = name == N::image ? 0 : 1;
            if (const std::string* v = textOf(d, Property::Url))
                pictureNames[which] = *v;
            else if (const std::string* w = textOf(d, Property::String); w && *w == "no")
                pictureNames[which] = std::string();
        } else if (name == N::animations || name == N::dyeMaskAnimations) {
            if (d.unit == Property::Number) {
                if (const int* v = std::get_if<int>(&d.value))
                    pictures[name == N::animations ? 0 : 1].setFrameCount(static_cast<uint32_t>(*v));
            }
        } else if (name == N::fixed) {
            if (const int* v = integerOf(d))
                setMargins(*v, true, true, true, true);
        } else if (name == N::fixedTop || name == N::fixedBottom || name == N::fixedLeft || name == N::fixedRight) {
            if (const int* v = integerOf(d))
                setMargins(*v, name == N::fixedTop, name == N::fixedBottom, name == N::fixedLeft, name == N::fixedRight);
        } else if (name == N::relativeLeft || name == N::relativeTop || name == N::foregroundRelativeLeft ||
                   name == N::foregroundRelativeTop) {
            if (const int* v = integerOf(d)) {
                const int which = (name == N::relativeLeft || name == N::relativeTop) ? 0 : 1;
                GP::Point& point = displacements[which] ? *displacements[which] : displacements[which].emplace();
                if (name == N::relativeLeft || name == N::foregroundRelativeLeft)
                    point.x = *v;
                else
                    point.y = *v;
            }
        }
    }

    if (pictureNames[0])
        derived.picture = tDerived::tPicture{*pictureNames[0], pictures[0]};
    if (pictureNames[1])
        derived.dyeMaskPicture = tDerived::tPicture{*pictureNames[1], pictures[1]};
    derived.pictureDisplacement = displacements[0];
    derived.textDisplacement = displacements[1];
    if (fontGiven) {
        if (nameGiven) {
            font.resourceId = 0;
            if (family)
                font.flags |= FontDesc::Family;
            derived.font = font;
        } else if (font.resourceId != defaultFont.resourceId || font.size != defaultFont.size ||
                   font.flags != defaultFont.flags) {
            font.name.clear();
            derived.font = font;
        }
    }
    return derived;
}

void StyleSheet::addDerived(const StyleParser2::tRule& rule, ha::symbol name, tStyleValue value, Property::eUnit unit)
{
    addDeclaration(rule, StyleParser2::tDeclaration{std::move(value), name, unit});
}

LazyPicture StyleSheet::makePicture(const tDerived::tPicture& picture) const
{
    if (picture.name.empty() || !mOwner)
        return LazyPicture();
    return mOwner->getPicture(picture.name, picture.description);
}

const UIA::Font* StyleSheet::makeFont(const FontDesc& desc) const
{
    return mOwner ? mOwner->getFont(desc) : nullptr;
}

void StyleSheet::applyParseResult(const std::vector<StyleParser2::tRule>& rules)
{
    // The cached matches point into the rules about to go.
    clearMatchCache();
    mRules.clear();
    mDeclarations.clear();
    for (const StyleParser2::tRule& rule : rules) {
        for (const StyleParser2::tDeclaration& declaration : rule.declarations)
            addDeclaration(rule, declaration);
        const tDerived derived = derive(rule, getDefaultFontDesc());
        if (derived.picture)
            addDerived(rule, StyleNames::picture, makePicture(*derived.picture), Property::Picture);
        if (derived.dyeMaskPicture)
            addDerived(rule, StyleNames::dyeMaskPicture, makePicture(*derived.dyeMaskPicture), Property::Picture);
        if (derived.pictureDisplacement)
            addDerived(rule, StyleNames::pictureDisplacement, *derived.pictureDisplacement, Property::Point);
        if (derived.textDisplacement)
            addDerived(rule, StyleNames::textDisplacement, *derived.textDisplacement, Property::Point);
        if (derived.font)
            addDerived(rule, StyleNames::font, makeFont(*derived.font), Property::Font);
    }
    rebuildRules();
}

void StyleSheet::rebuildRules()
{
    for (const auto& [property, entries] : mDeclarations) {
        std::vector<tSelectorValue>& list = mRules[property];
        list.reserve(entries.size());
        for (const auto& entry : entries)
            list.push_back(entry.second);
    }
}

const std::vector<const StyleSheet::tSelectorValue*>& StyleSheet::candidateRules(const IStyledWidget& widget,
                                                                                 ha::symbol property)
{
    tCandidates& candidates = mMatchCache[&widget];
    auto found = candidates.find(property);
    if (found != candidates.end())
        return found->second;
    std::vector<const tSelectorValue*>& list = candidates[property];
    auto rules = mRules.find(property);
    if (rules != mRules.end())
        for (const tSelectorValue& entry : rules->second)
            if (entry.selector.matches(widget, false))
                list.push_back(&entry);
    return list;
}

StyleSheet* StyleSheet::sheetFor(const IStyledWidget& widget)
{
    return widget.getStylingSheet();
}

std::vector<const StyleSheet::tSelectorValue*> StyleSheet::matchingRules(const IStyledWidget& widget, ha::symbol property)
{
    std::vector<const tSelectorValue*> result;
    StyleSheet* sheet = sheetFor(widget);
    if (!sheet)
        return result;
    for (const tSelectorValue* entry : sheet->candidateRules(widget, property))
        if (!entry->selector.hasAttributeTests() || entry->selector.matches(widget, true))
            result.push_back(entry);
    return result;
}

void StyleSheet::forgetWidget(const IStyledWidget* widget)
{
    mMatchCache.erase(widget);
}

}  // namespace HA::HWL
