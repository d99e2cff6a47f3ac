#include "gp/src/common/abbreviation/TextAbbreviator.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <vector>

#include "gp/src/common/abbreviation/FolderTags.h"
#include "gp/src/common/text/Utf8.h"

namespace HA::GP {

namespace {

constexpr char kSeparator = '\\';

bool isAsciiAlnum(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Widths are computed in 64 bits so that no sum or difference of two callback results
// overflows; the callbacks get them back clamped to 32 bits.
std::int32_t toCallbackWidth(std::int64_t width)
{
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(width, std::numeric_limits<std::int32_t>::min(),
                                                             std::numeric_limits<std::int32_t>::max()));
}

// The largest code-point boundary at or before byte n (walking from the start validates).
std::size_t boundaryAtOrBefore(const std::string& text, std::size_t n)
{
    std::size_t pos = 0;
    while (pos < n) {
        std::size_t next = pos;
        decodeCodePoint(text, next);
        if (next > n)
            break;
        pos = next;
    }
    return pos;
}

std::size_t bytesOfCodePoints(const std::string& text, std::size_t count)
{
    std::size_t pos = 0;
    for (std::size_t i = 0; i < count && pos < text.size(); ++i)
        decodeCodePoint(text, pos);
    return pos;
}

void dropLastCodePoint(std::string& text)
{
    text.erase(previousCodePoint(text, text.size()));
}

void dropFirstCodePoint(std::string& text)
{
    std::size_t pos = 0;
    decodeCodePoint(text, pos);
    text.erase(0, pos);
}

void collapseRuns(std::string& text)
{
    text.erase(std::unique(text.begin(), text.end()), text.end());
}

void keepAsciiAlnum(std::string& text)
{
    text.erase(std::remove_if(text.begin(), text.end(), [](char c) { return !isAsciiAlnum(c); }), text.end());
}

// Removes every occurrence of part that starts at index 1 or later; the first character stays.
void removeAfterFirst(std::string& text, const std::string& part)
{
    for (std::size_t pos = text.find(part, 1); pos != std::string::npos; pos = text.find(part, std::max<std::size_t>(pos, 1)))
        text.erase(pos, part.size());
}

void removeVowelsAfterFirst(std::string& text)
{
    static const char kVowels[] = "eaiou";
    for (const char* v = kVowels; *v; ++v)
        removeAfterFirst(text, std::string(1, *v));
}

std::string join(const std::vector<std::string>& words)
{
    std::string out;
    for (const std::string& w : words)
        out += w;
    return out;
}

// One abbreviation: the width, the callbacks and the ellipsis, with one function per strategy.
class Abbreviation {
public:
    Abbreviation(std::int64_t width, const TextAbbreviator::tWidthFunction& widthOf,
                 const TextAbbreviator::tFitFunction& fitOf, const std::string& ellipsis)
        : mWidth(width), mWidthOf(widthOf), mFitOf(fitOf), mEllipsis(ellipsis)
    {
    }

    std::string cutEnd(const std::string& text) const;
    std::string cutStart(const std::string& text) const;
    std::string path(const std::string& text, std::int32_t mode) const;
    std::string squeeze(const std::string& text) const;
    std::string words(const std::string& text) const;
    std::string replace(const std::string& text, const std::map<std::string, std::string>& replacements) const;
    std::string cutMiddle(const std::string& text) const;
    std::string balancedMiddle(const std::string& text) const;

private:
    std::int64_t widthOf(const std::string& text) const { return mWidthOf(text.c_str()); }
    bool fits(const std::string& text) const { return widthOf(text) <= mWidth; }
    bool ellipsisFits() const { return widthOf(mEllipsis) <= mWidth; }
    // The ellipsis width, or 0 when the ellipsis alone does not fit.
    std::int64_t ellipsisWidthOrZero() const
    {
        const std::int64_t w = widthOf(mEllipsis);
        return w > mWidth ? 0 : w;
    }
    // Leading bytes of text that fit into width, never beyond the text nor inside a code point.
    std::size_t fitBytes(const std::string& text, std::int64_t width) const
    {
        const std::int64_t n = mFitOf(text.c_str(), toCallbackWidth(width));
        return boundaryAtOrBefore(text, static_cast<std::size_t>(std::clamp<std::int64_t>(n, 0, static_cast<std::int64_t>(text.size()))));
    }
    Abbreviation withWidthAtLeastZero() const { return Abbreviation(std::max<std::int64_t>(0, mWidth), mWidthOf, mFitOf, mEllipsis); }

    std::int64_t mWidth;
    const TextAbbreviator::tWidthFunction& mWidthOf;
    const TextAbbreviator::tFitFunction& mFitOf;
    const std::string& mEllipsis;
};

std::string Abbreviation::cutEnd(const std::string& text) const
{
    if (text.empty() || fits(text))
        return text;
    const std::int64_t ellipsisWidth = ellipsisWidthOrZero();
    std::size_t n = fitBytes(text, mWidth - ellipsisWidth);
    if (ellipsisWidth == 0)
        return text.substr(0, n);
    std::string candidate = text.substr(0, n) + mEllipsis;
    if (!fits(candidate)) {
        // Ends at the ellipsis alone, which fits.
        while (n > 0) {
            n = previousCodePoint(text, n);
            candidate = text.substr(0, n) + mEllipsis;
            if (fits(candidate))
                break;
        }
        return candidate;
    }
    while (n < text.size()) {
        std::size_t next = n;
        decodeCodePoint(text, next);
        std::string longer = text.substr(0, next) + mEllipsis;
        if (!fits(longer))
            break;
        n = next;
        candidate = std::move(longer);
    }
    return candidate;
}

std::string Abbreviation::cutStart(const std::string& text) const
{
    if (text.empty() || fits(text))
        return text;
    const std::int64_t ellipsisWidth = ellipsisWidthOrZero();
    const std::string lead = ellipsisWidth == 0 ? std::string() : mEllipsis;
    const std::int64_t excess = std::max<std::int64_t>(0, widthOf(text) - ellipsisWidth - mWidth);
    std::size_t start = fitBytes(text, excess);
    // The bytes that fit into the excess leave the rest at least as wide as the width, so the
    // rest is shortened further also without an ellipsis.
    for (;;) {
        std::string candidate = lead + text.substr(start);
        if (start >= text.size() || fits(candidate))
            return candidate;
        decodeCodePoint(text, start);
    }
}

std::string Abbreviation::path(const std::string& text, std::int32_t mode) const
{
    std::string p = text;
    if (mode == TextAbbreviator::ePathSpecialFolders || mode == TextAbbreviator::ePathSpecialFoldersNoTrailingSeparator)
        p = DETAIL::specialFolderTags().apply(p);
    else if (mode == TextAbbreviator::ePathKnownFolders)
        p = DETAIL::knownFolderTags().apply(p);
    if ((mode == TextAbbreviator::ePathNoTrailingSeparator || mode == TextAbbreviator::ePathSpecialFoldersNoTrailingSeparator) &&
        !p.empty() && p.back() == kSeparator)
        p.pop_back();
    if (p.empty() || fits(p))
        return p;
    if (!ellipsisFits())
        return cutStart(p);

    std::size_t first = p.find(kSeparator);
    std::size_t last = p.rfind(kSeparator);
    if (last != std::string::npos && last + 1 == p.size())
        last = last == 0 ? std::string::npos : p.rfind(kSeparator, last - 1);
    if (first == std::string::npos || last == std::string::npos || first >= last)
        return cutStart(p);
    auto build = [&] { return p.substr(0, first + 1) + mEllipsis + p.substr(last); };
    std::string candidate = build();
    if (!fits(candidate))
        return cutStart(p);
    // Each round moves one side by one separator towards the other, so the loop ends when
    // they meet.
    bool widenRight = true;
    while (widthOf(candidate) < mWidth - 10) {
        std::string remembered = candidate;
        if (widenRight)
            last = p.rfind(kSeparator, last - 1);
        else
            first = p.find(kSeparator, first + 1);
        widenRight = !widenRight;
        if (first >= last)
            return remembered;
        candidate = build();
        const std::int64_t w = widthOf(candidate);
        if (w > mWidth)
            return remembered;
        if (w >= mWidth - 10)
            return candidate;
    }
    return candidate;
}

std::string Abbreviation::squeeze(const std::string& text) const
{
    if (mWidth < 1)
        return {};
    if (fits(text))
        return text;
    std::string s = text;
    s.erase(std::remove(s.begin(), s.end(), ' '), s.end());
    if (fits(s))
        return s;
    keepAsciiAlnum(s);
    if (fits(s))
        return s;
    collapseRuns(s);
    if (fits(s))
        return s;
    for (const char* digraph : {"ei", "ie", "ou", "ue"}) {
        removeAfterFirst(s, digraph);
        if (fits(s))
            return s;
    }
    for (const char* vowel : {"e", "a", "i", "o", "u"}) {
        removeAfterFirst(s, vowel);
        if (fits(s))
            return s;
    }
    return s.substr(0, fitBytes(s, mWidth));
}

std::string Abbreviation::words(const std::string& text) const
{
    if (mWidth < 0)
        return withWidthAtLeastZero().words(text);
    if (fits(text))
        return text;
    std::vector<std::string> words;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t end = std::min(text.find(' ', pos), text.size());
        if (end > pos) {
            std::string word = text.substr(pos, end - pos);
            keepAsciiAlnum(word);
            if (!word.empty()) {
                word[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(word[0])));
                words.push_back(std::move(word));
            }
        }
        pos = end + 1;
    }
    std::string joined = join(words);
    if (fits(joined))
        return joined;
    for (std::string& w : words)
        collapseRuns(w);
    joined = join(words);
    if (fits(joined))
        return joined;
    for (std::string& w : words)
        removeVowelsAfterFirst(w);
    joined = join(words);
    if (fits(joined))
        return joined;
    for (std::size_t keep = 5; keep >= 2; --keep) {
        for (std::string& w : words) {
            if (w.size() > keep && w.find_first_of("0123456789") == std::string::npos)
                w.resize(keep);
        }
        joined = join(words);
        if (fits(joined))
            return joined;
    }
    return joined.substr(0, fitBytes(joined, mWidth));
}

std::string Abbreviation::replace(const std::string& text, const std::map<std::string, std::string>& replacements) const
{
    if (fits(text))
        return text;
    std::string s = text;
    for (const auto& [key, value] : replacements) {
        // An empty key would match everywhere, forever.
        if (key.empty())
            continue;
        std::size_t from = 0;
        for (;;) {
            const std::ptrdiff_t found = findNoCase(s, key, from);
            if (found < 0)
                break;
            const std::size_t pos = static_cast<std::size_t>(found);
            // Upper-cased code points may differ in length: replace what matched in the text.
            s.replace(pos, compareNoCase(s, pos, key), value);
            from = pos + value.size();
            if (fits(s))
                return s;
        }
    }
    return words(s);
}

std::string Abbreviation::cutMiddle(const std::string& text) const
{
    if (fits(text))
        return text;
    if (!ellipsisFits())
        return cutEnd(text);
    const std::int64_t ellipsisWidth = widthOf(mEllipsis);
    const std::int64_t textWidth = widthOf(text);
    const std::string prefix = text.substr(0, fitBytes(text, (mWidth - ellipsisWidth) / 2));
    // The suffix never starts inside the prefix, whatever the fit callback answers.
    std::size_t suffixStart =
        std::max(prefix.size(), fitBytes(text, std::max<std::int64_t>(0, textWidth - (ellipsisWidth + mWidth) / 2)));
    for (;;) {
        std::string candidate = prefix + mEllipsis + text.substr(suffixStart);
        if (suffixStart >= text.size() || fits(candidate))
            return candidate;
        decodeCodePoint(text, suffixStart);
    }
}

std::string Abbreviation::balancedMiddle(const std::string& text) const
{
    if (mWidth < 0)
        return withWidthAtLeastZero().balancedMiddle(text);
    if (fits(text))
        return text;
    const std::int64_t textWidth = widthOf(text);
    const std::size_t total = countCodePoints(text);
    const std::size_t fitting = countCodePoints(text.substr(0, fitBytes(text, std::max<std::int64_t>(1, mWidth / 2))));
    const std::size_t tail =
        countCodePoints(text.substr(fitBytes(text, std::max<std::int64_t>(1, textWidth - mWidth / 2))));
    // A short text leaves the prefix empty rather than a negative count.
    const std::size_t reserved = std::max<std::size_t>(4, tail);
    const std::size_t prefixCount = std::min(fitting, total > reserved ? total - reserved : 0);

    std::string prefix = text.substr(0, bytesOfCodePoints(text, prefixCount));
    std::string suffix = text.substr(prefix.size());
    std::string ellipsis = mEllipsis;
    std::size_t p = prefixCount;
    std::size_t s = total - prefixCount;
    std::size_t e = countCodePoints(ellipsis);
    // Every round drops one code point, so the loop ends when nothing is left.
    while (p + s + e > 0 && !fits(prefix + ellipsis + suffix)) {
        const std::size_t k = p + s;
        if ((k < 8 && e > 2) || (k < 4 && e > 1) || (k < 3 && e > 0)) {
            dropLastCodePoint(ellipsis);
            --e;
        } else if (p > 0 && (p >= s || s < 5)) {
            dropLastCodePoint(prefix);
            --p;
        } else if (s > 0) {
            dropFirstCodePoint(suffix);
            --s;
        } else {
            dropLastCodePoint(ellipsis);
            --e;
        }
    }
    while (!prefix.empty() && prefix.back() == ' ')
        prefix.pop_back();
    suffix.erase(0, std::min(suffix.find_first_not_of(' '), suffix.size()));
    return prefix + ellipsis + suffix;
}

}  // namespace

std::string TextAbbreviator::abbreviate(const std::string& text, std::int32_t width, const tWidthFunction& widthOf,
                                        const tFitFunction& fitOf) const
{
    if (text.empty() || mMode < eCutEnd || mMode > eBalancedMiddle)
        return text;
    if (!widthOf || !fitOf)
        throw std::bad_function_call();
    const Abbreviation a(width, widthOf, fitOf, mEllipsis);
    switch (mMode) {
    case eCutEnd:
        return a.cutEnd(text);
    case eCutStart:
        return a.cutStart(text);
    case eSqueeze:
        return a.squeeze(text);
    case eWords:
        return a.words(text);
    case eReplacements:
        return a.replace(text, mReplacements);
    case eCutMiddle:
        return a.cutMiddle(text);
    case eBalancedMiddle:
        return a.balancedMiddle(text);
    default:
        return a.path(text, mMode);
    }
}

}  // namespace HA::GP
