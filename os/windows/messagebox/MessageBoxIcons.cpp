// The message box's four icons, drawn in code: shapes sampled 4 x 4 per pixel for smooth
// edges, the marks in them from the dialog font.

#include <algorithm>
#include <cmath>
#include <functional>

#include "os/windows/messagebox/MessageBox.h"
#include "os/windows/messagebox/detail/MessageBoxWindow.h"

namespace HA::OS::DETAIL {

namespace {

constexpr int kSize = 32;
constexpr int kSamples = 4;

// Fills what `inside` (icon coordinates, pixels as unit squares) covers.
void shape(DialogCanvas& canvas, int x, int y, std::uint32_t colour, const std::function<bool(double, double)>& inside)
{
    for (int py = 0; py < kSize; ++py)
        for (int px = 0; px < kSize; ++px) {
            int hits = 0;
            for (int sy = 0; sy < kSamples; ++sy)
                for (int sx = 0; sx < kSamples; ++sx)
                    hits += inside(px + (sx + 0.5) / kSamples, py + (sy + 0.5) / kSamples);
            canvas.blend(x + px, y + py, colour, hits * 255 / (kSamples * kSamples));
        }
}

bool inDisc(double px, double py, double cx, double cy, double r)
{
    return (px - cx) * (px - cx) + (py - cy) * (py - cy) <= r * r;
}

// Within `halfWidth` of the segment from (ax, ay) to (bx, by).
bool nearSegment(double px, double py, double ax, double ay, double bx, double by, double halfWidth)
{
    const double dx = bx - ax, dy = by - ay;
    const double t = std::clamp(((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
    const double ex = px - (ax + t * dx), ey = py - (ay + t * dy);
    return ex * ex + ey * ey <= halfWidth * halfWidth;
}

// A triangle with rounded corners: points near the inner triangle by `round`.
bool inWarningTriangle(double px, double py)
{
    const double round = 2.5;
    const double ax = 16, ay = 3 + round, bx = 2 + round * 1.2, by = 29.5 - round, cx = 30 - round * 1.2, cy = 29.5 - round;
    auto side = [](double x0, double y0, double x1, double y1, double x, double y) {
        return (x1 - x0) * (y - y0) - (y1 - y0) * (x - x0);
    };
    const bool inner = side(ax, ay, bx, by, px, py) <= 0 && side(bx, by, cx, cy, px, py) <= 0 &&
                       side(cx, cy, ax, ay, px, py) <= 0;
    return inner || nearSegment(px, py, ax, ay, bx, by, round) || nearSegment(px, py, bx, by, cx, cy, round) ||
           nearSegment(px, py, cx, cy, ax, ay, round);
}

// One character of the bold dialog font centred on (cx, cy) of the icon.
void mark(DialogCanvas& canvas, int x, int y, char32_t c, int pixelSize, double cx, double cy, std::uint32_t colour)
{
    const DialogFont* font = DialogFont::at(pixelSize, DialogFont::eWeight::Bold);
    if (!font)
        return;
    const DialogFont::Ink ink = font->inkOf(c);
    const int left = x + static_cast<int>(std::lround(cx - (ink.left + ink.right) / 2.0));
    const int baseline = y + static_cast<int>(std::lround(cy - (ink.top + ink.bottom) / 2.0));
    font->draw(canvas, left, baseline, std::u32string(1, c), colour);
}

}  // namespace

void drawMessageBoxIcon(DialogCanvas& canvas, int x, int y, UINT icon)
{
    constexpr std::uint32_t kWhite = 0xFFFFFFFFu;
    auto disc = [](double px, double py) { return inDisc(px, py, 16, 16, 15.5); };
    switch (icon & MB_ICONMASK) {
    case MB_ICONERROR:
        shape(canvas, x, y, 0xFFD43A32u, disc);
        shape(canvas, x, y, kWhite, [](double px, double py) {
            return nearSegment(px, py, 10.5, 10.5, 21.5, 21.5, 1.9) || nearSegment(px, py, 21.5, 10.5, 10.5, 21.5, 1.9);
        });
        break;
    case MB_ICONQUESTION:
        shape(canvas, x, y, 0xFF2A6FCBu, disc);
        mark(canvas, x, y, U'?', 22, 16, 16, kWhite);
        break;
    case MB_ICONWARNING:
        shape(canvas, x, y, 0xFFF5BE1Eu, inWarningTriangle);
        shape(canvas, x, y, 0xFF1E1E1Eu, [](double px, double py) {
            return nearSegment(px, py, 16, 11.5, 16, 19.5, 1.7) || inDisc(px, py, 16, 24.2, 1.9);
        });
        break;
    case MB_ICONINFORMATION:
        shape(canvas, x, y, 0xFF2A6FCBu, disc);
        shape(canvas, x, y, kWhite, [](double px, double py) {
            return nearSegment(px, py, 16, 14.5, 16, 23.5, 1.8) || inDisc(px, py, 16, 9.3, 2.1);
        });
        break;
    default:
        break;
    }
}

}  // namespace HA::OS::DETAIL
