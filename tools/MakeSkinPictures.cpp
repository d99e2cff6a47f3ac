// Draws the updater skin's pictures and the application icon, all as 8-bit RGBA PNG files:
//   ha_make_skin_pictures <output folder>
// writes the 27 pictures under the names the style sheet spells, "icon-32.png",
// "icon-16.png" and "icon-group.bin" (the group-icon directory for the two icon images,
// ids 1 and 2). Animation frames are stacked vertically. The look is flat: light panels
// with thin borders, one blue accent, status tints of red, green and blue-grey; borders
// stay inside the nine-patch margins the sheet gives each picture.

#include <png.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "tools/SkinCanvas.h"

namespace {

using namespace HA::TOOLS;

constexpr float kPi = 3.14159265358979f;

// Palette.
constexpr Rgba kInk = rgb(16, 35, 49);
constexpr Rgba kWhite = rgb(255, 255, 255);
constexpr Rgba kAccent = rgb(47, 111, 160);
constexpr Rgba kAccentDark = rgb(28, 78, 120);
constexpr Rgba kBorder = rgb(200, 207, 214);

// A bordered box: border of width w in one colour, the inside in another.
void panel(SkinCanvas& c, RoundRect outer, float w, Rgba border, Rgba inside)
{
    c.fill(outer.inset(w), inside);
    c.fill(minus(outer, outer.inset(w)), border);
}

// ---- Panels --------------------------------------------------------------------------

void drawHeader(SkinCanvas& c, int, int)
{
    RoundRect outer{0, 0, float(c.width()), float(c.height()), 5};
    panel(c, outer, 1, kBorder, rgb(251, 252, 253));
    c.fill(within(box(0, 34, float(c.width()), 36), outer.inset(1)), kAccent);
}

// Nine-patch 5: the border and its rounding lie within 5 pixels of each edge.
void drawInner(SkinCanvas& c, int, int)
{
    panel(c, RoundRect{0, 0, 100, 100, 4}, 1, rgb(206, 212, 218), rgb(233, 236, 239));
}

// Nine-patch 6; frames error, ok, info, each with a darker strip in the left margin.
void drawStatus(SkinCanvas& c, int frame, int fh)
{
    struct Tint {
        Rgba fill, border, strip;
    };
    static const Tint tints[] = {
        {rgb(251, 231, 229), rgb(226, 140, 132), rgb(200, 60, 50)},
        {rgb(229, 244, 232), rgb(132, 192, 148), rgb(52, 145, 78)},
        {rgb(230, 236, 242), rgb(152, 172, 192), rgb(96, 122, 146)},
    };
    const Tint& t = tints[frame];
    float y = float(frame * fh);
    RoundRect outer{0, y, 100, y + fh, 5};
    panel(c, outer, 1, t.border, t.fill);
    c.fill(within(box(1, y, 5, y + fh), outer.inset(1)), t.strip);
}

void drawContent(SkinCanvas& c, int, int)
{
    panel(c, RoundRect{0, 0, 100, 100, 5}, 1, kBorder, kWhite);
}

void drawOverlay(SkinCanvas& c, int, int)
{
    // A soft shadow to the lower right, then the panel.
    for (int i = 4; i >= 1; --i)
        c.fill(RoundRect{float(i), float(i), 446.0f + i, 270.0f + i, 7}, rgb(0, 0, 0, 18));
    RoundRect outer{0, 0, 446, 270, 6};
    panel(c, outer, 1, rgb(168, 178, 188), kWhite);
    c.fill(within(box(0, 0, 446, 4), outer.inset(1)), kAccent);
    c.fill(box(13, 42, 433, 43), rgb(222, 227, 232));
}

// ---- Status icon, wheel, value fields -----------------------------------------------

void drawStatusIcon(SkinCanvas& c, int frame, int fh)
{
    float y = float(frame * fh);
    if (frame == 0) {
        c.fill(Circle{11.5f, y + 11.5f, 10.5f}, rgb(52, 145, 78));
        c.fill(Capsule{6.5f, y + 12.0f, 10.0f, y + 15.5f, 1.4f}, kWhite);
        c.fill(Capsule{10.0f, y + 15.5f, 16.5f, y + 7.5f, 1.4f}, kWhite);
    } else {
        c.fill(Circle{11.5f, y + 11.5f, 10.5f}, rgb(200, 60, 50));
        c.fill(Capsule{7.5f, y + 7.5f, 15.5f, y + 15.5f, 1.4f}, kWhite);
        c.fill(Capsule{15.5f, y + 7.5f, 7.5f, y + 15.5f, 1.4f}, kWhite);
    }
}

// Twelve dots on a ring; the bright one stands at frame * 30 degrees clockwise from the top,
// the two before it fade behind it.
void drawWheel(SkinCanvas& c, int frame, int fh)
{
    float cx = 11.0f, cy = float(frame * fh) + 11.0f;
    for (int k = 0; k < 12; ++k) {
        float angle = float(k) * kPi / 6.0f;
        float x = cx + 7.5f * std::sin(angle), y = cy - 7.5f * std::cos(angle);
        int behind = (frame - k + 12) % 12;
        if (behind == 0)
            c.fill(Circle{x, y, 2.5f}, kAccent);
        else if (behind == 1)
            c.fill(Circle{x, y, 2.1f}, rgb(47, 111, 160, 150));
        else if (behind == 2)
            c.fill(Circle{x, y, 1.9f}, rgb(47, 111, 160, 90));
        else
            c.fill(Circle{x, y, 1.7f}, rgb(120, 136, 150, 90));
    }
}

// Frames neutral, success, fail and a spare blue; fixed-left and fixed-right 2 leave the
// border and its rounding within two pixels of the sides.
void drawValueField(SkinCanvas& c, int frame, int fh)
{
    struct Tint {
        Rgba fill, border;
    };
    static const Tint tints[] = {
        {rgb(236, 239, 242), rgb(186, 195, 203)},
        {rgb(221, 243, 226), rgb(88, 170, 110)},
        {rgb(251, 227, 225), rgb(212, 98, 88)},
        {rgb(226, 235, 245), rgb(120, 150, 180)},
    };
    float y = float(frame * fh);
    panel(c, RoundRect{0, y, 100, y + fh, 2}, 1, tints[frame].border, tints[frame].fill);
}

// ---- Buttons ------------------------------------------------------------------------

// Frames: normal, selected, pressed, selected and pressed, hovered, selected and hovered,
// disabled. The focus set draws the same frames with a wider, darker border.
void drawButton(SkinCanvas& c, int frame, int fh, bool focus)
{
    struct Look {
        Rgba fill, border, ink;
        bool sunken, underline;
    };
    static const Look looks[] = {
        {rgb(249, 250, 251), rgb(166, 177, 187), kInk, false, false},
        {rgb(220, 232, 244), rgb(96, 134, 168), kInk, false, false},
        {rgb(207, 214, 221), rgb(128, 140, 151), kInk, true, false},
        {rgb(188, 208, 228), rgb(72, 110, 146), kInk, true, false},
        {rgb(255, 255, 255), kAccent, kAccent, false, true},
        {rgb(232, 241, 250), kAccentDark, kAccentDark, false, true},
        {rgb(238, 240, 242), rgb(208, 213, 218), rgb(190, 199, 206), false, false},
    };
    const Look& l = looks[frame];
    float y = float(frame * fh);
    float w = float(c.width());
    RoundRect outer{0, y, w, y + fh, 4};
    Rgba border = l.border;
    float bw = 1;
    if (focus) {
        bw = 2;
        border = frame == 6 ? rgb(176, 186, 195) : kAccentDark;
    }
    panel(c, outer, bw, border, l.fill);
    RoundRect inner = outer.inset(bw);
    if (l.sunken)
        c.fill(within(box(0, y, w, y + bw + 2), inner), rgb(16, 35, 49, 40));
    if (l.underline)
        c.fill(within(box(0, y + fh - bw - 2, w, y + fh), inner), l.border);
    // A forward chevron, clear of the centred caption.
    float mx = w - 12.0f, my = y + fh / 2.0f;
    c.fill(Capsule{mx - 2.5f, my - 4.5f, mx + 2.0f, my, 1.2f}, l.ink);
    c.fill(Capsule{mx + 2.0f, my, mx - 2.5f, my + 4.5f, 1.2f}, l.ink);
}

// ---- Device and marks ---------------------------------------------------------------

// The interface seen from the front: a dark case with two knobs, a level meter and two jacks.
void drawDevice(SkinCanvas& c, int, int)
{
    c.fill(RoundRect{4, 45, 92, 52, 3}, rgb(0, 0, 0, 40));
    c.fill(box(10, 46, 20, 52), rgb(40, 46, 52));
    c.fill(box(76, 46, 86, 52), rgb(40, 46, 52));
    RoundRect body{2, 8, 94, 49, 5};
    panel(c, body, 1, rgb(36, 43, 50), rgb(66, 76, 86));
    c.fill(within(box(2, 8, 94, 14), body.inset(1)), rgb(88, 100, 112));
    struct Knob {
        float x, angle;
    };
    for (Knob k : {Knob{24, -2.2f}, Knob{53, 0.9f}}) {
        float y = 30.5f;
        c.fill(Circle{k.x, y + 1.0f, 11.0f}, rgb(0, 0, 0, 60));
        c.fill(Circle{k.x, y, 10.5f}, rgb(150, 160, 169));
        c.fill(Circle{k.x, y, 9.3f}, rgb(220, 225, 230));
        c.fill(Circle{k.x, y, 6.5f}, rgb(240, 243, 246));
        c.fill(Capsule{k.x + 2.0f * std::sin(k.angle), y - 2.0f * std::cos(k.angle), k.x + 8.0f * std::sin(k.angle),
                       y - 8.0f * std::cos(k.angle), 1.1f},
               kInk);
    }
    static const Rgba meter[] = {rgb(220, 70, 60), rgb(240, 190, 60), rgb(90, 200, 110), rgb(90, 200, 110),
                                 rgb(90, 200, 110)};
    for (int i = 0; i < 5; ++i)
        c.fill(box(70, 19.0f + i * 5.0f, 75, 22.0f + i * 5.0f), meter[i]);
    for (float jy : {23.5f, 37.5f}) {
        c.fill(Circle{85, jy, 4.5f}, rgb(150, 160, 169));
        c.fill(Circle{85, jy, 2.5f}, rgb(20, 24, 28));
    }
}

// "HA" in white strokes on the accent; scale 1 fills 29 x 21.
void drawMonogram(SkinCanvas& c, float s)
{
    c.fill(RoundRect{0, 0, float(c.width()), float(c.height()), 4 * s}, kAccent);
    float t = 1.0f * s;
    c.fill(Capsule{6.5f * s, 5.5f * s, 6.5f * s, 15.5f * s, t}, kWhite);
    c.fill(Capsule{12.5f * s, 5.5f * s, 12.5f * s, 15.5f * s, t}, kWhite);
    c.fill(Capsule{6.5f * s, 10.5f * s, 12.5f * s, 10.5f * s, t}, kWhite);
    c.fill(Capsule{19.5f * s, 5.0f * s, 16.0f * s, 15.5f * s, t}, kWhite);
    c.fill(Capsule{19.5f * s, 5.0f * s, 23.0f * s, 15.5f * s, t}, kWhite);
    c.fill(Capsule{17.3f * s, 12.0f * s, 21.7f * s, 12.0f * s, t * 0.9f}, kWhite);
}

// The application icon: an arrow rising out of a tray, white on the accent, each size on
// its own pixel grid so that the edges stay sharp.
void drawIcon(SkinCanvas& c)
{
    if (c.width() >= 32) {
        c.fill(RoundRect{1, 1, 31, 31, 6}, kAccent);
        c.fill(Polygon{{{16, 5}, {25, 14}, {7, 14}}}, kWhite);
        c.fill(box(13, 14, 19, 22), kWhite);
        c.fill(Capsule{9, 25.5f, 23, 25.5f, 1.5f}, kWhite);
    } else {
        c.fill(RoundRect{0, 0, 16, 16, 3}, kAccent);
        c.fill(Polygon{{{8, 2}, {13, 7}, {3, 7}}}, kWhite);
        c.fill(box(6, 7, 10, 11), kWhite);
        c.fill(box(3, 12, 13, 14), kWhite);
    }
}

// ---- Design and debug widgets -------------------------------------------------------

void drawTopBar(SkinCanvas& c, int, int)
{
    float w = float(c.width());
    RoundRect outer{0, 0, w, 22, 3};
    c.fill(within(outer, box(0, 0, w, 19)), rgb(62, 78, 92));
    c.fill(box(0, 17, w, 19), kAccent);
}

void drawBottomBar(SkinCanvas& c, int, int)
{
    float w = float(c.width());
    c.fill(box(0, 0, w, 19), rgb(226, 230, 234));
    c.fill(box(0, 0, w, 1), kBorder);
}

void drawTreeBackground(SkinCanvas& c, int, int)
{
    panel(c, RoundRect{0, 0, float(c.width()), float(c.height()), 3}, 1, kBorder, kWhite);
}

void drawDottedFrame(SkinCanvas& c, int, int)
{
    c.fill(box(0, 0, 27, 27), kWhite);
    for (int i = 1; i < 26; i += 2) {
        float f = float(i);
        c.fill(box(f, 1, f + 1, 2), rgb(150, 160, 170));
        c.fill(box(f, 25, f + 1, 26), rgb(150, 160, 170));
        c.fill(box(1, f, 2, f + 1), rgb(150, 160, 170));
        c.fill(box(25, f, 26, f + 1), rgb(150, 160, 170));
    }
}

// Frames normal, pressed, disabled; nine-patch 6.
void drawPlainButton(SkinCanvas& c, int frame, int fh)
{
    static const Rgba fills[] = {rgb(249, 250, 251), rgb(207, 214, 221), rgb(238, 240, 242)};
    static const Rgba borders[] = {rgb(166, 177, 187), rgb(128, 140, 151), rgb(208, 213, 218)};
    float y = float(frame * fh);
    panel(c, RoundRect{0, y, 80, y + fh, 4}, 1, borders[frame], fills[frame]);
}

void drawSelection(SkinCanvas& c, int, int)
{
    c.fill(RoundRect{0, 0, 15, 15, 3}, kAccent);
}

// Tracks and sliders; vertical when taller than wide.
void drawTrack(SkinCanvas& c, int, int)
{
    float w = float(c.width()), h = float(c.height());
    RoundRect track = w < h ? RoundRect{4, 1, 12, h - 1, 4} : RoundRect{1, 4, w - 1, 12, 4};
    c.fill(track, rgb(226, 230, 234));
}

// Nine-patch along its length: a plain rounded bar, nothing in the stretched middle.
void drawSlider(SkinCanvas& c, int, int)
{
    float w = float(c.width()), h = float(c.height());
    c.fill(RoundRect{1, 1, w - 1, h - 1, 5}, rgb(150, 162, 172));
}

// An arrow pointing towards (dx, dy): up (0, -1), down (0, 1), left (-1, 0), right (1, 0).
void drawArrow(SkinCanvas& c, float dx, float dy)
{
    float cx = c.width() / 2.0f, cy = c.height() / 2.0f;
    float px = -dy, py = dx;  // across the arrow
    c.fill(Polygon{{{cx + 2.5f * dx, cy + 2.5f * dy},
                    {cx - 2.5f * dx + 4.5f * px, cy - 2.5f * dy + 4.5f * py},
                    {cx - 2.5f * dx - 4.5f * px, cy - 2.5f * dy - 4.5f * py}}},
           rgb(104, 118, 130));
}

// ---- Output -------------------------------------------------------------------------

// libpng reports errors by longjmp: kept inside this function, which touches no local
// after setjmp.
bool encodePng(std::FILE* file, const SkinCanvas& canvas, png_bytep* rows)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr)
        return false;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr || setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_compression_level(png, 9);
    png_set_IHDR(png, info, canvas.width(), canvas.height(), 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

bool writePng(const std::string& path, const SkinCanvas& canvas)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        std::perror(path.c_str());
        return false;
    }
    std::vector<std::uint8_t> bytes = canvas.rgbaBytes();
    std::vector<png_bytep> rows(canvas.height());
    for (int y = 0; y < canvas.height(); ++y)
        rows[y] = bytes.data() + std::size_t(y) * canvas.width() * 4;
    bool ok = encodePng(file, canvas, rows.data());
    ok = std::fclose(file) == 0 && ok;
    if (!ok) {
        std::fprintf(stderr, "%s: cannot write the picture\n", path.c_str());
        std::remove(path.c_str());
    }
    return ok;
}

struct PictureSpec {
    const char* name;  // as the style sheet spells it
    int width;
    int height;
    int frames;
    std::function<void(SkinCanvas&, int frame, int frameHeight)> draw;
};

const std::vector<PictureSpec>& pictures()
{
    static const std::vector<PictureSpec> list = {
        {"Bg_Header_FU.png", 609, 38, 1, drawHeader},
        {"Bg_Inner_FU.png", 100, 100, 1, drawInner},
        {"Bg_Status.png", 100, 153, 3, drawStatus},
        {"Icon_Big_Status.png", 23, 46, 2, drawStatusIcon},
        {"Busywheel.png", 22, 264, 12, drawWheel},
        {"button_forward_FU.png", 105, 231, 7, [](SkinCanvas& c, int f, int h) { drawButton(c, f, h, false); }},
        {"button_forward_focus_FU.png", 105, 231, 7, [](SkinCanvas& c, int f, int h) { drawButton(c, f, h, true); }},
        {"Bg_Content.png", 100, 100, 1, drawContent},
        {"Text_Display.png", 100, 72, 4, drawValueField},
        {"device.png", 96, 56, 1, drawDevice},
        {"Logo_HA.png", 29, 21, 1, [](SkinCanvas& c, int, int) { drawMonogram(c, 1.0f); }},
        {"Bg_Overlay_FU.png", 450, 274, 1, drawOverlay},
        {"top_bar.png", 65, 19, 1, drawTopBar},
        {"bottom_bar.png", 67, 19, 1, drawBottomBar},
        {"tree_bg.png", 33, 32, 1, drawTreeBackground},
        {"top_dotted.png", 27, 27, 1, drawDottedFrame},
        {"button.png", 80, 60, 3, drawPlainButton},
        {"logo.png", 22, 17, 1, [](SkinCanvas& c, int, int) { drawMonogram(c, 22.0f / 29.0f); }},
        {"selection.png", 15, 15, 1, drawSelection},
        {"scrollbar_bg.png", 16, 55, 1, drawTrack},
        {"scrollbar_bg_ho.png", 55, 16, 1, drawTrack},
        {"scrollbar_dec.png", 16, 11, 1, [](SkinCanvas& c, int, int) { drawArrow(c, 0, -1); }},
        {"scrollbar_dec_ho.png", 11, 16, 1, [](SkinCanvas& c, int, int) { drawArrow(c, -1, 0); }},
        {"scrollbar_inc.png", 16, 11, 1, [](SkinCanvas& c, int, int) { drawArrow(c, 0, 1); }},
        {"scrollbar_inc_ho.png", 11, 16, 1, [](SkinCanvas& c, int, int) { drawArrow(c, 1, 0); }},
        {"scrollbar_slider_gr_wide.png", 12, 29, 1, drawSlider},
        {"scrollbar_slider_ho.png", 29, 12, 1, drawSlider},
    };
    return list;
}

void putWord(std::vector<std::uint8_t>& out, unsigned v)
{
    out.push_back(std::uint8_t(v));
    out.push_back(std::uint8_t(v >> 8));
}

long fileSize(const std::string& path)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
        return -1;
    long size = std::fseek(f, 0, SEEK_END) == 0 ? std::ftell(f) : -1;
    std::fclose(f);
    return size;
}

// GRPICONDIR {0, 1, count} and one 14-byte entry per image, in the order of ids.
bool writeIconGroup(const std::string& path, const std::vector<std::pair<int, std::string>>& images)
{
    std::vector<std::uint8_t> out;
    putWord(out, 0);
    putWord(out, 1);
    putWord(out, unsigned(images.size()));
    unsigned id = 1;
    for (const auto& [size, file] : images) {
        long bytes = fileSize(file);
        if (bytes < 0) {
            std::perror(file.c_str());
            return false;
        }
        out.push_back(std::uint8_t(size));
        out.push_back(std::uint8_t(size));
        out.push_back(0);
        out.push_back(0);
        putWord(out, 1);
        putWord(out, 32);
        putWord(out, unsigned(bytes) & 0xFFFF);
        putWord(out, unsigned(bytes) >> 16);
        putWord(out, id++);
    }
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        std::perror(path.c_str());
        return false;
    }
    bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
    ok = std::fclose(f) == 0 && ok;
    if (!ok) {
        std::perror(path.c_str());
        std::remove(path.c_str());
    }
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";
    for (const PictureSpec& spec : pictures()) {
        SkinCanvas canvas(spec.width, spec.height);
        int frameHeight = spec.height / spec.frames;
        for (int frame = 0; frame < spec.frames; ++frame)
            spec.draw(canvas, frame, frameHeight);
        if (!writePng(folder + spec.name, canvas))
            return 1;
    }
    std::vector<std::pair<int, std::string>> icons;
    for (int size : {32, 16}) {
        SkinCanvas canvas(size, size);
        drawIcon(canvas);
        std::string file = folder + "icon-" + std::to_string(size) + ".png";
        if (!writePng(file, canvas))
            return 1;
        icons.emplace_back(size, file);
    }
    return writeIconGroup(folder + "icon-group.bin", icons) ? 0 : 1;
}
