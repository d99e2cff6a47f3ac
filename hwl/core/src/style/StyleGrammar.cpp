// The style-sheet grammar, built with spirit qi. Values are filled by actions into the
// grammar's own records: qi's attributes do not know std::variant.

#include "hwl/core/src/style/StyleGrammar.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include <boost/phoenix/bind/bind_member_function.hpp>
#include <boost/phoenix/core.hpp>
#include <boost/phoenix/operator.hpp>
#include <boost/range/iterator_range.hpp>
#include <boost/spirit/include/qi.hpp>

#include "hwl/core/src/style/StyleParser2.h"

namespace HA::HWL {

namespace {

namespace qi = boost::spirit::qi;
namespace phx = boost::phoenix;
namespace enc = boost::spirit::standard;

using It = const char*;
using Range = boost::iterator_range<It>;

// Names of expected items as messages show them.
const std::map<std::string, std::string>& errorNames()
{
    static const std::map<std::string, std::string> names = {
        {"eoi", "statement, whitespace or eoi"},
        {"{", "selector relation operator or {"},
        {"}", "} or ;"},
        {"symbols", "keyword"},
        {"ConstIdentifier", "const identifier"},
        {"Value", "value declaration"},
        {"Attribute", "attribute declaration"},
        {"QuotedString", "string"},
    };
    return names;
}

// What an error handler does once it has skipped to its character.
enum class eResume { Consume, Keep };

class StyleGrammarRules : public qi::grammar<It> {
public:
    StyleGrammarRules(StyleParser2& parser, const std::string& sourceName, It first, It last);

private:
    // One simple selector while it is read.
    struct tSelectorPart {
        std::string type;
        std::string templateArgument;
        std::string styleClass;
        std::string id;
        std::vector<StyleParser2::tStateSelector> states;
        std::vector<StyleParser2::tAttrSelector> attributes;
        bool child = false;  // relation to the part on its left
    };

    void buildRules();
    void nameRules();
    void installErrorHandlers();

    // 1 plus the line ends that lie wholly before the position.
    int lineAt(It position) const
    {
        auto offset = static_cast<std::size_t>(position - mFirst);
        return 1 + static_cast<int>(std::upper_bound(mLineEnds.begin(), mLineEnds.end(), offset) - mLineEnds.begin());
    }

    void reportError(It position, const std::string& text)
    {
        char prefix[64];
        const int line = lineAt(position);
        std::snprintf(prefix, sizeof prefix, "PARSER ERROR at line %d: ", line);
        mParser.reportError(line, prefix + text);
    }

    // Selector actions.
    void setType(const std::string& text) { mPart.type = text; }
    void setTemplateArgument(const std::string& text) { mPart.templateArgument = text; }
    void setClass(const Range& r) { mPart.styleClass.assign(r.begin(), r.end()); }
    void setId(const Range& r) { mPart.id.assign(r.begin(), r.end()); }
    void setAttributeName(const std::string& text) { mAttribute.name = ha::symbol(text); }
    void setAttributeRule(int rule) { mAttribute.rule = static_cast<AttibuteSelector::eRule>(rule); }
    void setAttributeValue(const std::string& text) { mAttribute.value = text; }
    void addAttribute() { mPart.attributes.push_back(mAttribute); }
    void setStateNegated(bool negated) { mState.negated = negated; }
    void addState(const std::string& name)
    {
        mState.name = ha::symbol(name);
        mPart.states.push_back(mState);
    }
    void setRelation(bool child) { mPart.child = child; }
    void endSimpleSelector(const Range& position);
    void endSelector();
    HWL::Selector buildSelector() const;

    // Value actions.
    void setInt(int v) { setValue(v, HWL::Property::Number); }
    void setFloat(float v) { setValue(v, HWL::Property::Number); }
    void setUnit(int unit) { mValue.unit = static_cast<HWL::Property::eUnit>(unit); }
    void setBool(bool v) { setValue(v, HWL::Property::Bool); }
    void setUrl(const std::string& text) { setValue(text, HWL::Property::Url); }
    void setWord(const std::string& text) { setValue(text, HWL::Property::String); }
    void setHexColor(unsigned v) { setValue(0xFF000000u + (v & 0xFFFFFFu), HWL::Property::Color); }
    void setComponents(const std::vector<unsigned>& components) { mComponents = components; }
    void makeColor(bool alpha, const Range& position);
    void lookupConstant(const Range& text);
    template <class T>
    void setValue(T v, HWL::Property::eUnit unit)
    {
        mValue.value = std::move(v);
        mValue.unit = unit;
    }

    // Declarations, statements and rules.
    void setDeclarationName(const std::string& name) { mDeclarationName = name; }
    void addProperty();
    void endStyle();
    void setConstantName(const std::string& name) { mConstantName = name; }
    void defineConstant(const Range& text);
    void setImportPath(const std::string& path) { mImportPath = path; }
    void importStyleSheet(const Range& text);

    // Error recovery: reports, skips to the character (outside comments) and leaves the
    // position after it or at it.
    void resync(It& first, It last, It where, const boost::spirit::info& what, char stop, eResume resume);
    // A selector without its broken test would style more than it names: its rule goes.
    void dropAttribute() { mRuleBroken = true; }
    void dropSelector();
    void dropRule();
    void dropDeclaration() { mDeclarationFailed = true; }
    std::string expectingMessage(const boost::spirit::info& what) const;

    StyleParser2& mParser;
    std::string mSourceName;
    ha::symbol mSource;
    It mFirst;
    std::vector<std::size_t> mLineEnds;  // offsets just after each line end

    tSelectorPart mPart;
    std::vector<tSelectorPart> mChain;
    StyleParser2::tAttrSelector mAttribute;
    StyleParser2::tStateSelector mState;
    std::string mDeclarationName;
    StyleParser2::tPropertyValue mValue;
    StyleParser2::tRule mRule;
    bool mRuleBroken = false;
    bool mDeclarationFailed = false;
    std::string mConstantName;
    std::string mImportPath;
    std::vector<unsigned> mComponents;

    qi::symbols<char, bool> mRelations;
    qi::symbols<char, int> mOperators;
    qi::symbols<char, int> mUnits;

    qi::rule<It> EOL, lineEnd, commentChar, lineComment, blockComment, quietBlockComment, quietSpace, WS, blank,
        commaSeparator, semicolon, lparen, rparen, identifierStart, identifierRest;
    qi::rule<It, std::string()> Identifier, ConstIdentifier, templateArgument, typeName, dqString, sqString,
        QuotedString, URL;
    qi::rule<It, bool()> stateNegation;
    qi::rule<It, int()> attributeOperator;
    qi::rule<It> Attribute, stateName, TypeSelector, StyleSelector, ElementSelector, AttributeSelector,
        StateSelector, SimpleSelector, childRelation, descendantRelation, SelectorRelations, Selector, Selectors;
    qi::rule<It, std::vector<unsigned>()> rgbComponents, rgbaComponents;
    qi::rule<It> rgbValue, rgbaValue, rgbColor, rgbaColor, HexColor, Color, integerWithUnit, numberValue, optionalUnit, lookaheadUnit;
    qi::rule<It> NumericProperty, BoolProperty, URLProperty, ColorProperty, ConstantProperty, StringProperty,
        Property;
    qi::rule<It> constantDefinition, Constant, Import, Declaration, Properties, ATDeclaration, Style, Statement,
        Stylesheet;
};

StyleGrammarRules::StyleGrammarRules(StyleParser2& parser, const std::string& sourceName, It first, It last)
    : StyleGrammarRules::base_type(Stylesheet, "StyleGrammar"),
      mParser(parser),
      mSourceName(sourceName),
      mSource(sourceName),
      mFirst(first)
{
    for (It p = first; p != last; ++p) {
        if (*p == '\r' && p + 1 != last && p[1] == '\n')
            ++p;
        if (*p == '\r' || *p == '\n')
            mLineEnds.push_back(static_cast<std::size_t>(p + 1 - first));
    }
    mValue.value = 0;
    mRelations.add("::", true);
    mOperators.add("=", AttibuteSelector::Equals)("^=", AttibuteSelector::BeginsWith)(
        "$=", AttibuteSelector::EndsWith)("*=", AttibuteSelector::Contains)("!=", AttibuteSelector::NotEquals);
    mUnits.add("px", HWL::Property::Pixels)("%", HWL::Property::Percent);
    buildRules();
    nameRules();
    installErrorHandlers();
}

void StyleGrammarRules::buildRules()
{
    using qi::_1;
    using qi::eoi;
    using qi::eps;
    using qi::lit;
    using qi::raw;
    using enc::char_;
    using enc::no_case;
    auto self = this;
    const qi::int_parser<int> int_;
    const qi::uint_parser<unsigned, 10> decimal;
    const qi::uint_parser<unsigned, 16> hex;
    const qi::real_parser<float> float_;

    // Whitespace and comments; lines are taken from positions, so the counted and the quiet
    // forms read alike.
    EOL = lit("\r\n") | lit('\r') | lit('\n');
    lineEnd = lit("\r\n") | lit('\r') | lit('\n');
    commentChar = char_ - lit('\r') - lit('\n');
    lineComment = lit("//") >> *commentChar;
    blockComment = lit("/*") >> *((commentChar - lit("*/")) | EOL) >> lit("*/");
    quietBlockComment = lit("/*") >> *((commentChar - lit("*/")) | lineEnd) >> lit("*/");
    blank = lit(' ') | lit('\t');
    quietSpace = +(blank | lineComment | quietBlockComment | lineEnd);
    WS = +(blank | lineComment | blockComment | EOL);
    commaSeparator = lit(',') >> -WS;
    semicolon = lit(';') >> -WS;
    lparen = lit('(') >> -WS;
    rparen = -WS >> lit(')');

    // Names.
    identifierStart = char_('_') | char_('a', 'z') | char_('A', 'Z');
    identifierRest = *(char_('a', 'z') | char_('A', 'Z') | char_('0', '9') | char_('_') | char_('-'));
    Identifier = raw[identifierStart >> identifierRest];
    ConstIdentifier = lit('$') > Identifier;
    templateArgument = lit('<') > -WS > Identifier > -WS > lit('>');
    typeName = enc::string("*") | Identifier;
    dqString = *(char_ - lit('"') - lit('\r') - lit('\n'));
    sqString = *(char_ - lit('\'') - lit('\r') - lit('\n'));
    QuotedString = (lit('"') > dqString > lit('"')) | (lit('\'') > sqString > lit('\''));

    // Selectors.
    stateNegation = qi::matches[lit('!')];
    attributeOperator = mOperators;
    Attribute = Identifier[phx::bind(&StyleGrammarRules::setAttributeName, self, _1)] >
                attributeOperator[phx::bind(&StyleGrammarRules::setAttributeRule, self, _1)] >
                Identifier[phx::bind(&StyleGrammarRules::setAttributeValue, self, _1)];
    stateName = stateNegation[phx::bind(&StyleGrammarRules::setStateNegated, self, _1)] >
                Identifier[phx::bind(&StyleGrammarRules::addState, self, _1)];
    TypeSelector = typeName[phx::bind(&StyleGrammarRules::setType, self, _1)] >>
                   -templateArgument[phx::bind(&StyleGrammarRules::setTemplateArgument, self, _1)];
    StyleSelector = lit('.') > raw[identifierRest][phx::bind(&StyleGrammarRules::setClass, self, _1)];
    ElementSelector = lit('#') > raw[identifierRest][phx::bind(&StyleGrammarRules::setId, self, _1)];
    AttributeSelector =
        (lit('[') > -WS > Attribute > -WS > lit(']'))[phx::bind(&StyleGrammarRules::addAttribute, self)];
    StateSelector = !mRelations >> (lit(':') > stateName);
    SimpleSelector = TypeSelector >> -StyleSelector >> -ElementSelector >> *AttributeSelector >> *StateSelector;
    childRelation = &(-quietSpace >> mRelations) >> -WS >> mRelations >> -WS;
    descendantRelation = !(quietSpace >> (lit(',') | lit('{'))) >> WS;
    SelectorRelations = childRelation[phx::bind(&StyleGrammarRules::setRelation, self, true)] |
                        descendantRelation[phx::bind(&StyleGrammarRules::setRelation, self, false)];
    Selector = ((SimpleSelector >> raw[eps][phx::bind(&StyleGrammarRules::endSimpleSelector, self, _1)]) %
                SelectorRelations) >>
               -WS;
    Selectors = Selector[phx::bind(&StyleGrammarRules::endSelector, self)] % commaSeparator;

    // Values.
    URL = no_case[lit("url")] > -WS > lparen > QuotedString > rparen;
    rgbComponents = (decimal >> -WS) % commaSeparator;
    rgbaComponents = (decimal >> -WS) % commaSeparator;
    rgbaValue = raw[rgbaComponents[phx::bind(&StyleGrammarRules::setComponents, self, _1)]]
                   [phx::bind(&StyleGrammarRules::makeColor, self, true, _1)];
    rgbValue = raw[rgbComponents[phx::bind(&StyleGrammarRules::setComponents, self, _1)]]
                  [phx::bind(&StyleGrammarRules::makeColor, self, false, _1)];
    rgbaColor = no_case[lit("rgba")] > -WS > lparen > rgbaValue > rparen;
    rgbColor = no_case[lit("rgb")] > -WS > lparen > rgbValue > rparen;
    HexColor = lit('#') > hex[phx::bind(&StyleGrammarRules::setHexColor, self, _1)];
    Color = rgbaColor | rgbColor | HexColor;
    lookaheadUnit = -mUnits;
    integerWithUnit = &(int_ >> -quietSpace >> lookaheadUnit >> -quietSpace >> (lit(';') | lit('}'))) >>
                      int_[phx::bind(&StyleGrammarRules::setInt, self, _1)];
    numberValue = integerWithUnit | float_[phx::bind(&StyleGrammarRules::setFloat, self, _1)];
    optionalUnit = -mUnits[phx::bind(&StyleGrammarRules::setUnit, self, _1)];
    NumericProperty = numberValue >> -WS >> optionalUnit;
    BoolProperty = lit("true")[phx::bind(&StyleGrammarRules::setBool, self, true)] |
                   lit("false")[phx::bind(&StyleGrammarRules::setBool, self, false)];
    URLProperty = URL[phx::bind(&StyleGrammarRules::setUrl, self, _1)];
    ColorProperty = Color;
    ConstantProperty = raw[ConstIdentifier][phx::bind(&StyleGrammarRules::lookupConstant, self, _1)];
    StringProperty = Identifier[phx::bind(&StyleGrammarRules::setWord, self, _1)];
    Property = NumericProperty | BoolProperty | URLProperty | ColorProperty | ConstantProperty | StringProperty;

    // Statements.
    constantDefinition = ConstIdentifier[phx::bind(&StyleGrammarRules::setConstantName, self, _1)] > WS > Property;
    Constant = lit("@define") > WS > constantDefinition;
    Import = lit("@import") > WS > URL[phx::bind(&StyleGrammarRules::setImportPath, self, _1)];
    Declaration = Identifier[phx::bind(&StyleGrammarRules::setDeclarationName, self, _1)] > -WS > lit(':') > -WS >
                  (Property >> -WS);
    Properties = Declaration[phx::bind(&StyleGrammarRules::addProperty, self)] % semicolon;
    ATDeclaration = (raw[Import][phx::bind(&StyleGrammarRules::importStyleSheet, self, _1)] |
                     raw[Constant][phx::bind(&StyleGrammarRules::defineConstant, self, _1)]) > -WS > lit(';');
    Style = Selectors > -WS > lit('{') > -WS > -Properties > -lit(';') > -quietSpace > lit('}');
    Statement = Style[phx::bind(&StyleGrammarRules::endStyle, self)] | ATDeclaration;
    Stylesheet = *(Statement | WS) > eoi;
}

void StyleGrammarRules::nameRules()
{
    EOL.name("EOL");
    WS.name("WS");
    semicolon.name(";");
    lparen.name("(");
    rparen.name(")");
    Identifier.name("Identifier");
    ConstIdentifier.name("ConstIdentifier");
    dqString.name("String");
    sqString.name("String");
    QuotedString.name("QuotedString");
    Attribute.name("Attribute");
    TypeSelector.name("TypeSelector");
    StyleSelector.name("StyleSelector");
    ElementSelector.name("ElementSelector");
    AttributeSelector.name("AttributeSelector");
    StateSelector.name("StateSelector");
    SimpleSelector.name("SimpleSelector");
    SelectorRelations.name("SelectorRelations");
    Selector.name("Selector");
    Selectors.name("Selectors");
    URL.name("URL");
    HexColor.name("HexColor");
    Color.name("Color");
    NumericProperty.name("NumericProperty");
    BoolProperty.name("BoolProperty");
    URLProperty.name("URLProperty");
    ColorProperty.name("ColorProperty");
    ConstantProperty.name("ConstantProperty");
    StringProperty.name("StringProperty");
    Property.name("Property");
    Constant.name("Constant");
    Import.name("Import");
    Declaration.name("Declaration");
    Properties.name("Properties");
    ATDeclaration.name("ATDeclaration");
    Style.name("Style");
    Statement.name("Statement");
    Stylesheet.name("Stylesheet");
}

void StyleGrammarRules::installErrorHandlers()
{
    using qi::_1;
    using qi::_2;
    using qi::_3;
    using qi::_4;
    using qi::accept;
    using qi::on_error;
    using qi::retry;
    auto self = this;
    on_error<accept>(AttributeSelector,
                     (phx::bind(&StyleGrammarRules::resync, self, _1, _2, _3, _4, ']', eResume::Consume),
                      phx::bind(&StyleGrammarRules::dropAttribute, self)));
    on_error<accept>(Selector, (phx::bind(&StyleGrammarRules::resync, self, _1, _2, _3, _4, '\n', eResume::Consume),
                                phx::bind(&StyleGrammarRules::dropSelector, self)));
    on_error<accept>(Declaration,
                     (phx::bind(&StyleGrammarRules::resync, self, _1, _2, _3, _4, '}', eResume::Keep),
                      phx::bind(&StyleGrammarRules::dropDeclaration, self)));
    on_error<retry>(Style, (phx::bind(&StyleGrammarRules::resync, self, _1, _2, _3, _4, '}', eResume::Consume),
                            phx::bind(&StyleGrammarRules::dropRule, self)));
    on_error<retry>(Stylesheet,
                    (phx::bind(&StyleGrammarRules::resync, self, _1, _2, _3, _4, '\n', eResume::Consume),
                     phx::bind(&StyleGrammarRules::dropRule, self)));
}

std::string StyleGrammarRules::expectingMessage(const boost::spirit::info& what) const
{
    std::string name = what.tag;
    if (const auto* text = boost::get<boost::spirit::utf8_string>(&what.value))
        name = *text;
    auto friendly = errorNames().find(name);
    if (friendly != errorNames().end())
        name = friendly->second;
    return "Expecting " + name;
}

void StyleGrammarRules::resync(It& first, It last, It where, const boost::spirit::info& what, char stop,
                               eResume resume)
{
    reportError(where, expectingMessage(what));
    bool inLineComment = false;
    bool inBlockComment = false;
    It p = where;
    while (p != last) {
        const char c = *p++;
        if (c == '\n')
            inLineComment = false;
        if (c == stop && !inLineComment && !inBlockComment) {
            first = resume == eResume::Consume ? p : p - 1;
            return;
        }
        if (p == last || inLineComment)
            continue;
        if (inBlockComment) {
            if (c == '*' && *p == '/') {
                inBlockComment = false;
                ++p;
            }
        } else if (c == '/' && *p == '/') {
            inLineComment = true;
            ++p;
        } else if (c == '/' && *p == '*') {
            inBlockComment = true;
            ++p;
        }
    }
    first = last;
}

void StyleGrammarRules::dropSelector()
{
    // Only the broken selector goes: the handler accepts, so the list goes on with the next
    // one, and the selectors before it stay.
    mPart = tSelectorPart();
    mChain.clear();
}

void StyleGrammarRules::dropRule()
{
    mPart = tSelectorPart();
    mChain.clear();
    mRule = StyleParser2::tRule();
    mRuleBroken = false;
    mDeclarationFailed = false;
    mDeclarationName.clear();
}

void StyleGrammarRules::endSimpleSelector(const Range& position)
{
    if (mRule.selectors.empty() && mChain.empty())
        mRule.startLine = lineAt(position.begin());
    mChain.push_back(mPart);
    mPart = tSelectorPart();
}

void StyleGrammarRules::endSelector()
{
    if (mChain.empty())
        return;
    mRule.selectors.push_back(buildSelector());
    mChain.clear();
    mPart = tSelectorPart();
}

HWL::Selector StyleGrammarRules::buildSelector() const
{
    static const ha::symbol stateNames[StateCondition::kStateCount] = {
        StyleNames::enabled, StyleNames::selected, StyleNames::down,   StyleNames::over,
        StyleNames::focus,   StyleNames::input,    StyleNames::dormant};
    auto typeSymbol = [](const tSelectorPart& part) {
        if (part.type == "*")
            return ha::symbol();
        if (part.templateArgument.empty())
            return ha::symbol(part.type);
        return ha::symbol(part.type + "<" + part.templateArgument + ">");
    };
    auto attributes = [](const tSelectorPart& part) {
        AttibuteSelector::tTests tests;
        for (const StyleParser2::tAttrSelector& a : part.attributes)
            tests[a.name][a.rule] = a.value;
        return tests;
    };

    HWL::Selector selector;
    selector.source = mSource;
    selector.startLine = mRule.startLine;
    const tSelectorPart& subject = mChain.back();
    selector.type = typeSymbol(subject);
    selector.styleClass = ha::symbol(subject.styleClass);
    selector.id = ha::symbol(subject.id);
    selector.attributes = attributes(subject);
    for (const StyleParser2::tStateSelector& state : subject.states) {
        for (int i = 0; i < StateCondition::kStateCount; ++i) {
            if (state.name == stateNames[i])
                selector.states.states[i] = state.negated ? StateCondition::RequiredFalse : StateCondition::RequiredTrue;
        }
    }
    for (std::size_t i = mChain.size() - 1; i-- > 0;) {
        const tSelectorPart& part = mChain[i];
        HWL::SimpleSelector ancestor;
        ancestor.type = typeSymbol(part);
        ancestor.styleClass = ha::symbol(part.styleClass);
        ancestor.id = ha::symbol(part.id);
        ancestor.attributes = attributes(part);
        // The relation written after this part is stored with the part on its right.
        ancestor.relation = mChain[i + 1].child ? HWL::SimpleSelector::Child : HWL::SimpleSelector::Descendant;
        selector.ancestors.push_back(std::move(ancestor));
    }
    return selector;
}

void StyleGrammarRules::makeColor(bool alpha, const Range& position)
{
    const std::vector<unsigned>& components = mComponents;
    const std::size_t wanted = alpha ? 4 : 3;
    if (components.size() != wanted) {
        reportError(position.end(), "invalid color declaration");
        setValue(0u, HWL::Property::Color);
        return;
    }
    const unsigned a = alpha ? (components[3] & 0xFF) << 24 : 0xFF000000u;
    setValue(a + ((components[0] & 0xFF) << 16) + ((components[1] & 0xFF) << 8) + (components[2] & 0xFF),
             HWL::Property::Color);
}

void StyleGrammarRules::lookupConstant(const Range& text)
{
    StyleParser2::tPropertyValue value =
        mParser.lookupConstant(std::string(text.begin() + 1, text.end()), lineAt(text.end()));
    mValue = value;
}

void StyleGrammarRules::addProperty()
{
    if (!mDeclarationName.empty() && !mDeclarationFailed)
        mRule.declarations.push_back(
            StyleParser2::tDeclaration{mValue.value, ha::symbol(mDeclarationName), mValue.unit});
    mDeclarationFailed = false;
    mDeclarationName.clear();
    mValue = StyleParser2::tPropertyValue{0, HWL::Property::Number};
}

void StyleGrammarRules::endStyle()
{
    if (!mRuleBroken && !mRule.selectors.empty() && !mRule.declarations.empty())
        mParser.addRule(mRule);
    mRule = StyleParser2::tRule();
    mRuleBroken = false;
}

void StyleGrammarRules::defineConstant(const Range& text)
{
    mParser.defineConstant(lineAt(text.end()), StyleParser2::tConstant{mConstantName, mValue});
    mValue = StyleParser2::tPropertyValue{0, HWL::Property::Number};
}

void StyleGrammarRules::importStyleSheet(const Range& text)
{
    mParser.importStyleSheet(lineAt(text.end()), mImportPath);
}

}  // namespace

bool StyleGrammar::parse(StyleParser2& parser, const std::string& sourceName, const char* first, const char* last)
{
    StyleGrammarRules grammar(parser, sourceName, first, last);
    It position = first;
    const bool parsed = qi::parse(position, last, grammar);
    return parsed && position == last;
}

}  // namespace HA::HWL
