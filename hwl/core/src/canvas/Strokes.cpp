// The canvas's anti-aliased strokes (lines at scales other than 1), by Anti-Grain Geometry.
// Its rasteriser shifts negative coverage values left; this file is built without the
// sanitizer's shift check for that reason (hwl/CMakeLists.txt).

#include <agg_basics.h>
#include <agg_conv_stroke.h>
#include <agg_gamma_functions.h>
#include <agg_path_storage.h>
#include <agg_pixfmt_rgba.h>
#include <agg_rasterizer_scanline_aa.h>
#include <agg_renderer_base.h>
#include <agg_renderer_scanline.h>
#include <agg_rendering_buffer.h>
#include <agg_scanline_u.h>

#include "hwl/core/src/canvas/Canvas.h"

namespace HA::HWL {

namespace {

// Straight alpha stays straight: the plain (not premultiplied) pixel format.
using tPixelFormat = agg::pixfmt_bgra32_plain;

}  // namespace

void BackgroundDrawingCanvas::drawStrokedLine(int x1, int y1, int x2, int y2, std::uint32_t colour)
{
    UIA::Picture& buffer = *mBuffer;
    const int width = buffer.getWidth();
    const int height = buffer.getHeight();
    std::uint32_t* pixels = buffer.getPixels();
    if (!pixels || width <= 0 || height <= 0)
        return;
    const int ox = buffer.getOriginX();
    const int oy = buffer.getOriginY();
    // The drawing bounds in buffer pixels (inclusive corners for the renderer).
    const GP::Rect bounds = buffer.getDrawingBounds().offsetBy(ox, oy);
    if (bounds.isEmpty())
        return;

    agg::path_storage path;
    path.move_to(double(x1) + ox, double(y1) + oy);
    path.line_to(double(x2) + ox, double(y2) + oy);
    agg::conv_stroke<agg::path_storage> stroke(path);
    stroke.width(mScale);
    stroke.line_join(agg::round_join);
    stroke.inner_join(agg::inner_round);
    stroke.line_cap(agg::butt_cap);

    agg::rendering_buffer rows(reinterpret_cast<agg::int8u*>(pixels), unsigned(width), unsigned(height), width * 4);
    tPixelFormat format(rows);
    agg::renderer_base<tPixelFormat> renderer(format);
    renderer.clip_box(bounds.left, bounds.top, bounds.right - 1, bounds.bottom - 1);
    agg::rasterizer_scanline_aa<> rasteriser;
    rasteriser.filling_rule(agg::fill_non_zero);
    rasteriser.gamma(agg::gamma_none());
    rasteriser.add_path(stroke);
    agg::scanline_u8 scanline;
    const agg::rgba8 aggColour(agg::int8u((colour >> 16) & 0xFF), agg::int8u((colour >> 8) & 0xFF),
                               agg::int8u(colour & 0xFF), agg::int8u(colour >> 24));
    agg::render_scanlines_aa_solid(rasteriser, scanline, renderer, aggColour);
}

}  // namespace HA::HWL
