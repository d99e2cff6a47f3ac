#include "hwl/core/src/widgets/Button.h"

#include <memory>

#include "hwl/core/src/tree/Pane.h"

namespace HA::HWL {

namespace {
// The pane's timing table when there is no pane: auto-repeat after 5 ticks, then every tick.
constexpr int kDefaultTiming[2] = {5, 1};
// The key code sits in the low 17 bits of the key word, the modifier bits in its top 8.
constexpr int kKeyCodeMask = 0x1FFFF;
}  // namespace

ha::symbol Button::getClass() const
{
    static const ha::symbol name(std::string("Button"));
    return name;
}

void Button::configure(const std::string& text, const char* style)
{
    setHoverSensitive(true);
    setPainter([](const Button& button, PaintContext& context) {
        const PanelDrawer& drawer = button.getPanelDrawer();
        drawer.draw(button, context);
        drawer.drawText(button, button.getText(), context, button.getVerticalText());
    });
    setStyle(style);
    setText(text);
}

int Button::timing(int index) const
{
    if (const Pane* pane = getPane())
        return pane->getTiming(index);
    return kDefaultTiming[index];
}

void Button::endHoverDelay()
{
    if (!mHoverPending)
        return;
    mHoverPending = false;
    hoverDelay.emit();
}

void Button::restartTimer(int ticks)
{
    endHoverDelay();
    setTimer(ticks);
}

void Button::onMouseEvent(int code, const UIA::MouseEventData* data)
{
    // A slot may remove the button from its parent, its last owner: keep it alive until the
    // event is done.
    const std::shared_ptr<Widget> self = weak_from_this().lock();
    const std::uint32_t modifiers = data ? data->modifiers : 0;
    const GP::Point point = data ? GP::Point{data->x, data->y} : GP::Point{};
    switch (code) {
    case kWidgetPress + UIA::kMouseButtonLeft: {
        mDoubleClick = false;
        restartTimer(timing(0));
        const tSignalData signal{modifiers, true, false};
        press.emit(&signal, point);
        break;
    }
    case kWidgetDoubleClick + UIA::kMouseButtonLeft: {
        mDoubleClick = true;
        endHoverDelay();
        setTimer(timing(0));
        const tSignalData signal{modifiers, true, true};
        press.emit(&signal, point);
        if (mToggleOnDoubleClick)
            toggleClick.emit(&signal);
        else
            click.emit(&signal);
        break;
    }
    case kWidgetRelease + UIA::kMouseButtonLeft:
        endHoverDelay();
        setTimer(0);
        mDoubleClick = false;
        release.emit();
        break;
    case kWidgetClick + UIA::kMouseButtonLeft: {
        endHoverDelay();
        setTimer(0);
        const tSignalData signal{modifiers, true, mDoubleClick};
        click.emit(&signal);
        mDoubleClick = false;
        break;
    }
    case kWidgetClick + UIA::kMouseButtonRight:
        secondaryClick.emit(data);
        break;
    case kWidgetMouseEnter:
        enter.emit();
        if (mHoverDelay > 0) {
            mHoverPending = true;
            setTimer(mHoverDelay);
        }
        break;
    case kWidgetMouseLeave:
        leave.emit();
        mDoubleClick = false;
        if (mHoverPending) {
            mHoverPending = false;
            setTimer(0);
        }
        break;
    default:
        break;
    }
}

void Button::onTimer()
{
    if (mHoverPending) {
        mHoverPending = false;
        hoverDelay.emit();
        return;
    }
    // Only a button that is still held repeats: after a lost capture or a press that ended
    // elsewhere nobody would stop it.
    const Pane* pane = getPane();
    if (!pane || pane->getPressed() != this)
        return;
    const std::shared_ptr<Widget> self = weak_from_this().lock();
    repeat.emit();
    // A slot may have taken the button out of its pane.
    if (getPane() && getPane()->getPressed() == this)
        setTimer(timing(1));
}

bool Button::onKeyEvent(int code, void* data)
{
    if (code != UIA::kEventKeyDown || !data)
        return false;
    const auto* key = static_cast<const UIA::KeyEventData*>(data);
    if ((key->keyCode & kKeyCodeMask) != UIA::kKeyEnter)
        return false;
    const std::shared_ptr<Widget> self = weak_from_this().lock();
    const tSignalData signal{static_cast<std::uint32_t>(key->keyCode) & 0xFF000000u, key->firstPress, false};
    if (mMode == eModeClick)
        click.emit(&signal);
    else if (mMode == eModeToggleClick)
        toggleClick.emit(&signal);
    return true;
}

}  // namespace HA::HWL
