// Writes the executable's version resource, a VS_VERSIONINFO block in the platform's binary
// layout, for a version of up to four numbers ("0.1.0"):
//   ha_make_version_resource <output file> <version>
// The block holds the fixed file information with the numbers, and the texts FileVersion and
// ProductVersion (the version as given) in the string table "000004b0" (language neutral,
// UTF-16), with the matching translation.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

void putWord(Bytes& out, unsigned v)
{
    out.push_back(std::uint8_t(v));
    out.push_back(std::uint8_t(v >> 8));
}

void putDword(Bytes& out, std::uint32_t v)
{
    putWord(out, v & 0xFFFF);
    putWord(out, v >> 16);
}

void padTo32(Bytes& out)
{
    while (out.size() % 4 != 0)
        out.push_back(0);
}

// ASCII to UTF-16LE with its terminating NUL.
Bytes utf16(const std::string& text)
{
    Bytes out;
    for (char c : text)
        putWord(out, static_cast<unsigned char>(c));
    putWord(out, 0);
    return out;
}

// One node: wLength, wValueLength, wType, the key, padding, the value, padding, the children.
// wLength covers everything but the padding after the last child.
// valueLength counts bytes for binary values and characters (with the NUL) for text.
Bytes node(const std::string& key, bool text, const Bytes& value, unsigned valueLength, const std::vector<Bytes>& children)
{
    Bytes out(6, 0);
    Bytes name = utf16(key);
    out.insert(out.end(), name.begin(), name.end());
    padTo32(out);
    out.insert(out.end(), value.begin(), value.end());
    for (const Bytes& child : children) {
        padTo32(out);
        out.insert(out.end(), child.begin(), child.end());
    }
    out[0] = std::uint8_t(out.size());
    out[1] = std::uint8_t(out.size() >> 8);
    out[2] = std::uint8_t(valueLength);
    out[3] = std::uint8_t(valueLength >> 8);
    out[4] = text ? 1 : 0;
    out[5] = 0;
    return out;
}

Bytes textNode(const std::string& key, const std::string& value)
{
    return node(key, true, utf16(value), unsigned(value.size() + 1), {});
}

// "a.b.c.d" with missing numbers 0; false for anything else.
bool parseVersion(const std::string& text, unsigned (&parts)[4])
{
    int index = 0;
    std::string digits;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '.') {
            if (digits.empty() || digits.size() > 5 || index == 4)
                return false;
            unsigned long v = std::stoul(digits);
            if (v > 0xFFFF)
                return false;
            parts[index++] = unsigned(v);
            digits.clear();
        } else if (text[i] >= '0' && text[i] <= '9') {
            digits += text[i];
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    unsigned parts[4] = {0, 0, 0, 0};
    if (argc != 3 || !parseVersion(argv[2], parts)) {
        std::fprintf(stderr, "usage: %s <output file> <version: up to four numbers, e.g. 0.1.0>\n", argv[0]);
        return 2;
    }
    const std::string version = argv[2];
    const std::uint32_t ms = (parts[0] << 16) | parts[1];
    const std::uint32_t ls = (parts[2] << 16) | parts[3];

    Bytes fixed;
    putDword(fixed, 0xFEEF04BD);  // dwSignature
    putDword(fixed, 0x00010000);  // dwStrucVersion
    putDword(fixed, ms);          // dwFileVersionMS
    putDword(fixed, ls);          // dwFileVersionLS
    putDword(fixed, ms);          // dwProductVersionMS
    putDword(fixed, ls);          // dwProductVersionLS
    putDword(fixed, 0x3F);        // dwFileFlagsMask
    putDword(fixed, 0);           // dwFileFlags
    putDword(fixed, 0x00040004);  // dwFileOS: 32-bit Windows NT
    putDword(fixed, 1);           // dwFileType: application
    putDword(fixed, 0);           // dwFileSubtype
    putDword(fixed, 0);           // dwFileDateMS
    putDword(fixed, 0);           // dwFileDateLS

    Bytes table = node("000004b0", true, {}, 0, {textNode("FileVersion", version), textNode("ProductVersion", version)});
    Bytes strings = node("StringFileInfo", true, {}, 0, {table});
    Bytes translation;
    putWord(translation, 0x0000);
    putWord(translation, 0x04b0);
    Bytes vars = node("VarFileInfo", true, {}, 0, {node("Translation", false, translation, 4, {})});
    Bytes root = node("VS_VERSION_INFO", false, fixed, unsigned(fixed.size()), {strings, vars});

    std::FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    bool ok = std::fwrite(root.data(), 1, root.size(), out) == root.size();
    ok = std::fclose(out) == 0 && ok;
    if (!ok) {
        std::perror(argv[1]);
        std::remove(argv[1]);
        return 1;
    }
    return 0;
}
