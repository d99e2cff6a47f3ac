#include "uia/transfer/ClipBoardFormat.h"

#include <cstdio>
#include <cstring>
#include <random>

#include "gp/src/common/text/Utf8.h"
#include "os/files/File.h"

namespace HA::UIA {

unsigned getClipboardFormatId(const std::string& name)
{
    if (name == TextClipBoardFormat::kName)
        return OS::CF_UNICODETEXT;
    if (name == FileListClipBoardFormat::kName)
        return OS::CF_HDROP;
    return OS::registerClipboardFormat(name);
}

ClipBoardFormat::~ClipBoardFormat() = default;

bool RawDataClipBoardFormat::decode(OS::HGLOBAL block)
{
    const auto* bytes = static_cast<const std::uint8_t*>(OS::globalLock(block));
    if (!bytes)
        return false;
    const bool ok = decodeBytes(bytes, OS::globalSize(block));
    OS::globalUnlock(block);
    return ok;
}

bool RawDataClipBoardFormat::encode(OS::HGLOBAL* block)
{
    if (!block)
        return false;
    *block = OS::globalAlloc(OS::GMEM_FIXED, dataSize());
    if (!*block)
        return false;
    writeTo(static_cast<std::uint8_t*>(OS::globalLock(*block)));
    OS::globalUnlock(*block);
    return true;
}

// ---- Text -------------------------------------------------------------------------------

namespace {
const unsigned* textId()
{
    static const unsigned id = getClipboardFormatId(TextClipBoardFormat::kName);
    return &id;
}
const unsigned* fileListId()
{
    static const unsigned id = getClipboardFormatId(FileListClipBoardFormat::kName);
    return &id;
}
const unsigned* internalId()
{
    static const unsigned id = getClipboardFormatId(InternalClipBoardFormat::formatName());
    return &id;
}
}  // namespace

TextClipBoardFormat::TextClipBoardFormat() : RawDataClipBoardFormat(textId()) {}

void TextClipBoardFormat::setText(const std::string& utf8) { mText = GP::toUtf16(utf8); }

std::string TextClipBoardFormat::getTextUtf8() const { return GP::toUtf8(mText); }

bool TextClipBoardFormat::decodeBytes(const std::uint8_t* bytes, std::size_t size)
{
    mText.clear();
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const char16_t unit = static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8);
        if (unit == 0)
            break;
        mText.push_back(unit);
    }
    return true;
}

void TextClipBoardFormat::writeTo(std::uint8_t* destination) const
{
    std::memset(destination, 0, dataSize());
    std::memcpy(destination, mText.data(), 2 * mText.size());
}

// ---- File list --------------------------------------------------------------------------

FileListClipBoardFormat::FileListClipBoardFormat() : ClipBoardFormat(fileListId()) {}

bool FileListClipBoardFormat::encode(OS::HGLOBAL* block)
{
    if (!block)
        return false;
    std::vector<std::u16string> names;
    std::size_t size = kHeaderSize + 2;
    for (const GP::FilePath& file : mFiles) {
        names.push_back(file.toWide());
        size += 2 * names.back().size() + 2;
    }
    *block = OS::globalAlloc(OS::GHND, size);
    if (!*block)
        return false;
    auto* p = static_cast<std::uint8_t*>(OS::globalLock(*block));
    std::memset(p, 0, size);
    const std::uint32_t header[5] = {static_cast<std::uint32_t>(kHeaderSize), 0, 0, 0, 1};
    std::memcpy(p, header, sizeof header);
    std::size_t at = kHeaderSize;
    for (const std::u16string& name : names) {
        std::memcpy(p + at, name.data(), 2 * name.size());
        at += 2 * name.size() + 2;
    }
    OS::globalUnlock(*block);
    return true;
}

bool FileListClipBoardFormat::decode(OS::HGLOBAL block)
{
    mFiles.clear();
    const auto* p = static_cast<const std::uint8_t*>(OS::globalLock(block));
    if (!p)
        return false;
    const std::size_t size = OS::globalSize(block);
    std::vector<std::u16string> names;
    names.reserve(OS::dragQueryFileW(block, 0xFFFFFFFFu, nullptr, 0));
    bool whole = false;
    if (size >= kHeaderSize) {
        std::uint32_t offset = 0, wide = 0;
        std::memcpy(&offset, p, 4);
        std::memcpy(&wide, p + 16, 4);
        const std::size_t unit = wide ? 2 : 1;
        std::size_t at = offset;
        // Every name, and the empty one that ends the list, must lie inside the block with
        // its zero unit; a block that breaks off gives no list at all.
        while (offset >= kHeaderSize && at + unit <= size) {
            std::u16string name;
            bool terminated = false;
            while (at + unit <= size) {
                // 8-bit names are taken as Latin-1.
                const char16_t c = wide ? static_cast<char16_t>(p[at] | p[at + 1] << 8) : static_cast<char16_t>(p[at]);
                at += unit;
                if (c == 0) {
                    terminated = true;
                    break;
                }
                name.push_back(c);
            }
            if (!terminated)
                break;
            if (name.empty()) {
                whole = true;
                break;
            }
            names.push_back(std::move(name));
        }
    }
    OS::globalUnlock(block);
    if (!whole)
        return false;
    for (std::u16string& name : names) {
        if (name.back() != u'\\') {
            const OS::DWORD attributes = OS::getFileAttributes(name);
            if (attributes != OS::INVALID_FILE_ATTRIBUTES && (attributes & OS::FILE_ATTRIBUTE_DIRECTORY))
                name.push_back(u'\\');
        }
        mFiles.emplace_back(name);
    }
    return true;
}

// ---- In-process object ------------------------------------------------------------------

namespace {
struct ProcessIdentity {
    std::string name;
    std::uintptr_t source = 0;
    ProcessIdentity()
    {
        std::random_device device;
        std::uint32_t r[4];
        for (std::uint32_t& word : r)
            word = device();
        r[1] = (r[1] & 0xFFFF0FFFu) | 0x00004000u;  // version 4
        r[2] = (r[2] & 0x3FFFFFFFu) | 0x80000000u;  // variant 1
        char text[40];
        std::snprintf(text, sizeof text, "%08x-%04x-%04x-%04x-%04x%08x", r[0], r[1] >> 16, r[1] & 0xFFFF,
                      r[2] >> 16, r[2] & 0xFFFF, r[3]);
        name = std::string("harnwick-acoustics.") + "application.internalclipboardformat." + text;
        source = static_cast<std::uintptr_t>((static_cast<std::uint64_t>(r[0]) << 32 | r[3]) | 1u);
    }
};
const ProcessIdentity& identity()
{
    static const ProcessIdentity id;
    return id;
}
}  // namespace

InternalClipBoardFormat::InternalClipBoardFormat() : RawDataClipBoardFormat(internalId()) {}

const std::string& InternalClipBoardFormat::formatName() { return identity().name; }

std::uintptr_t InternalClipBoardFormat::processSourceWord() { return identity().source; }

bool InternalClipBoardFormat::decodeBytes(const std::uint8_t* bytes, std::size_t size)
{
    object = 0;
    source = 0;
    if (size != dataSize())
        return false;
    std::memcpy(&object, bytes, sizeof object);
    std::memcpy(&source, bytes + sizeof object, sizeof source);
    return true;
}

void InternalClipBoardFormat::writeTo(std::uint8_t* destination) const
{
    std::memcpy(destination, &object, sizeof object);
    std::memcpy(destination + sizeof object, &source, sizeof source);
}

}  // namespace HA::UIA
