#pragma once
// Shortens a UTF-8 text until a width callback accepts it, by one of fourteen modes. The
// abbreviator measures nothing itself: the caller passes a width callback and a fit callback.
// Used on the user-interface thread.

#include <cstdint>
#include <functional>
#include <map>
#include <string>

namespace HA::GP {

class TextAbbreviator {
public:
    // Width of a NUL-terminated UTF-8 text, in the caller's units.
    using tWidthFunction = std::function<std::int32_t(const char* text)>;
    // How many leading bytes of a NUL-terminated UTF-8 text fit into a width.
    using tFitFunction = std::function<std::int32_t(const char* text, std::int32_t width)>;

    enum eMode : std::int32_t {
        eUnchanged = 0,       // the text as it is
        eCutEnd = 1,          // prefix + ellipsis
        eCutStart = 2,        // ellipsis + suffix
        ePath = 3,            // first component + ellipsis + last components ('\' separates)
        ePathSpecialFolders = 4,  // as ePath, a special-folder prefix replaced by its tag
        ePathNoTrailingSeparator = 5,  // as ePath, one trailing '\' removed
        ePathSpecialFoldersNoTrailingSeparator = 6,  // 4 and 5 together
        ePathPlain = 7,       // as ePath
        ePathKnownFolders = 8,  // as ePath, a known-folder prefix replaced by its tag
        eSqueeze = 9,         // drop blanks, punctuation, doubled letters, digraphs, vowels, then cut
        eWords = 10,          // capitalised words joined, then squeezed word by word, then cut
        eReplacements = 11,   // dictionary replacements, then eWords
        eCutMiddle = 12,      // prefix + ellipsis + suffix
        eBalancedMiddle = 13  // balanced middle cut by code points, blanks at the cut trimmed
    };

    TextAbbreviator() = default;

    // Any value outside 0 to 13 behaves like eUnchanged.
    void setMode(std::int32_t mode) { mMode = mode; }
    std::int32_t getMode() const { return mMode; }
    // Inserted where text is cut (UTF-8).
    void setEllipsis(const std::string& ellipsis) { mEllipsis = ellipsis; }
    const std::string& getEllipsis() const { return mEllipsis; }
    // Text to replacement, applied in key order by eReplacements; keys match without regard to
    // case, empty keys are ignored.
    void setReplacements(const std::map<std::string, std::string>& replacements) { mReplacements = replacements; }
    const std::map<std::string, std::string>& getReplacements() const { return mReplacements; }

    // The text shortened by the mode until it fits the width (a candidate fits when the width
    // callback gives at most width for it). An empty text gives an empty result. Every mode but
    // eUnchanged needs both callbacks and throws std::bad_function_call without them. Invalid
    // UTF-8 met while stepping over code points throws std::out_of_range. The result of valid
    // UTF-8 is valid UTF-8; every loop ends, whatever the callbacks answer.
    std::string abbreviate(const std::string& text, std::int32_t width, const tWidthFunction& widthOf,
                           const tFitFunction& fitOf) const;

private:
    std::int32_t mMode = eUnchanged;
    std::string mEllipsis;
    std::map<std::string, std::string> mReplacements;
};

}  // namespace HA::GP
