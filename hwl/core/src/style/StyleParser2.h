#pragma once
// The style parser: reads one sheet (and the sheets it imports) and keeps what the grammar
// produces: rules, constants, imported names and errors. One parser per load, on the
// user-interface thread.

#include <map>
#include <set>
#include <string>
#include <vector>

#include "gp/src/common/text/Symbol.h"
#include "hwl/core/src/style/Selector.h"
#include "hwl/core/src/style/StyleRule.h"
#include "hwl/core/src/style/StyleValue.h"

namespace HA::GP {
class Stream;
}

namespace HA::HWL {

class StyleSheet;

class StyleParser2 {
public:
    // One parsed value; a fresh one is empty with unit 0.
    struct tPropertyValue {
        tStyleValue value;
        Property::eUnit unit = Property::Number;
    };
    using tDeclaration = tStyleDeclaration;
    using tRule = tStyleRule;
    // One "@define".
    struct tConstant {
        std::string name;  // without "$"
        tPropertyValue value;
    };
    struct tAttrSelector {
        ha::symbol name;
        AttibuteSelector::eRule rule = AttibuteSelector::Equals;
        std::string value;
    };
    struct tStateSelector {
        bool negated = false;
        ha::symbol name;
    };

    // Byte-order marks.
    enum eEncoding : int { EncodingNone = 0, Utf8 = 1, Utf16BE = 2, Utf16LE = 3, Utf32BE = 4, Utf32LE = 5 };

    // The source name of texts parsed from memory.
    static constexpr const char* kStringSourceName = "(StyleParser2::processString)";

    explicit StyleParser2(StyleSheet* owner);

    // Parses a text held in memory (no byte-order mark check) and, when it parsed to its end,
    // applies it to the sheet; the sheet's match cache is cleared either way.
    static void processString(StyleSheet& sheet, const char* text);
    // Reads the whole stream and parses it. False without a stream or storage, or when the
    // text has a UTF-16 or UTF-32 byte-order mark.
    bool processStream(GP::Stream* stream, const std::string& sourceName);
    // Checks the encoding and parses the bytes after a UTF-8 mark.
    bool processBuffer(const std::string& bytes, const std::string& sourceName);
    // Parses the file at the UTF-16 path; false when it cannot be read. With an owner the
    // owner's resource manager opens it, which in skin mode opens only the skin's sheets.
    bool processFile(const std::u16string& path);

    // Called by the grammar while it reads.
    void defineConstant(int line, const tConstant& constant);
    tPropertyValue lookupConstant(const std::string& name, int line);
    void importStyleSheet(int line, const std::string& pathText);
    void addRule(const tRule& rule);
    void reportError(int line, const std::string& text);
    // Files the message under (file, line) and sends it to the error listeners.
    void recordError(const std::string& fileName, int line, const std::string& text);

    const std::vector<tRule>& getRules() const { return mRules; }
    const std::map<std::string, tPropertyValue>& getConstants() const { return mConstants; }
    const std::map<std::string, std::multimap<int, std::string>>& getErrors() const { return mErrors; }
    const std::set<std::string>& getImportedNames() const { return mImportedNames; }
    int getEncoding() const { return mEncoding; }

private:
    StyleSheet* mOwner;
    std::vector<tRule> mRules;
    std::map<std::string, tPropertyValue> mConstants;
    std::map<std::string, std::multimap<int, std::string>> mErrors;
    int mEncoding = EncodingNone;
    std::u16string mCurrentFile;
    std::set<std::string> mImportedNames;
};

}  // namespace HA::HWL
