#pragma once
// The process's FreeType library and its font files: each file is read once and kept in
// memory, and render caches of equal face, pixel size and hinting are shared between fonts.
// User-interface thread only.

#include <memory>
#include <string>
#include <unordered_map>
#include <variant>
#include <vector>

#include "uia/graphics/text/FTRenderCache.h"

namespace HA::UIA {

class FreeTypeContext {
public:
    // A resource id or a font file name; keys of different kinds never match.
    using tFaceKey = std::variant<int, std::string>;

    struct tSizeKey {
        int pixelSize = 0;
        bool hinting = false;
        friend bool operator==(const tSizeKey& a, const tSizeKey& b)
        {
            return a.pixelSize == b.pixelSize && a.hinting == b.hinting;
        }
    };

    struct tSizeKeyHash {
        std::size_t operator()(const tSizeKey& key) const
        {
            return std::hash<int>()(key.pixelSize) * 2 + (key.hinting ? 1 : 0);
        }
    };

    struct tFaceEntry {
        // The whole font file; faces are opened over it.
        DETAIL::tFontBytes fontBytes;
        std::unordered_map<tSizeKey, std::weak_ptr<DETAIL::FTRenderCache>, tSizeKeyHash> sizes;
    };

    // The process's context, made on first use and ended at process exit.
    static FreeTypeContext& instance();
    static FreeTypeContext& get() { return instance(); }

    // A context of its own, for tests that need fresh face entries.
    FreeTypeContext();
    ~FreeTypeContext();
    FreeTypeContext(const FreeTypeContext&) = delete;
    FreeTypeContext& operator=(const FreeTypeContext&) = delete;

    // The render cache of a face at a size. An unknown key takes the bytes as its font file
    // (without bytes the result is empty); a known key keeps its file and drops the bytes.
    // Empty when the face cannot be opened, has no Unicode character map, no such size (sizes
    // below 1 included), no units per em or a bounding box that is upside down.
    std::shared_ptr<DETAIL::FTRenderCache> getRenderCache(const tFaceKey& key, std::vector<unsigned char> bytes,
                                                          tSizeKey size);
    // The entry's living cache of that size, or a new one (see getRenderCache).
    std::shared_ptr<DETAIL::FTRenderCache> createRenderCache(tFaceEntry& entry, tSizeKey size);

private:
    std::shared_ptr<DETAIL::FTLibrary> mLibrary;
    std::unordered_map<tFaceKey, tFaceEntry> mFaces;
};

}  // namespace HA::UIA
