#include "os/kernel/Version.h"

#include <cstring>
#include <vector>

#include "os/kernel/Errors.h"
#include "os/kernel/Kernel.h"
#include "os/kernel/Module.h"
#include "os/kernel/Resources.h"
#include "os/kernel/Text.h"

namespace HA::OS {

namespace {

// One node of a version block: WORD wLength, WORD wValueLength, WORD wType, a NUL-ended
// UTF-16 key, padding to 32 bits, the value, padding, then the children.
struct Node {
    const BYTE* begin = nullptr;
    const BYTE* end = nullptr;
    WString key;
    const BYTE* value = nullptr;
    DWORD valueLength = 0;  // as stored: characters for text, bytes for binary
    const BYTE* children = nullptr;
};

WORD readWord(const BYTE* p) { return static_cast<WORD>(p[0] | (p[1] << 8)); }

// Offsets are aligned relative to the block's start, as the writer pads them.
const BYTE* align4(const BYTE* base, const BYTE* p)
{
    return base + ((static_cast<std::size_t>(p - base) + 3) & ~std::size_t(3));
}

// Reads the node at `p` within [p, limit); false for anything that does not fit.
bool readNode(const BYTE* base, const BYTE* p, const BYTE* limit, Node& node)
{
    if (limit - p < 6)
        return false;
    const WORD length = readWord(p);
    if (length < 6 || length > limit - p)
        return false;
    node.begin = p;
    node.end = p + length;
    const WORD valueLength = readWord(p + 2);
    const WORD type = readWord(p + 4);
    node.key.clear();
    const BYTE* q = p + 6;
    for (;; q += 2) {
        if (node.end - q < 2)
            return false;
        const WChar c = readWord(q);
        if (c == 0)
            break;
        node.key += c;
    }
    node.value = align4(base, q + 2);
    node.valueLength = valueLength;
    const std::size_t valueBytes = type == 1 ? std::size_t(valueLength) * 2 : valueLength;
    if (node.value > node.end || valueBytes > static_cast<std::size_t>(node.end - node.value))
        return false;
    node.children = align4(base, node.value + valueBytes);
    if (node.children > node.end)
        node.children = node.end;
    return true;
}

bool findChild(const BYTE* base, const Node& parent, const WString& key, Node& child)
{
    for (const BYTE* p = parent.children; p < parent.end;) {
        if (!readNode(base, p, parent.end, child))
            return false;
        if (equalIgnoringCase(child.key, key))
            return true;
        p = align4(base, child.end);
    }
    return false;
}

// The version resource of the module whose file this is, or null (last error set).
const BYTE* versionResource(const WString& fileName, DWORD& size)
{
    WChar buffer[MAX_PATH];
    HMODULE module = getExecutableModule();
    const DWORD n = getModuleFileName(module, buffer, MAX_PATH);
    if (n == 0 || n >= MAX_PATH || WString(buffer, n) != fileName) {
        setLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    HRSRC resource = findResource(module, ResourceId::number(1), ResourceId::number(RT_VERSION));
    if (!resource)
        return nullptr;
    const auto* bytes = static_cast<const BYTE*>(lockResource(loadResource(module, resource)));
    size = sizeofResource(module, resource);
    Node root;
    if (!bytes || !readNode(bytes, bytes, bytes + size, root)) {
        setLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    return bytes;
}

}  // namespace

DWORD getFileVersionInfoSize(const WString& fileName, DWORD* handle)
{
    if (handle)
        *handle = 0;
    DWORD size = 0;
    return versionResource(fileName, size) ? size : 0;
}

bool getFileVersionInfo(const WString& fileName, DWORD, DWORD length, void* data)
{
    DWORD size = 0;
    const BYTE* bytes = versionResource(fileName, size);
    if (!bytes)
        return false;
    if (!data || length < size) {
        setLastError(ERROR_INSUFFICIENT_BUFFER);
        return false;
    }
    std::memcpy(data, bytes, size);
    return true;
}

bool verQueryValue(const void* block, const WString& subBlock, const void** buffer, UINT* length)
{
    if (!block || !buffer || !length)
        return false;
    const auto* base = static_cast<const BYTE*>(block);
    Node node;
    // The root's own length bounds everything; getFileVersionInfo checked it fits.
    if (!readNode(base, base, base + readWord(base), node))
        return false;
    std::size_t start = 0;
    while (start <= subBlock.size()) {
        std::size_t stop = subBlock.find(u'\\', start);
        if (stop == WString::npos)
            stop = subBlock.size();
        if (stop > start) {
            Node child;
            if (!findChild(base, node, subBlock.substr(start, stop - start), child))
                return false;
            node = child;
        }
        start = stop + 1;
    }
    *buffer = node.value;
    *length = node.valueLength;
    return true;
}

}  // namespace HA::OS
