// The FreeType context: font files by key and the render caches made from them.

#include "uia/graphics/text/FreeTypeContext.h"

#include <utility>

namespace HA::UIA {

FreeTypeContext& FreeTypeContext::instance()
{
    static FreeTypeContext context;
    return context;
}

FreeTypeContext::FreeTypeContext() : mLibrary(std::make_shared<DETAIL::FTLibrary>())
{
    mFaces.max_load_factor(1.0f);
    mFaces.rehash(8);
}

// Render caches that fonts still hold keep the library and their font file alive.
FreeTypeContext::~FreeTypeContext() = default;

std::shared_ptr<DETAIL::FTRenderCache> FreeTypeContext::getRenderCache(const tFaceKey& key,
                                                                       std::vector<unsigned char> bytes,
                                                                       tSizeKey size)
{
    auto found = mFaces.find(key);
    if (found == mFaces.end()) {
        if (bytes.empty())
            return nullptr;
        tFaceEntry entry;
        entry.fontBytes = std::make_shared<const std::vector<unsigned char>>(std::move(bytes));
        found = mFaces.emplace(key, std::move(entry)).first;
    }
    return createRenderCache(found->second, size);
}

std::shared_ptr<DETAIL::FTRenderCache> FreeTypeContext::createRenderCache(tFaceEntry& entry, tSizeKey size)
{
    const auto known = entry.sizes.find(size);
    if (known != entry.sizes.end()) {
        if (auto living = known->second.lock())
            return living;
        entry.sizes.erase(known);
    }
    // A size below one pixel would reach FreeType as an enormous unsigned size.
    if (size.pixelSize < 1)
        return nullptr;
    FT_Face face = nullptr;
    const auto& bytes = *entry.fontBytes;
    if (FT_New_Memory_Face(mLibrary->get(), bytes.data(), static_cast<FT_Long>(bytes.size()), 0, &face) != 0)
        return nullptr;
    if (FT_Select_Charmap(face, FT_ENCODING_UNICODE) != 0 ||
        FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(size.pixelSize)) != 0) {
        FT_Done_Face(face);
        return nullptr;
    }
    auto cache = DETAIL::FTRenderCache::create(mLibrary, entry.fontBytes, face, size.pixelSize, size.hinting);
    if (cache)
        entry.sizes[size] = cache;
    return cache;
}

}  // namespace HA::UIA
