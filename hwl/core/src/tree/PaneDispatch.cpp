// The pane's event side: hit testing, mouse dispatch into widget events, hover, press, focus
// and input widgets, key routing.
//
// Widget hooks run user code that may take widgets out of the tree. Every step holds a shared
// pointer to the widget it delivers to, so the widget outlives its own call, and delivers
// nothing more to a widget that left the pane meanwhile.

#include <memory>

#include "hwl/core/src/tree/Pane.h"
#include "hwl/core/src/tree/Widget.h"

namespace HA::HWL {

namespace {

std::shared_ptr<Widget> share(Widget* widget)
{
    return widget ? widget->weak_from_this().lock() : std::shared_ptr<Widget>();
}

bool rectContains(const GP::Rect& rect, GP::Point p)
{
    return p.x >= rect.left && p.x < rect.right && p.y >= rect.top && p.y < rect.bottom;
}

// The event at `position` (pane coordinates) local to `widget`.
UIA::MouseEventData localTo(const Widget* widget, GP::Point position, std::uint32_t modifiers, int button = 0,
                            int kind = 0)
{
    const GP::Point origin = widget->getAbsolutePosition();
    return UIA::MouseEventData{position.x - origin.x, position.y - origin.y, modifiers, button, kind};
}

}  // namespace

bool Pane::isMember(const Widget* widget) const { return widget && widget->mPane == this; }

bool Pane::isHitTestable(const Widget* widget)
{
    return widget->isShown() && (widget->mFlags & Widget::eRendered) && widget->isEffectivelyEnabled();
}

Pane::tHitResult Pane::hitTestWidget(Widget* widget, GP::Point point, eHitKind kind) const
{
    if (!widget || !isHitTestable(widget))
        return {};
    const bool inside = rectContains(widget->mBounds, point);
    const bool claimed = kind == eHitKind::eMouse ? widget->interceptMouseEvent(inside, point.x, point.y)
                                                  : widget->interceptDragEvent(inside, point.x, point.y);
    if (claimed) {
        tHitResult result{true, share(widget)};
        result.claimed = result.widget != nullptr;
        return result;
    }
    if (!inside)
        return {};
    // A copy: an intercepting child may change its siblings.
    const Widget::tChildren children = widget->getZOrderedChildren();
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        tHitResult result = hitTestWidget(it->get(), point, kind);
        if (result.widget)
            return result;
    }
    if (widget->mHitShape) {
        const GP::Point local{point.x - widget->mAbsolute.x, point.y - widget->mAbsolute.y};
        if (!widget->mHitShape(local))
            return {};
    }
    return tHitResult{false, share(widget)};
}

Pane::tHitResult Pane::hitTestPane(GP::Point point, eHitKind kind) const
{
    const std::vector<std::shared_ptr<Widget>> overlays = mOverlays;
    for (auto it = overlays.rbegin(); it != overlays.rend(); ++it) {
        tHitResult result = hitTestWidget(it->get(), point, kind);
        if (result.widget)
            return result;
    }
    const std::shared_ptr<Widget> root = mRoot;
    return hitTestWidget(root.get(), point, kind);
}

Pane::tHitResult Pane::hitTest(Widget* widget, GP::Point point) const
{
    return hitTestWidget(widget, point, eHitKind::eMouse);
}

Pane::tHitResult Pane::hitTestDrag(Widget* widget, GP::Point point) const
{
    return hitTestWidget(widget, point, eHitKind::eDrag);
}

Pane::tHitResult Pane::hitTest(GP::Point point) const { return hitTestPane(point, eHitKind::eMouse); }

Pane::tHitResult Pane::hitTestDrag(GP::Point point) const { return hitTestPane(point, eHitKind::eDrag); }

bool Pane::handleEvent(int code, void* data)
{
    if (code >= UIA::kEventMouseButton && code <= 1099) {
        if (!mRoot || !data)
            return false;
        dispatchMouse(code, data);
        return true;
    }
    if (code >= UIA::kEventKeyDown && code <= 1199)
        return data ? dispatchKeyEvent(code, data) : false;
    return false;
}

void Pane::dispatchMouse(int code, void* data)
{
    // One form for every mouse record: x, y and modifiers come first in each of them.
    UIA::MouseEventData event;
    switch (code) {
    case UIA::kEventMouseButton:
        event = *static_cast<const UIA::MouseEventData*>(data);
        break;
    case UIA::kEventMouseDrag:
    case UIA::kEventMouseMove:
    case UIA::kEventMouseEnter:
    case UIA::kEventMouseLeave: {
        const auto* motion = static_cast<const UIA::MotionEventData*>(data);
        event = UIA::MouseEventData{motion->x, motion->y, motion->modifiers, 0, 0};
        break;
    }
    case UIA::kEventMouseWheel: {
        const auto* wheel = static_cast<const UIA::WheelEventData*>(data);
        event = UIA::MouseEventData{wheel->x, wheel->y, wheel->modifiers, wheel->delta, wheel->vertical};
        break;
    }
    case UIA::kEventRawMouseMotion: {
        const auto* raw = static_cast<const UIA::RawMotionEventData*>(data);
        event = UIA::MouseEventData{raw->x, raw->y, raw->modifiers, 0, 0};
        break;
    }
    default:
        // No record is known for the other codes of the range, so nothing of theirs is read.
        return;
    }

    const GP::Point position{event.x, event.y};
    mLastMouse = position;
    tHitResult hit;
    if (code != UIA::kEventMouseLeave)
        hit = hitTest(position);
    const std::shared_ptr<Widget> held = hit.widget;
    Widget* const h = held.get();

    int effective = code;
    if (!mPressed) {
        if ((mEventFilter && mEventFilter(h, code, &event)) || hit.claimed)
            effective = UIA::kEventMouseLeave;
    }

    switch (effective) {
    case UIA::kEventMouseButton:
        if (event.kind == UIA::kMousePress || event.kind == UIA::kMouseDoubleClick)
            press(h, event);
        else if (event.kind == UIA::kMouseRelease)
            release(h, event);
        break;
    case UIA::kEventMouseDrag:
        moveWithButton(h, event);
        break;
    case UIA::kEventMouseMove:
        moveWithoutButton(h, event);
        break;
    case UIA::kEventMouseWheel:
        if (h && !mPressed) {
            // One notch (120) away from the user is -1; the division truncates towards zero.
            UIA::MouseEventData wheel = localTo(h, position, event.modifiers, -(event.button / 120), event.kind);
            h->onWheel(&wheel);
        }
        break;
    case UIA::kEventMouseEnter:
        if (mHoverCallback)
            mHoverCallback(nullptr);
        setHovered(isMember(h) ? h : nullptr);
        break;
    case UIA::kEventMouseLeave:
        if (mHoverCallback)
            mHoverCallback(nullptr);
        if (mHelpProvider)
            mHelpProvider->hideHelp();
        updateHover(nullptr, mLastMouse, event.modifiers);
        mLastPressDouble = false;
        break;
    case UIA::kEventRawMouseMotion:
        if (const std::shared_ptr<Widget> hovered = share(mHovered))
            hovered->onMouseEvent(kWidgetRawMotion, reinterpret_cast<const UIA::MouseEventData*>(data));
        break;
    default:
        break;
    }
}

void Pane::press(Widget* hit, const UIA::MouseEventData& event)
{
    const int button = event.button;
    // Button codes index the held flags; anything else is not a button.
    if (!hit || !hit->isEffectivelyEnabled() || button <= 0 || button >= kButtonSlots)
        return;
    const GP::Point position{event.x, event.y};
    if (!mPressed) {
        setFocusWidget(hit);
        setInputWidget(hit);
        if (!isMember(hit))
            return;
        setPressed(hit);
        clearHeldButtons();
    }
    mHeldButtons[static_cast<std::size_t>(button)] = true;
    setHovered(hit);
    if (const std::shared_ptr<Widget> pressed = share(mPressed)) {
        UIA::MouseEventData data = localTo(pressed.get(), position, event.modifiers, button, event.kind);
        dispatchMouseEvent(pressed.get(), kWidgetPress + button, &data);
    }
    mLastPressDouble = false;
    if (event.kind == UIA::kMouseDoubleClick) {
        if (const std::shared_ptr<Widget> pressed = share(mPressed)) {
            UIA::MouseEventData data = localTo(pressed.get(), position, event.modifiers, button, event.kind);
            dispatchMouseEvent(pressed.get(), kWidgetDoubleClick + button, &data);
            mLastPressDouble = true;
        }
    }
}

void Pane::release(Widget* hit, const UIA::MouseEventData& event)
{
    const std::shared_ptr<Widget> target = share(mPressed ? mPressed : hit);
    if (target) {
        const GP::Point position{event.x, event.y};
        setHovered(hit);
        for (int i = 0; i < kButtonSlots; ++i) {
            if (!mHeldButtons[static_cast<std::size_t>(i)])
                continue;
            if (!isMember(target.get()))
                break;
            UIA::MouseEventData data = localTo(target.get(), position, event.modifiers, i, UIA::kMouseRelease);
            dispatchMouseEvent(target.get(), kWidgetRelease + i, &data);
            if (mPressed == mHovered && !mLastPressDouble && mPressed == target.get() && isMember(target.get()))
                dispatchMouseEvent(target.get(), kWidgetClick + i, &data);
        }
    }
    mLastPressDouble = false;
    setPressed(nullptr);
    clearHeldButtons();
}

void Pane::moveWithButton(Widget* hit, const UIA::MouseEventData& event)
{
    const GP::Point position{event.x, event.y};
    if (const std::shared_ptr<Widget> pressed = share(mPressed)) {
        if (pressed.get() != hit)
            pressed->invalidate();
        if (hit && (pressed->mFlags & Widget::eHoverFollowsPress) && pressed.get() != hit)
            setHovered(hit);
        const int button = lowestHeldButton();
        if (button >= 0 && isMember(pressed.get())) {
            UIA::MouseEventData data = localTo(pressed.get(), position, event.modifiers);
            dispatchMouseEvent(pressed.get(), kWidgetDrag + button, &data);
        }
        return;
    }
    const int button = lowestHeldButton();
    if (button < 0 || !hit)
        return;
    setHovered(hit);
    if (const std::shared_ptr<Widget> hovered = share(mHovered)) {
        UIA::MouseEventData data = localTo(hovered.get(), position, event.modifiers);
        dispatchMouseEvent(hovered.get(), kWidgetDrag + button, &data);
    }
}

void Pane::moveWithoutButton(Widget* hit, const UIA::MouseEventData& event)
{
    const GP::Point position{event.x, event.y};
    updateHover(hit, position, event.modifiers);
    const std::shared_ptr<Widget> hovered = share(mHovered);
    if (!hovered)
        return;
    if (mHoverCallback)
        mHoverCallback(hovered.get());
    if (mHelpProvider)
        askHelpProvider(position);
    if (!isMember(hovered.get()))
        return;
    UIA::MouseEventData data = localTo(hovered.get(), position, event.modifiers);
    hovered->onMouseEvent(kWidgetMouseMove, &data);
}

void Pane::askHelpProvider(GP::Point position)
{
    Widget* hovered = mHovered;
    Widget* decider = hovered;
    while (decider && decider->mHelpId < 0)
        decider = decider->mParent;
    if (decider && rectContains(decider->mBounds, position) && mHelpProvider->hasHelp(decider->mHelpId))
        mHelpProvider->showHelp(hovered, decider->mHelpId);
    else
        mHelpProvider->hideHelp();
}

void Pane::setHovered(Widget* widget)
{
    if (widget == mHovered)
        return;
    Widget* old = mHovered;
    mHovered = widget;
    if (old && (old->mFlags & Widget::eHoverSensitive))
        old->invalidate();
    if (widget && (widget->mFlags & Widget::eHoverSensitive) && widget->isEffectivelyEnabled())
        widget->invalidate();
}

void Pane::setPressed(Widget* widget)
{
    if (widget == mPressed)
        return;
    Widget* old = mPressed;
    mPressed = widget;
    if (old)
        old->invalidate();
    if (widget)
        widget->invalidate();
}

void Pane::updateHover(Widget* widget, GP::Point position, std::uint32_t modifiers)
{
    setHovered(widget);
    if (mHovered == mEntered)
        return;
    if (const std::shared_ptr<Widget> left = share(mEntered)) {
        UIA::MouseEventData data = localTo(left.get(), position, modifiers);
        dispatchMouseEvent(left.get(), kWidgetMouseLeave, &data);
    }
    mEntered = mHovered;
    if (const std::shared_ptr<Widget> entered = share(mEntered)) {
        UIA::MouseEventData data = localTo(entered.get(), position, modifiers);
        entered->onMouseEvent(kWidgetMouseEnter, &data);
    }
}

void Pane::dropUnreachablePointerWidgets()
{
    // A widget the pointer can no longer reach would otherwise keep its hovered or pressed
    // look until the pointer happens to move, even after it is shown or enabled again.
    auto unreachable = [this](Widget* widget) { return widget && isMember(widget) && !isHitTestable(widget); };
    if (unreachable(mPressed))
        setPressed(nullptr);
    if (unreachable(mHovered))
        setHovered(nullptr);
    if (unreachable(mEntered)) {
        const std::shared_ptr<Widget> left = share(mEntered);
        mEntered = nullptr;
        if (left) {
            UIA::MouseEventData data = localTo(left.get(), mLastMouse, 0);
            dispatchMouseEvent(left.get(), kWidgetMouseLeave, &data);
        }
    }
}

void Pane::setFocusWidget(Widget* widget)
{
    if (!widget)
        return;
    Widget* end = widget;
    Widget* focusable = nullptr;
    for (Widget* w = widget; w; w = w->mParent) {
        end = w;
        if (w->mFlags & Widget::eFocusable) {
            focusable = w;
            break;
        }
    }
    if (end == mFocusWidget)
        return;
    if (focusable) {
        if (mFocusWidget)
            mFocusWidget->invalidate();
        mPreviousFocusWidget = mFocusWidget;
        mFocusWidget = focusable;
        focusable->invalidate();
        setFocus();
    } else if (mFocusWidget) {
        releaseFocus();
    }
}

void Pane::setInputWidget(Widget* widget)
{
    Widget* end = nullptr;
    for (Widget* w = widget; w; w = w->mParent) {
        end = w;
        if (w->mFlags & Widget::eAcceptsInput)
            break;
    }
    if (end == mInputWidget)
        return;
    Widget* input =
        end && (end->mFlags & Widget::eAcceptsInput) && end->isEffectivelyEnabled() ? end : nullptr;
    const std::shared_ptr<Widget> old = share(mInputWidget);
    const std::shared_ptr<Widget> now = share(input);
    mInputWidget = input;
    updatePaneFlag(input != nullptr);
    if (old) {
        old->invalidate();
        old->onInputFocusChanged();
    }
    if (now && isMember(now.get())) {
        setFocusWidget(now.get());
        now->invalidate();
        now->onInputFocusChanged();
    }
}

void Pane::dispatchMouseEvent(Widget* widget, int code, const UIA::MouseEventData* data)
{
    if (!widget)
        return;
    switch (code) {
    case kWidgetMouseLeave:
        widget->detectDragStart(UIA::kEventMouseLeave, data);
        break;
    case kWidgetPress + UIA::kMouseButtonLeft:
        // A press taken by a possible drag goes no further.
        if (widget->detectDragStart(UIA::kEventMouseButton, data) != UIA::DropSource::eNoDrag)
            return;
        break;
    case kWidgetRelease + UIA::kMouseButtonLeft:
        widget->detectDragStart(UIA::kEventMouseButton, data);
        break;
    case kWidgetDrag + UIA::kMouseButtonLeft: {
        const int answer = widget->detectDragStart(UIA::kEventMouseDrag, data);
        if (answer == UIA::DropSource::eDragWaiting)
            return;
        if (answer == UIA::DropSource::eDragStarts) {
            setHovered(nullptr);
            setPressed(nullptr);
            // A copy: the callback may replace itself.
            const DragDropSource::tDragStart start = widget->getDragStart();
            if (start)
                start(data);
            return;
        }
        break;
    }
    default:
        break;
    }
    widget->onMouseEvent(code, data);
}

bool Pane::dispatchKeyEvent(int code, void* data)
{
    // Walks from `start` up through its ancestors; the first widget with `flag` that is
    // enabled and takes the key ends the routing.
    auto route = [this, code, data](Widget* start, std::uint32_t flag) {
        std::shared_ptr<Widget> widget = share(start);
        while (widget && isMember(widget.get())) {
            if ((widget->mFlags & flag) && widget->isEffectivelyEnabled() && widget->onKeyEvent(code, data))
                return true;
            if (!isMember(widget.get()))
                break;
            widget = share(widget->mParent);
        }
        return false;
    };
    if (route(mInputWidget, Widget::eAcceptsInput))
        return true;
    // Read only now: the input chain may have moved the focus.
    return mFocusKeys && route(mFocusWidget, Widget::eFocusable);
}

int Pane::lowestHeldButton() const
{
    for (int i = 0; i < kButtonSlots; ++i)
        if (mHeldButtons[static_cast<std::size_t>(i)])
            return i;
    return -1;
}

void Pane::clearHeldButtons() { mHeldButtons.fill(false); }

}  // namespace HA::HWL
