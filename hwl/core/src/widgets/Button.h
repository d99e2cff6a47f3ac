#pragma once
// A button: a text panel that turns the widget events of the pane and the Enter key into nine
// signals.
//
// A left press arms the auto-repeat (the pane's timing entry 0, then entry 1 per step) for
// as long as the button stays the pane's pressed widget; a positive hover delay emits
// `hoverDelay` once the pointer has rested on the button that many ticks, or earlier when a
// press, double click, release or click interrupts it.

#include <cstdint>
#include <string>

#include "gp/src/common/geometry/Geometry.h"
#include "hwl/core/src/tree/Signal.h"
#include "hwl/core/src/widgets/TextPanel.h"
#include "uia/events/Events.h"

namespace HA::HWL {

namespace ButtonImpl {
// What the click-like signals pass.
struct tSignalData {
    std::uint32_t modifiers = 0;  // the framework's modifier bits
    bool initial = true;          // false only for an auto-repeated key
    bool doubleClick = false;
};
}  // namespace ButtonImpl

class Button : public TextPanel<Button> {
public:
    using tSignalData = ButtonImpl::tSignalData;

    // Enter emits `click` in mode 1 and `toggleClick` in mode 2; other modes take it silently.
    enum eMode : int { eModeNone = 0, eModeClick = 1, eModeToggleClick = 2 };

    ha::symbol getClass() const override;
    // Hover sensitive, painted by its panel drawer (background, then the text); then the
    // style class (null keeps it) and the text.
    void configure(const std::string& text, const char* style);

    void onMouseEvent(int code, const UIA::MouseEventData* data) override;
    bool onKeyEvent(int code, void* data) override;
    void onTimer() override;

    // Ends a pending hover delay (emitting it), then arms the widget timer.
    void restartTimer(int ticks);

    int getMode() const { return mMode; }
    void setMode(int mode) { mMode = mode; }
    int getHoverDelay() const { return mHoverDelay; }
    void setHoverDelay(int ticks) { mHoverDelay = ticks; }
    bool getToggleOnDoubleClick() const { return mToggleOnDoubleClick; }
    void setToggleOnDoubleClick(bool on) { mToggleOnDoubleClick = on; }
    bool isHoverPending() const { return mHoverPending; }

    Signal<void(const tSignalData*, const GP::Point&)> press;
    Signal<void(const tSignalData*)> click;
    Signal<void(const tSignalData*)> toggleClick;
    Signal<void()> enter;
    Signal<void(const UIA::MouseEventData*)> secondaryClick;
    Signal<void()> repeat;
    Signal<void()> hoverDelay;
    Signal<void()> leave;
    Signal<void()> release;

private:
    // Emits `hoverDelay` and clears pending when the delay is running.
    void endHoverDelay();
    // The pane's tick count of the timing entry; the pane's defaults without a pane.
    int timing(int index) const;

    int mMode = eModeNone;
    int mHoverDelay = 0;
    bool mDoubleClick = false;
    bool mHoverPending = false;
    bool mToggleOnDoubleClick = false;
};

}  // namespace HA::HWL
