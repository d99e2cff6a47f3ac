// The message box as a window: caption, icon, wrapped text and the type's buttons, the
// marked button answering Enter, a message loop of its own while the owner is disabled.
// The buttons are drawn by the box itself; Tab and the arrow keys move the mark.

#include <algorithm>
#include <memory>

#include "os/kernel/Kernel.h"
#include "os/kernel/Text.h"
#include "os/windows/drawing/Drawing.h"
#include "os/windows/icons/Icon.h"
#include "os/windows/Message.h"
#include "os/windows/messagebox/MessageBox.h"
#include "os/windows/messagebox/detail/MessageBoxWindow.h"

namespace HA::OS {

namespace DETAIL {

namespace {

// Layout in client pixels, a light dialog at 96 DPI.
constexpr int kFontSize = 12;
constexpr int kMargin = 20;          // around the icon and the text
constexpr int kIconSize = 32;
constexpr int kIconGap = 14;         // icon to text
constexpr int kMaxTextWidth = 360;   // where the text wraps
constexpr int kMinTextWidth = 160;
constexpr int kBandPadding = 12;     // around the buttons in the band below
constexpr int kButtonHeight = 24;
constexpr int kMinButtonWidth = 76;
constexpr int kButtonPadding = 12;   // caption to the button's sides
constexpr int kButtonGap = 8;
constexpr int kFrameAllowance = 80;  // the caption and the frames, with room to spare

constexpr std::uint32_t kBody = 0xFFFFFFFFu;
constexpr std::uint32_t kBand = 0xFFF0F0F0u;
constexpr std::uint32_t kBandLine = 0xFFDFDFDFu;
constexpr std::uint32_t kText = 0xFF1E1E1Eu;
constexpr std::uint32_t kFace = 0xFFE1E1E1u;
constexpr std::uint32_t kBorder = 0xFFADADADu;
constexpr std::uint32_t kMarked = 0xFF0078D7u;
constexpr std::uint32_t kPressedFace = 0xFFCCE4F7u;
constexpr std::uint32_t kPressedBorder = 0xFF005499u;

struct Box {
    MessageBoxSpec spec;
    std::vector<std::u32string> lines;
    std::vector<RECT> buttons;  // client rectangles, in the order of spec.buttons
    int width = 0;
    int height = 0;
    int textLeft = 0;
    int textTop = 0;
    size_t focus = 0;    // the marked button
    int pressed = -1;    // the button the mouse holds down, -1 for none
    bool over = false;   // the pointer is over the pressed button
    bool done = false;
    int answer = 0;
};

const DialogFont* font() { return DialogFont::at(kFontSize); }

bool hasIcon(UINT type) { return (type & MB_ICONMASK) != 0; }

// Escape and the close box answer Cancel, or OK in a box that has only OK; else nothing.
int escapeAnswer(const Box& box)
{
    const std::vector<int>& b = box.spec.buttons;
    if (std::find(b.begin(), b.end(), IDCANCEL) != b.end())
        return IDCANCEL;
    return b.size() == 1 && b[0] == IDOK ? IDOK : 0;
}

void layOut(Box& box)
{
    const DialogFont* f = font();
    const int iconWidth = hasIcon(box.spec.type) ? kIconSize + kIconGap : 0;
    int textWidth = 0, lineHeight = 16;
    if (f) {
        box.lines = wrapText(*f, utf16ToUtf32(box.spec.text), kMaxTextWidth);
        // A box stays on the work area: lines beyond it are cut, the last one shown ending "...".
        const RECT work = getWorkArea();
        const int room = work.bottom - work.top - kFrameAllowance - 2 * kMargin - 2 * kBandPadding - kButtonHeight;
        const size_t most = static_cast<size_t>(std::max(1, room / std::max(1, f->lineHeight())));
        if (box.lines.size() > most) {
            box.lines.resize(most);
            box.lines.back() += U"...";
        }
        for (const auto& line : box.lines)
            textWidth = std::max(textWidth, f->width(line));
        lineHeight = f->lineHeight();
    }
    textWidth = std::max(textWidth, kMinTextWidth);
    const int textHeight = static_cast<int>(box.lines.size()) * lineHeight;
    const int contentHeight = std::max(hasIcon(box.spec.type) ? kIconSize : 0, textHeight);

    // Buttons of one width: the widest caption's, at least the usual width.
    int buttonWidth = kMinButtonWidth;
    for (int id : box.spec.buttons)
        if (f)
            buttonWidth = std::max(buttonWidth, f->width(utf16ToUtf32(utf8ToUtf16(buttonName(id)))) + 2 * kButtonPadding);
    const int count = static_cast<int>(box.spec.buttons.size());
    const int rowWidth = count * buttonWidth + (count - 1) * kButtonGap;

    box.width = std::max(kMargin + iconWidth + textWidth + kMargin, rowWidth + 2 * kBandPadding);
    const int bandTop = kMargin + contentHeight + kMargin;
    box.height = bandTop + kBandPadding + kButtonHeight + kBandPadding;
    box.textLeft = kMargin + iconWidth;
    // A text lower than the icon stands in the icon's middle.
    box.textTop = kMargin + std::max(0, (contentHeight - textHeight) / 2);

    int x = box.width - kBandPadding - rowWidth;
    const int y = bandTop + kBandPadding;
    box.buttons.clear();
    for (int i = 0; i < count; ++i, x += buttonWidth + kButtonGap)
        box.buttons.push_back(RECT{x, y, x + buttonWidth, y + kButtonHeight});
    const auto def = std::find(box.spec.buttons.begin(), box.spec.buttons.end(), box.spec.defaultButton);
    box.focus = def == box.spec.buttons.end() ? 0 : static_cast<size_t>(def - box.spec.buttons.begin());
}

DialogCanvas paintBox(const Box& box)
{
    DialogCanvas canvas(box.width, box.height, kBody);
    const int bandTop = box.buttons.empty() ? box.height : box.buttons[0].top - kBandPadding;
    canvas.fill(0, bandTop, box.width, box.height, kBand);
    canvas.fill(0, bandTop, box.width, bandTop + 1, kBandLine);
    const int iconTop = kMargin;
    drawMessageBoxIcon(canvas, kMargin, iconTop, box.spec.type);
    const DialogFont* f = font();
    if (!f)
        return canvas;
    for (size_t i = 0; i < box.lines.size(); ++i)
        f->draw(canvas, box.textLeft, box.textTop + static_cast<int>(i) * f->lineHeight() + f->ascent(), box.lines[i],
                kText);
    for (size_t i = 0; i < box.buttons.size(); ++i) {
        const RECT& r = box.buttons[i];
        const bool down = box.pressed == static_cast<int>(i) && box.over;
        const bool marked = i == box.focus;
        canvas.fill(r.left, r.top, r.right, r.bottom, down ? kPressedFace : kFace);
        canvas.frame(r.left, r.top, r.right, r.bottom, down ? kPressedBorder : marked ? kMarked : kBorder);
        if (marked)
            canvas.frame(r.left + 1, r.top + 1, r.right - 1, r.bottom - 1, kMarked);
        const std::u32string caption = utf16ToUtf32(utf8ToUtf16(buttonName(box.spec.buttons[i])));
        const int x = r.left + (r.right - r.left - f->width(caption)) / 2;
        const int baseline = r.top + (kButtonHeight - f->lineHeight()) / 2 + f->ascent();
        f->draw(canvas, x, baseline, caption, kText);
    }
    return canvas;
}

Box* boxOf(HWND hwnd) { return reinterpret_cast<Box*>(getWindowUserData(hwnd)); }

void finish(Box& box, int answer)
{
    if (box.done || answer == 0)
        return;
    box.answer = answer;
    box.done = true;
}

int buttonAt(const Box& box, int x, int y)
{
    for (size_t i = 0; i < box.buttons.size(); ++i) {
        const RECT& r = box.buttons[i];
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom)
            return static_cast<int>(i);
    }
    return -1;
}

void moveFocus(HWND hwnd, Box& box, int step)
{
    const int count = static_cast<int>(box.buttons.size());
    box.focus = static_cast<size_t>((static_cast<int>(box.focus) + step + count) % count);
    invalidateRect(hwnd, nullptr, false);
}

void paint(HWND hwnd, const Box& box)
{
    PAINTSTRUCT ps{};
    HDC dc = beginPaint(hwnd, ps);
    if (dc) {
        const DialogCanvas canvas = paintBox(box);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = canvas.width;
        info.bmiHeader.biHeight = -canvas.height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        setDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(canvas.width), static_cast<DWORD>(canvas.height), 0, 0, 0,
                          static_cast<UINT>(canvas.height), canvas.pixels.data(), &info, DIB_RGB_COLORS);
    }
    endPaint(hwnd, ps);
}

LRESULT boxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Box* box = boxOf(hwnd);
    if (!box)
        return defWindowProc(hwnd, message, wParam, lParam);
    switch (message) {
    case WM_PAINT:
        paint(hwnd, *box);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_LBUTTONDOWN: {
        const int i = buttonAt(*box, xOfLParam(lParam), yOfLParam(lParam));
        if (i >= 0) {
            box->pressed = i;
            box->over = true;
            box->focus = static_cast<size_t>(i);
            setCapture(hwnd);
            invalidateRect(hwnd, nullptr, false);
        }
        return 0;
    }
    case WM_MOUSEMOVE:
        if (box->pressed >= 0) {
            const bool over = buttonAt(*box, xOfLParam(lParam), yOfLParam(lParam)) == box->pressed;
            if (over != box->over) {
                box->over = over;
                invalidateRect(hwnd, nullptr, false);
            }
        }
        return 0;
    case WM_LBUTTONUP:
        if (box->pressed >= 0) {
            const int i = box->pressed;
            const bool over = buttonAt(*box, xOfLParam(lParam), yOfLParam(lParam)) == i;
            box->pressed = -1;
            releaseCapture();
            invalidateRect(hwnd, nullptr, false);
            if (over)
                finish(*box, box->spec.buttons[static_cast<size_t>(i)]);
        }
        return 0;
    case WM_CAPTURECHANGED:
        if (box->pressed >= 0) {
            box->pressed = -1;
            invalidateRect(hwnd, nullptr, false);
        }
        return 0;
    case WM_KEYDOWN:
        switch (static_cast<int>(wParam)) {
        case VK_RETURN:
        case VK_SPACE:
            finish(*box, box->spec.buttons[box->focus]);
            break;
        case VK_ESCAPE:
            finish(*box, escapeAnswer(*box));
            break;
        case VK_TAB:
            moveFocus(hwnd, *box, getKeyState(VK_SHIFT) < 0 ? -1 : 1);
            break;
        case VK_LEFT:
        case VK_UP:
            moveFocus(hwnd, *box, -1);
            break;
        case VK_RIGHT:
        case VK_DOWN:
            moveFocus(hwnd, *box, 1);
            break;
        default:
            break;
        }
        return 0;
    case WM_CLOSE:
        // The close box and Alt+F4 answer as Escape does; a box without that answer stays.
        finish(*box, escapeAnswer(*box));
        return 0;
    case WM_DESTROY:
        box->done = true;
        return 0;
    default:
        return defWindowProc(hwnd, message, wParam, lParam);
    }
}

bool registerBoxClass()
{
    WNDCLASSEXW wc;
    wc.lpfnWndProc = &boxProc;
    wc.lpszClassName = kMessageBoxClass;
    wc.hCursor = loadCursor(nullptr, IDC_ARROW);
    return registerClass(wc) != 0 || getLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

// The outer rectangle of a client size centred over the owner (or the work area), kept on
// the work area.
RECT placeBox(HWND owner, int width, int height, DWORD style, DWORD exStyle)
{
    RECT frame{0, 0, width, height};
    adjustWindowRectEx(frame, style, false, exStyle);
    const int outerWidth = frame.right - frame.left, outerHeight = frame.bottom - frame.top;
    const RECT work = getWorkArea();
    RECT over = work;
    if (owner)
        getWindowRect(owner, over);
    int left = over.left + (over.right - over.left - outerWidth) / 2;
    int top = over.top + (over.bottom - over.top - outerHeight) / 2;
    left = std::max<int>(work.left, std::min<int>(left, work.right - outerWidth));
    top = std::max<int>(work.top, std::min<int>(top, work.bottom - outerHeight));
    return RECT{left, top, left + outerWidth, top + outerHeight};
}

}  // namespace

int runMessageBoxWindow(const MessageBoxSpec& spec)
{
    if (spec.buttons.empty() || !registerBoxClass())
        return 0;
    auto box = std::make_unique<Box>();
    box->spec = spec;
    layOut(*box);
    HWND owner = spec.owner ? getRootWindow(spec.owner) : nullptr;
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    const DWORD exStyle =
        WS_EX_DLGMODALFRAME | ((spec.type & (MB_TOPMOST | MB_SYSTEMMODAL)) ? WS_EX_TOPMOST : DWORD(0));
    const RECT at = placeBox(owner, box->width, box->height, style, exStyle);
    HWND hwnd = createWindow(exStyle, kMessageBoxClass, spec.caption, style, at.left, at.top, at.right - at.left,
                             at.bottom - at.top, owner, nullptr, nullptr, nullptr);
    if (!hwnd)
        return 0;
    setWindowUserData(hwnd, reinterpret_cast<LONG_PTR>(box.get()));

    // What the box disables: its owner, or task-modal without one the thread's other windows.
    std::vector<HWND> disabled;
    std::vector<HWND> candidates;
    if (owner)
        candidates.push_back(owner);
    else if (spec.type & MB_TASKMODAL)
        for (HWND top : getTopLevelWindows())
            if (top != hwnd && getWindowThreadId(top) == currentThreadId())
                candidates.push_back(top);
    for (HWND w : candidates)
        if (isWindowEnabled(w)) {
            enableWindow(w, false);
            disabled.push_back(w);
        }

    showWindow(hwnd, SW_SHOWNORMAL);
    if (spec.type & MB_SETFOREGROUND)
        setForegroundWindow(hwnd);
    setFocus(hwnd);
    updateWindow(hwnd);

    bool quit = false;
    int exitCode = 0;
    while (!box->done) {
        MSG msg{};
        if (getMessage(msg, nullptr, 0, 0) <= 0) {
            quit = true;
            exitCode = static_cast<int>(msg.wParam);
            break;
        }
        translateMessage(msg);
        dispatchMessage(msg);
    }
    int answer = box->answer;
    if (quit && answer == 0)
        answer = escapeAnswer(*box) ? escapeAnswer(*box) : spec.defaultButton;

    // The owner comes back before the box goes, so that activation returns to it.
    for (HWND w : disabled)
        if (isWindow(w))
            enableWindow(w, true);
    if (isWindow(hwnd)) {
        setWindowUserData(hwnd, 0);
        destroyWindow(hwnd);
    }
    if (owner && isWindow(owner))
        setActiveWindow(owner);
    if (quit)
        postQuitMessage(exitCode);
    return answer;
}

}  // namespace DETAIL

bool messageBoxButtonRect(HWND box, int id, RECT& screen)
{
    if (getClassName(box) != DETAIL::kMessageBoxClass)
        return false;
    const DETAIL::Box* b = DETAIL::boxOf(box);
    if (!b)
        return false;
    for (size_t i = 0; i < b->buttons.size(); ++i) {
        if (b->spec.buttons[i] != id)
            continue;
        POINT origin{0, 0};
        clientToScreen(box, origin);
        const RECT& r = b->buttons[i];
        screen = RECT{r.left + origin.x, r.top + origin.y, r.right + origin.x, r.bottom + origin.y};
        return true;
    }
    return false;
}

}  // namespace HA::OS
