#pragma once
// ha::symbol: an interned UTF-8 text. Every distinct byte string is stored once in a
// process-wide table; a symbol is a pointer to its entry, so equal texts give equal symbols
// and comparing or hashing a symbol costs one pointer. Entries are never freed: a symbol stays
// valid for the life of the process. Symbols may be made on any thread.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>

namespace ha {

namespace DETAIL {
struct SymbolEntry;
}

class symbol {
public:
    // The empty symbol, shared by every default-constructed symbol and by symbol(std::string()).
    symbol();
    // Interns exactly the string's bytes (a NUL inside the text is part of it).
    explicit symbol(const std::string& text);
    // Interns exactly length bytes at text; a null text counts as empty.
    symbol(const char* text, std::uint32_t length);

    const std::string& str() const;
    // The stored CityHash32 of the text.
    std::uint32_t hash() const;

    bool operator==(symbol other) const { return m_entry == other.m_entry; }
    bool operator!=(symbol other) const { return m_entry != other.m_entry; }
    // True when the text equals the NUL-terminated C string (null counts as empty).
    bool operator==(const char* text) const;
    bool operator!=(const char* text) const { return !(*this == text); }

private:
    const DETAIL::SymbolEntry* m_entry;
};

std::ostream& operator<<(std::ostream& out, symbol s);

}  // namespace ha

namespace std {
// Symbols hash by their stored hash.
template <>
struct hash<ha::symbol> {
    std::size_t operator()(ha::symbol s) const noexcept { return s.hash(); }
};
}  // namespace std
