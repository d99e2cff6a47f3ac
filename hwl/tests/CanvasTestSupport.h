#pragma once
// Canvas pictures for tests: compares a canvas buffer with expected pixels and, on a
// mismatch, writes <name>-FAILED.png (the buffer) and <name>-expected-FAILED.png into the
// working directory so that a person can look. Also a widget whose painter and layout are
// test functions.

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "hwl/core/src/canvas/Canvas.h"
#include "hwl/core/src/canvas/PaintContext.h"
#include "hwl/tests/WidgetTestSupport.h"
#include "uia/tests/WindowPixelsSupport.h"

namespace HA::HWL::Testing {

using UIA::TEST::ExpectedPixels;

inline std::vector<std::uint32_t> pixelsOf(const UIA::Picture& picture)
{
    const std::uint32_t* p = picture.getPixels();
    return p ? std::vector<std::uint32_t>(p, p + std::size_t(picture.getWidth()) * std::size_t(picture.getHeight()))
             : std::vector<std::uint32_t>();
}

inline ExpectedPixels expectedFrom(const UIA::Picture& picture)
{
    ExpectedPixels e;
    e.width = picture.getWidth();
    e.height = picture.getHeight();
    e.pixels = pixelsOf(picture);
    return e;
}

inline ::testing::AssertionResult bufferShows(const UIA::Picture& buffer, const ExpectedPixels& expected,
                                              const std::string& name)
{
    std::ostringstream why;
    const std::vector<std::uint32_t> shown = pixelsOf(buffer);
    if (buffer.getWidth() != expected.width || buffer.getHeight() != expected.height) {
        why << name << ": the canvas is " << buffer.getWidth() << " x " << buffer.getHeight() << ", expected "
            << expected.width << " x " << expected.height;
    } else {
        int wrong = 0;
        for (int y = 0; y < expected.height; ++y)
            for (int x = 0; x < expected.width; ++x) {
                const std::size_t i = std::size_t(y) * std::size_t(expected.width) + std::size_t(x);
                if (shown[i] != expected.pixels[i] && wrong++ == 0)
                    why << name << ": first difference at " << x << "," << y << ": " << UIA::TEST::hex(shown[i])
                        << " instead of " << UIA::TEST::hex(expected.pixels[i]);
            }
        if (!wrong)
            return ::testing::AssertionSuccess();
        why << " (" << wrong << " pixels differ)";
    }
    if (!shown.empty())
        UIA::TEST::writePixelsPng(name + "-FAILED.png", buffer.getWidth(), buffer.getHeight(), shown);
    if (!expected.pixels.empty())
        UIA::TEST::writePixelsPng(name + "-expected-FAILED.png", expected.width, expected.height, expected.pixels);
    return ::testing::AssertionFailure() << why.str() << "; written to " << name << "-FAILED.png";
}

// Fills rect of the expected pixels with colour.
inline void fillExpected(ExpectedPixels& e, const GP::Rect& rect, std::uint32_t colour)
{
    for (int y = rect.top; y < rect.bottom; ++y)
        for (int x = rect.left; x < rect.right; ++x)
            e.at(x, y) = colour;
}

// The pixels that are not 0, as a bounding rectangle; empty when there are none.
inline GP::Rect inkOf(const UIA::Picture& picture)
{
    GP::Rect box{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    for (int y = 0; y < picture.getHeight(); ++y)
        for (int x = 0; x < picture.getWidth(); ++x)
            if (picture.getPixels()[y * picture.getWidth() + x] != 0) {
                box.left = std::min(box.left, x);
                box.top = std::min(box.top, y);
                box.right = std::max(box.right, x + 1);
                box.bottom = std::max(box.bottom, y + 1);
            }
    return box.left == INT32_MAX ? GP::Rect{} : box;
}

inline std::uint32_t bufferPixel(const UIA::Picture& picture, int x, int y)
{
    return picture.getPixels()[y * picture.getWidth() + x];
}

// A widget that paints and lays out through test functions.
class ScriptedWidget : public TestWidget {
public:
    using TestWidget::TestWidget;
    void paint(PaintContext& context) override
    {
        if (painter)
            painter(*this, context);
    }
    void layout() override
    {
        ++layouts;
        if (layoutHook)
            layoutHook(*this);
    }
    using Widget::setFlag;

    std::function<void(ScriptedWidget&, PaintContext&)> painter;
    std::function<void(ScriptedWidget&)> layoutHook;
    int layouts = 0;
};

inline std::shared_ptr<ScriptedWidget> makeScripted(tJournal* journal = nullptr)
{
    return std::make_shared<ScriptedWidget>(journal);
}

// A painter that fills the widget's dirty parts with one colour.
inline std::function<void(ScriptedWidget&, PaintContext&)> filler(std::uint32_t colour)
{
    return [colour](ScriptedWidget& w, PaintContext& context) {
        const GP::Rect whole{0, 0, w.getSize().width, w.getSize().height};
        context.forEachDirtyRect(whole, [&](const GP::Rect& d) { context.canvas.fillRect(d, colour); });
    };
}

}  // namespace HA::HWL::Testing
