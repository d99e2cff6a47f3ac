#include "gp/src/common/text/CityHash.h"
#include "gp/src/common/text/Symbol.h"

#include <algorithm>
#include <set>
#include <sstream>
#include <thread>
#include <unordered_map>
#include <vector>

#include <gtest/gtest.h>

using HA::GP::cityHash32;
using ha::symbol;

TEST(CityHash32, MatchesThePublishedFunction)
{
    // Reference values computed with an independent build of the published function.
    struct Text {
        std::string text;
        std::uint32_t hash;
    };
    const Text texts[] = {
        {"", 0xdc56d17au},
        {"a", 0x3c973d4du},
        {"abc", 0x2f635ec7u},
        {"\xff\x80", 0xdf606262u},  // bytes above 0x7F count as signed in short texts
        {"hello", 0x79969366u},
        {"Hello, world", 0x2fec7509u},
        {"0123456789abcdef0123", 0x171efd3cu},
        {"The quick brown fox jumps over the lazy dog", 0xa339c810u},
        {"width", 0xf4020546u},
    };
    for (const Text& t : texts)
        EXPECT_EQ(cityHash32(t.text.data(), t.text.size()), t.hash) << t.text;

    // Every length case and the 20-byte loop: prefixes of a fixed byte pattern.
    std::string data;
    for (int i = 0; i < 300; ++i)
        data += static_cast<char>((i * 37 + 11) & 0xFF);
    struct Prefix {
        std::size_t length;
        std::uint32_t hash;
    };
    const Prefix prefixes[] = {
        {0, 0xdc56d17au},  {1, 0x5b14b733u},   {2, 0x091361b5u},   {3, 0x86f21699u},
        {4, 0x75caf8a8u},  {5, 0x6aa7ff24u},   {8, 0x657bed3cu},   {12, 0x19471641u},
        {13, 0x7b7b4285u}, {20, 0x989e0ca2u},  {24, 0xa3ae63c0u},  {25, 0x0443bd5bu},
        {40, 0x3262f765u}, {44, 0x8f715153u},  {45, 0x970c0f75u},  {64, 0x6ac6aaafu},
        {100, 0x9c8623bfu}, {255, 0x845c81c5u}, {300, 0x30a31a33u},
    };
    for (const Prefix& p : prefixes)
        EXPECT_EQ(cityHash32(data.data(), p.length), p.hash) << p.length;
}

TEST(Symbol, EqualTextsGiveEqualSymbols)
{
    EXPECT_EQ(symbol(std::string("a")), symbol("a", 1));
    EXPECT_EQ(&symbol(std::string("a")).str(), &symbol("a", 1).str());
    EXPECT_NE(symbol(std::string("a")), symbol(std::string("A")));
    EXPECT_EQ(symbol(), symbol(std::string()));
    EXPECT_EQ(symbol(), symbol(nullptr, 0));
    EXPECT_EQ(symbol(), symbol(nullptr, 4));
    EXPECT_TRUE(symbol().str().empty());
    EXPECT_EQ(symbol("abcdef", 3), symbol(std::string("abc")));  // exactly the given length
    EXPECT_EQ(symbol(std::string("abc")).hash(), 0x2f635ec7u);
}

TEST(Symbol, ATextWithANulIsItsOwnSymbol)
{
    const std::string withNul("a\0b", 3);
    const symbol s(withNul);
    EXPECT_NE(s, symbol(std::string("a")));
    EXPECT_EQ(s.str(), withNul);
    EXPECT_EQ(s, symbol(withNul.data(), 3));
    EXPECT_FALSE(s == "a");
    EXPECT_NE(symbol(std::string(1, '\0')), symbol());
}

TEST(Symbol, ComparesWithCStrings)
{
    const symbol s(std::string("width"));
    EXPECT_TRUE(s == "width");
    EXPECT_FALSE(s == "widt");
    EXPECT_FALSE(s == "widths");
    EXPECT_TRUE(s != "Width");
    EXPECT_TRUE(symbol() == "");
    EXPECT_TRUE(symbol() == nullptr);
    EXPECT_FALSE(s == nullptr);
}

TEST(Symbol, ManyTextsStayRetrievable)
{
    std::vector<symbol> symbols;
    std::vector<std::string> texts;
    for (int i = 0; i < 20000; ++i)
        texts.push_back("text-" + std::to_string(i) + std::string(static_cast<std::size_t>(i % 40), 'x'));
    for (const std::string& t : texts)
        symbols.emplace_back(t);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(symbols[i].str(), texts[i]);
        EXPECT_EQ(symbol(texts[i]), symbols[i]);
        EXPECT_EQ(symbols[i].hash(), cityHash32(texts[i].data(), texts[i].size()));
    }
    std::set<const std::string*> distinct;
    for (const symbol& s : symbols)
        distinct.insert(&s.str());
    EXPECT_EQ(distinct.size(), texts.size());
}

TEST(SymbolThreaded, ThreadsInterningTheSameTextsGetTheSameEntries)
{
    constexpr int kThreads = 8;
    constexpr int kTexts = 3000;
    std::vector<std::vector<const std::string*>> seen(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &seen] {
            std::vector<const std::string*>& mine = seen[static_cast<std::size_t>(t)];
            mine.resize(kTexts);
            // Each thread walks the texts from its own start, odd threads backwards, so that
            // insertions of the same text race.
            for (int k = 0; k < kTexts; ++k) {
                const int step = (t % 2 == 0) ? k : kTexts - 1 - k;
                const int i = (step + t * 373) % kTexts;
                mine[static_cast<std::size_t>(i)] = &symbol("shared-" + std::to_string(i)).str();
            }
        });
    }
    for (std::thread& th : threads)
        th.join();
    for (int t = 1; t < kThreads; ++t)
        EXPECT_EQ(seen[static_cast<std::size_t>(t)], seen[0]) << t;
    for (int i = 0; i < kTexts; ++i)
        EXPECT_EQ(*seen[0][static_cast<std::size_t>(i)], "shared-" + std::to_string(i));
}

TEST(Symbol, ServesAsHashMapKeyAndStreamsItsText)
{
    std::unordered_map<symbol, int> map;
    map[symbol(std::string("left"))] = 1;
    map[symbol(std::string("right"))] = 2;
    map[symbol("left", 4)] += 10;
    EXPECT_EQ(map.size(), 2u);
    EXPECT_EQ(map.at(symbol(std::string("left"))), 11);
    EXPECT_EQ(std::hash<symbol>()(symbol(std::string("abc"))), 0x2f635ec7u);

    std::ostringstream out;
    out << symbol(std::string("style")) << '|' << symbol();
    EXPECT_EQ(out.str(), "style|");
}
