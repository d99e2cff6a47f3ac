#include "hwl/core/src/style/LazyPicture.h"

#include <cmath>
#include <utility>

namespace HA::HWL {

LazyPicture::LazyPicture(std::shared_ptr<const UIA::Picture> picture)
{
    if (picture)
        mCache.emplace(1.0f, std::move(picture));
}

LazyPicture::LazyPicture(tLoader loader) : mLoader(std::move(loader)) {}

const UIA::Picture* LazyPicture::get(float scale) const
{
    // A NaN key would break the map's ordering; no picture has such a scale anyway.
    if (!std::isfinite(scale) || scale <= 0.0f)
        return nullptr;

    auto found = mCache.find(scale);
    if (found != mCache.end())
        return found->second.get();

    if (mLoader) {
        if (std::shared_ptr<const UIA::Picture> picture = mLoader(scale))
            return (mCache[scale] = std::move(picture)).get();
        // The loader has already been asked for scale 1; asking again would load (and
        // report) a second time.
        if (scale == 1.0f)
            return nullptr;
    }

    std::shared_ptr<const UIA::Picture> base;
    found = mCache.find(1.0f);
    if (found != mCache.end())
        base = found->second;
    else if (mLoader) {
        base = mLoader(1.0f);
        if (base)
            mCache[1.0f] = base;
    }
    if (!base)
        return nullptr;

    std::shared_ptr<const UIA::Picture> scaled = base->createScaled(scale, UIA::Picture::eInterpolation::Nearest);
    if (!scaled)
        return nullptr;
    return (mCache[scale] = std::move(scaled)).get();
}

}  // namespace HA::HWL
