#pragma once
// Builds version blocks in the platform's binary layout for tests: each node is WORD
// wLength, WORD wValueLength, WORD wType, a NUL-ended UTF-16LE key, padding to 32 bits, the
// value (padded), then its children.

#include <cstdint>
#include <string>
#include <vector>

namespace HA::OS::Testing {

struct VersionNode {
    std::u16string key;
    std::vector<std::uint8_t> value;  // binary, or UTF-16LE text with its NUL
    std::uint16_t valueLength = 0;    // bytes for binary, characters for text
    std::uint16_t type = 0;           // 0 binary, 1 text
    std::vector<VersionNode> children;

    static VersionNode text(std::u16string key, const std::u16string& value)
    {
        VersionNode n;
        n.key = std::move(key);
        n.type = 1;
        for (char16_t c : value + u'\0') {
            n.value.push_back(static_cast<std::uint8_t>(c & 0xFF));
            n.value.push_back(static_cast<std::uint8_t>(c >> 8));
        }
        n.valueLength = static_cast<std::uint16_t>(value.size() + 1);
        return n;
    }
    static VersionNode binary(std::u16string key, std::vector<std::uint8_t> value)
    {
        VersionNode n;
        n.key = std::move(key);
        n.valueLength = static_cast<std::uint16_t>(value.size());
        n.value = std::move(value);
        return n;
    }
};

inline void padTo4(std::vector<std::uint8_t>& out)
{
    while (out.size() % 4)
        out.push_back(0);
}

inline void putWord(std::vector<std::uint8_t>& out, std::size_t at, std::uint16_t v)
{
    out[at] = static_cast<std::uint8_t>(v & 0xFF);
    out[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

// Appends the node at a 32-bit boundary of `out`.
inline void appendVersionNode(std::vector<std::uint8_t>& out, const VersionNode& node)
{
    padTo4(out);
    const std::size_t start = out.size();
    out.resize(start + 6);
    putWord(out, start + 2, node.valueLength);
    putWord(out, start + 4, node.type);
    for (char16_t c : node.key + u'\0') {
        out.push_back(static_cast<std::uint8_t>(c & 0xFF));
        out.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    padTo4(out);
    out.insert(out.end(), node.value.begin(), node.value.end());
    for (const VersionNode& child : node.children)
        appendVersionNode(out, child);
    putWord(out, start, static_cast<std::uint16_t>(out.size() - start));
}

// A whole VS_VERSION_INFO block with the fixed record and, when given, a FileVersion text.
inline std::vector<std::uint8_t> makeVersionBlock(const std::u16string* fileVersion)
{
    std::vector<std::uint8_t> fixed(52, 0);
    const std::uint32_t words[] = {0xFEEF04BD, 0x00010000, 0x00010002, 0x00030004};
    for (int i = 0; i < 4; ++i)
        for (int b = 0; b < 4; ++b)
            fixed[4 * i + b] = static_cast<std::uint8_t>(words[i] >> (8 * b));
    VersionNode root = VersionNode::binary(u"VS_VERSION_INFO", fixed);
    VersionNode strings = VersionNode::binary(u"StringFileInfo", {});
    strings.type = 1;
    VersionNode table = VersionNode::binary(u"000004b0", {});
    table.type = 1;
    if (fileVersion)
        table.children.push_back(VersionNode::text(u"FileVersion", *fileVersion));
    table.children.push_back(VersionNode::text(u"ProductVersion", u"9.9"));
    strings.children.push_back(table);
    root.children.push_back(strings);
    VersionNode vars = VersionNode::binary(u"VarFileInfo", {});
    vars.type = 1;
    vars.children.push_back(VersionNode::binary(u"Translation", {0x00, 0x00, 0xb0, 0x04}));
    root.children.push_back(vars);
    std::vector<std::uint8_t> out;
    appendVersionNode(out, root);
    return out;
}

}  // namespace HA::OS::Testing
