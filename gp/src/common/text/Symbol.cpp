#include "gp/src/common/text/Symbol.h"

#include <cstring>
#include <mutex>
#include <ostream>

#include "gp/src/common/text/CityHash.h"

namespace ha {

namespace DETAIL {

struct SymbolEntry {
    const SymbolEntry* next;
    std::string text;
    std::uint32_t hash;
};

}  // namespace DETAIL

namespace {

using DETAIL::SymbolEntry;

// The table never grows: 4096 chains serve every symbol of the process.
struct SymbolTable {
    static constexpr std::uint32_t kBucketCount = 4096;
    const SymbolEntry* buckets[kBucketCount] = {};
    std::mutex mutex;
};

SymbolTable& table()
{
    // Never destroyed, so that symbols held by static objects outlive every destructor.
    static SymbolTable* const instance = new SymbolTable;
    return *instance;
}

const SymbolEntry* intern(const char* text, std::size_t length)
{
    if (!text) {
        text = "";
        length = 0;
    }
    const std::uint32_t hash = HA::GP::cityHash32(text, length);
    SymbolTable& t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    const SymbolEntry*& bucket = t.buckets[hash & (SymbolTable::kBucketCount - 1)];
    for (const SymbolEntry* e = bucket; e; e = e->next) {
        // The whole length counts: a text with a NUL inside is not its prefix.
        if (e->hash == hash && e->text.size() == length && std::memcmp(e->text.data(), text, length) == 0)
            return e;
    }
    const SymbolEntry* entry = new SymbolEntry{bucket, std::string(text, length), hash};
    bucket = entry;
    return entry;
}

}  // namespace

symbol::symbol()
{
    static const SymbolEntry* const empty = intern("", 0);
    m_entry = empty;
}

symbol::symbol(const std::string& text) : m_entry(intern(text.data(), text.size()))
{
}

symbol::symbol(const char* text, std::uint32_t length) : m_entry(intern(text, length))
{
}

const std::string& symbol::str() const
{
    return m_entry->text;
}

std::uint32_t symbol::hash() const
{
    return m_entry->hash;
}

bool symbol::operator==(const char* text) const
{
    const std::string& mine = m_entry->text;
    if (!text)
        return mine.empty();
    const std::size_t length = std::strlen(text);
    return mine.size() == length && std::memcmp(mine.data(), text, length) == 0;
}

std::ostream& operator<<(std::ostream& out, symbol s)
{
    return out << s.str();
}

}  // namespace ha
