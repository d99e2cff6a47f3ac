#pragma once
// A picture reference resolved per display scale. It loads the picture for a scale the first
// time that scale is asked for and keeps it; a scale its loader has no picture for gets the
// scale-1 picture scaled by nearest neighbour. A value: copies share no cache.
// User-interface thread only.

#include <functional>
#include <map>
#include <memory>

#include "uia/graphics/picture/Picture.h"

namespace HA::HWL {

class LazyPicture {
public:
    // Scale to picture; null when there is none for that scale.
    using tLoader = std::function<std::shared_ptr<const UIA::Picture>(float scale)>;

    // Draws nothing.
    LazyPicture() = default;
    // The picture at scale 1, and scaled copies of it for other scales. A null picture gives
    // an empty lazy picture.
    explicit LazyPicture(std::shared_ptr<const UIA::Picture> picture);
    // Nothing is loaded until get() asks.
    explicit LazyPicture(tLoader loader);
    LazyPicture(const LazyPicture&) = default;
    LazyPicture& operator=(const LazyPicture&) = default;
    LazyPicture(LazyPicture&&) = default;
    LazyPicture& operator=(LazyPicture&&) = default;

    // The picture for scale, owned by this lazy picture's cache; null when there is none or
    // the scale is not finite and positive. A cached scale is found only under exactly the
    // same value.
    const UIA::Picture* get(float scale) const;

private:
    tLoader mLoader;
    mutable std::map<float, std::shared_ptr<const UIA::Picture>> mCache;
};

}  // namespace HA::HWL
