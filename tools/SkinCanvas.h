#pragma once
// A small raster kit for the skin's picture generator: straight-alpha RGBA pixels, shapes
// given as inside tests, each pixel sampled 4 x 4 times so that edges come out smooth, and
// colours laid on source-over. Plain float arithmetic and no randomness: every run writes
// the same bytes.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

namespace HA::TOOLS {

struct Rgba {
    float r, g, b, a;  // 0-255 each
};

constexpr Rgba rgb(float r, float g, float b, float a = 255.0f)
{
    return Rgba{r, g, b, a};
}

// Point-in-shape tests in pixel-edge coordinates: pixel (x, y) spans [x, x+1) x [y, y+1).
struct RoundRect {
    float x0, y0, x1, y1, radius;
    bool operator()(float x, float y) const
    {
        if (x < x0 || x >= x1 || y < y0 || y >= y1)
            return false;
        float cx = std::clamp(x, x0 + radius, x1 - radius);
        float cy = std::clamp(y, y0 + radius, y1 - radius);
        float dx = x - cx, dy = y - cy;
        return dx * dx + dy * dy <= radius * radius;
    }
    // The same box shrunk by d on every side.
    RoundRect inset(float d) const { return RoundRect{x0 + d, y0 + d, x1 - d, y1 - d, std::max(0.0f, radius - d)}; }
};

struct Circle {
    float cx, cy, radius;
    bool operator()(float x, float y) const { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius; }
};

// A stroke from a to b with round ends.
struct Capsule {
    float ax, ay, bx, by, halfWidth;
    bool operator()(float x, float y) const
    {
        float vx = bx - ax, vy = by - ay;
        float len2 = vx * vx + vy * vy;
        float t = len2 > 0.0f ? std::clamp(((x - ax) * vx + (y - ay) * vy) / len2, 0.0f, 1.0f) : 0.0f;
        float dx = x - (ax + t * vx), dy = y - (ay + t * vy);
        return dx * dx + dy * dy <= halfWidth * halfWidth;
    }
};

struct Polygon {
    std::vector<std::pair<float, float>> points;
    bool operator()(float x, float y) const
    {
        bool inside = false;
        for (std::size_t i = 0, j = points.size() - 1; i < points.size(); j = i++) {
            auto [xi, yi] = points[i];
            auto [xj, yj] = points[j];
            if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi)
                inside = !inside;
        }
        return inside;
    }
};

// Inside a and not inside b: a border between two boxes.
template <class A, class B>
struct Difference {
    A a;
    B b;
    bool operator()(float x, float y) const { return a(x, y) && !b(x, y); }
};

template <class A, class B>
struct Intersection {
    A a;
    B b;
    bool operator()(float x, float y) const { return a(x, y) && b(x, y); }
};

template <class A, class B>
Difference<A, B> minus(A a, B b)
{
    return Difference<A, B>{a, b};
}

template <class A, class B>
Intersection<A, B> within(A a, B b)
{
    return Intersection<A, B>{a, b};
}

inline RoundRect box(float x0, float y0, float x1, float y1)
{
    return RoundRect{x0, y0, x1, y1, 0.0f};
}

class SkinCanvas {
public:
    static constexpr int kSamples = 4;

    // Transparent.
    SkinCanvas(int width, int height) : mWidth(width), mHeight(height), mPixels(std::size_t(width) * height * 4, 0.0f) {}

    int width() const { return mWidth; }
    int height() const { return mHeight; }

    // Lays colour over every pixel in proportion to the share of its samples inside shape.
    template <class Shape>
    void fill(const Shape& shape, Rgba colour)
    {
        for (int y = 0; y < mHeight; ++y) {
            for (int x = 0; x < mWidth; ++x) {
                int inside = 0;
                for (int j = 0; j < kSamples; ++j)
                    for (int i = 0; i < kSamples; ++i)
                        if (shape(x + (i + 0.5f) / kSamples, y + (j + 0.5f) / kSamples))
                            ++inside;
                if (inside != 0)
                    blend(x, y, colour, float(inside) / (kSamples * kSamples));
            }
        }
    }

    // Rows of 8-bit straight RGBA, top row first.
    std::vector<std::uint8_t> rgbaBytes() const
    {
        std::vector<std::uint8_t> out(mPixels.size());
        for (std::size_t p = 0; p < mPixels.size(); p += 4) {
            float a = mPixels[p + 3];
            for (int c = 0; c < 3; ++c)
                out[p + c] = a > 0.0f ? quantise(mPixels[p + c] / a * 255.0f) : 0;
            out[p + 3] = quantise(a * 255.0f);
        }
        return out;
    }

private:
    static std::uint8_t quantise(float v) { return std::uint8_t(std::lround(std::clamp(v, 0.0f, 255.0f))); }

    // Source-over in premultiplied form.
    void blend(int x, int y, Rgba colour, float coverage)
    {
        float* p = &mPixels[(std::size_t(y) * mWidth + x) * 4];
        float a = colour.a / 255.0f * coverage;
        p[0] = colour.r / 255.0f * a + p[0] * (1.0f - a);
        p[1] = colour.g / 255.0f * a + p[1] * (1.0f - a);
        p[2] = colour.b / 255.0f * a + p[2] * (1.0f - a);
        p[3] = a + p[3] * (1.0f - a);
    }

    int mWidth;
    int mHeight;
    std::vector<float> mPixels;  // premultiplied, 0-1
};

}  // namespace HA::TOOLS
