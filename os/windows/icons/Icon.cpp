#include "os/windows/icons/Icon.h"

#include <png.h>

#include <cstring>
#include <map>
#include <mutex>

#include "os/kernel/Kernel.h"
#include "os/kernel/Resources.h"
#include "os/windows/detail/WindowState.h"

namespace HA::OS {

using namespace DETAIL;

namespace {

constexpr size_t kGroupHeaderSize = 6;
constexpr size_t kGroupEntrySize = 14;

struct IconRec {
    IconPixels picture;
    bool stock = false;
};

struct Icons {
    std::mutex mutex;
    std::map<HICON, IconRec> icons;
    std::uintptr_t next = 0x60010;
    HICON application = nullptr;
    HCURSOR arrow = nullptr;
};

Icons& icons()
{
    static Icons* i = new Icons;  // never destroyed: windows may outlive static destruction
    return *i;
}

WORD readWord(const BYTE* p) { return static_cast<WORD>(p[0] | p[1] << 8); }

struct GroupEntry {
    int width;
    int height;
    WORD id;
};

bool readGroup(const BYTE* data, DWORD size, std::vector<GroupEntry>& entries)
{
    if (size < kGroupHeaderSize || readWord(data) != 0 || readWord(data + 2) != 1)
        return false;
    WORD count = readWord(data + 4);
    if (count == 0 || size < kGroupHeaderSize + size_t(count) * kGroupEntrySize)
        return false;
    for (WORD i = 0; i < count; ++i) {
        const BYTE* e = data + kGroupHeaderSize + size_t(i) * kGroupEntrySize;
        entries.push_back(GroupEntry{e[0] ? e[0] : 256, e[1] ? e[1] : 256, readWord(e + 12)});
    }
    return true;
}

// Exact size first, then the smallest larger one, then the largest.
const GroupEntry& bestFit(const std::vector<GroupEntry>& entries, int cx, int cy)
{
    const GroupEntry* best = nullptr;
    for (const GroupEntry& e : entries)
        if (e.width == cx && e.height == cy)
            return e;
    for (const GroupEntry& e : entries)
        if (e.width >= cx && e.height >= cy && (!best || e.width * e.height < best->width * best->height))
            best = &e;
    if (best)
        return *best;
    for (const GroupEntry& e : entries)
        if (!best || e.width * e.height > best->width * best->height)
            best = &e;
    return *best;
}

bool decodePng(const void* data, DWORD size, IconPixels& out)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, data, size))
        return false;
    image.format = PNG_FORMAT_BGRA;
    if (image.width == 0 || image.height == 0 || image.width > 1024 || image.height > 1024) {
        png_image_free(&image);
        return false;
    }
    out.width = static_cast<int>(image.width);
    out.height = static_cast<int>(image.height);
    out.pixels.assign(size_t(image.width) * image.height, 0u);
    if (!png_image_finish_read(&image, nullptr, out.pixels.data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    return true;
}

IconPixels scaled(const IconPixels& from, int width, int height)
{
    if (from.width == width && from.height == height)
        return from;
    IconPixels to;
    to.width = width;
    to.height = height;
    to.pixels.resize(size_t(width) * size_t(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            to.pixels[size_t(y) * width + x] =
                from.pixels[size_t(y * from.height / height) * from.width + size_t(x * from.width / width)];
    return to;
}

HICON addIcon(IconPixels picture, bool stock)
{
    Icons& i = icons();
    std::lock_guard<std::mutex> lock(i.mutex);
    HICON h = reinterpret_cast<HICON>(i.next);
    i.next += 4;
    i.icons[h] = IconRec{std::move(picture), stock};
    return h;
}

IconPixels plainPicture(int size, std::uint32_t colour)
{
    IconPixels p;
    p.width = p.height = size;
    p.pixels.assign(size_t(size) * size_t(size), colour);
    return p;
}

}  // namespace

HICON loadIconImage(HMODULE module, WORD id, int cx, int cy, UINT flags)
{
    if ((flags & LR_DEFAULTSIZE) && cx == 0)
        cx = kIconSize;
    if ((flags & LR_DEFAULTSIZE) && cy == 0)
        cy = kIconSize;
    if (cx <= 0 || cy <= 0 || cx > 256 || cy > 256) {
        setLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HRSRC group = findResource(module, ResourceId::number(id), ResourceId::number(RT_GROUP_ICON));
    if (!group)
        return nullptr;
    std::vector<GroupEntry> entries;
    if (!readGroup(static_cast<const BYTE*>(lockResource(loadResource(module, group))), sizeofResource(module, group),
                   entries)) {
        setLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    const GroupEntry& chosen = bestFit(entries, cx, cy);
    HRSRC image = findResource(module, ResourceId::number(chosen.id), ResourceId::number(RT_ICON));
    if (!image)
        return nullptr;
    IconPixels picture;
    if (!decodePng(lockResource(loadResource(module, image)), sizeofResource(module, image), picture)) {
        setLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    return addIcon(scaled(picture, cx, cy), false);
}

HICON loadIcon(HMODULE module, WORD id)
{
    if (module || id != IDI_APPLICATION) {
        setLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    static HICON application = addIcon(plainPicture(kIconSize, 0xFF2060C0u), true);
    return application;
}

namespace {

// The system cursors, made once: a shared handle per id.
const std::map<WORD, HCURSOR>& systemCursors()
{
    static const auto* cursors = [] {
        auto* m = new std::map<WORD, HCURSOR>;
        for (WORD id : {IDC_ARROW, IDC_IBEAM, IDC_WAIT, IDC_CROSS, IDC_UPARROW, IDC_SIZENWSE, IDC_SIZENESW,
                        IDC_SIZEWE, IDC_SIZENS, IDC_SIZEALL, IDC_NO, IDC_HAND})
            (*m)[id] = addIcon(plainPicture(kIconSize, 0u), true);
        return m;
    }();
    return *cursors;
}

}  // namespace

HCURSOR loadCursor(HMODULE module, WORD id)
{
    const auto& cursors = systemCursors();
    auto it = cursors.find(id);
    if (module || it == cursors.end()) {
        setLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return it->second;
}

WORD systemCursorId(HCURSOR cursor)
{
    if (!cursor)
        return 0;
    for (const auto& [id, handle] : systemCursors())
        if (handle == cursor)
            return id;
    return 0;
}

bool destroyIcon(HICON icon)
{
    Icons& i = icons();
    std::lock_guard<std::mutex> lock(i.mutex);
    auto it = i.icons.find(icon);
    if (it == i.icons.end() || it->second.stock) {
        setLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    i.icons.erase(it);
    return true;
}

bool readIconPixels(HICON icon, IconPixels& out)
{
    Icons& i = icons();
    std::lock_guard<std::mutex> lock(i.mutex);
    auto it = i.icons.find(icon);
    if (it == i.icons.end()) {
        out = IconPixels{};
        setLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    out = it->second.picture;
    return true;
}

HICON getWindowIcon(HWND hwnd, WPARAM kind)
{
    auto lock = kernelLock();
    auto w = windowOrFail(hwnd);
    if (!w)
        return nullptr;
    return kind == ICON_BIG ? w->bigIcon : w->smallIcon;
}

}  // namespace HA::OS
