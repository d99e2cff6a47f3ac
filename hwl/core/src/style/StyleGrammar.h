#pragma once
// The grammar of the style-sheet language. It is built for each text, reports what it reads
// to a StyleParser2, and recovers from syntax errors so that every text reaches its end.

#include <string>

namespace HA::HWL {

class StyleParser2;

class StyleGrammar {
public:
    // Parses [first, last) into the parser under the source name; true when the parse
    // succeeded and stopped at last.
    static bool parse(StyleParser2& parser, const std::string& sourceName, const char* first, const char* last);
};

}  // namespace HA::HWL
