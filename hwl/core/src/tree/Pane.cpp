#include "hwl/core/src/tree/Pane.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "hwl/core/src/tree/Widget.h"

namespace HA::HWL {

namespace {

std::vector<Pane*>& livePanes()
{
    static std::vector<Pane*> panes;
    return panes;
}

// Leaving without hooks: the pane is going away, so nothing is told or forgotten.
void dropPaneOf(Widget* widget, Pane* pane, void (*setNull)(Widget*))
{
    if (widget->getPane() == pane)
        setNull(widget);
    for (const auto& child : widget->getChildren())
        dropPaneOf(child.get(), pane, setNull);
}

}  // namespace

Pane::Pane() { livePanes().push_back(this); }

Pane::~Pane()
{
    auto setNull = [](Widget* widget) { widget->mPane = nullptr; };
    if (mRoot)
        dropPaneOf(mRoot.get(), this, setNull);
    for (const auto& overlay : mOverlays)
        dropPaneOf(overlay.get(), this, setNull);
    auto& panes = livePanes();
    panes.erase(std::remove(panes.begin(), panes.end(), this), panes.end());
}

const std::vector<Pane*>& Pane::getLivePanes() { return livePanes(); }

GP::Rect Pane::getRect() const { return GP::Rect{0, 0, mWidth, mHeight}; }

void Pane::invalidateRoot()
{
    if (mRoot)
        mRoot->invalidate();
}

void Pane::setCursor(int) {}

void Pane::setStandardCursor(int) {}

void Pane::setCursorPosition(GP::Point) {}

void Pane::resetCursor() {}

GP::Point Pane::toScreen(GP::Point point) { return point; }

GP::Point Pane::toWindow(GP::Point point) { return point; }

UIA::Window* Pane::getWindow() { return nullptr; }

void Pane::beginInfiniteDrag() {}

void Pane::endInfiniteDrag() {}

std::string Pane::getClipboardText() { return std::string(); }

void Pane::setClipboardText(std::string) {}

void Pane::setWindowValue(int) {}

void Pane::clearWindowValue() {}

UIA::Window* Pane::getHostWindow() { return nullptr; }

void Pane::showOpenFileDialog(bool, const std::string&, const std::string&, std::function<void(const std::u16string&)>)
{
}

void Pane::updatePaneFlag(bool) {}

void Pane::setFocus() {}

void Pane::releaseFocus() {}

void Pane::setRoot(std::shared_ptr<Widget> root, const char* id)
{
    closeOverlays();
    // Held until detached: forgetting the root drops the pane's own pointer to it.
    const std::shared_ptr<Widget> oldRoot = mRoot;
    if (oldRoot)
        oldRoot->setPane(nullptr);
    mRoot = std::move(root);
    if (!mRoot)
        return;
    const std::shared_ptr<Widget> newRoot = mRoot;
    newRoot->setPane(this);
    newRoot->mId = id ? ha::symbol(id, static_cast<std::uint32_t>(std::strlen(id))) : ha::symbol();
    newRoot->setSize(mWidth, mHeight);
    newRoot->markSubtreeStyleDirty();
    newRoot->requestLayout();
    update();
}

void Pane::setSize(int width, int height)
{
    if (width == mWidth && height == mHeight)
        return;
    mWidth = width;
    mHeight = height;
    if (mRoot) {
        const std::shared_ptr<Widget> root = mRoot;
        root->setSize(width, height);
        root->requestLayout();
    }
    closeOverlays();
}

void Pane::closeOverlays()
{
    // Each overlay leaves the list before it is detached, so one that is not taken out of
    // the pane by its detaching cannot keep the loop going.
    while (!mOverlays.empty()) {
        const std::shared_ptr<Widget> overlay = mOverlays.front();
        removeOverlay(overlay.get());
        if (Widget* parent = overlay->mParent) {
            const auto& siblings = parent->mChildren;
            auto it = std::find(siblings.cbegin(), siblings.cend(), overlay);
            parent->removeChild(it);
        } else if (overlay->mPane == this) {
            overlay->setPane(nullptr);
        }
    }
}

void Pane::addOverlay(std::shared_ptr<Widget> widget)
{
    if (!widget)
        return;
    removeOverlay(widget.get());
    const bool wasEmpty = mOverlays.empty();
    mOverlays.push_back(std::move(widget));
    if (wasEmpty)
        mOverlaySignal.emit(true);
}

void Pane::removeOverlay(Widget* widget)
{
    auto it = std::find_if(mOverlays.begin(), mOverlays.end(),
                           [widget](const std::shared_ptr<Widget>& overlay) { return overlay.get() == widget; });
    if (it == mOverlays.end())
        return;
    // Held: the list may be the overlay's last owner, and a slot may look at it.
    const std::shared_ptr<Widget> overlay = *it;
    mOverlays.erase(it);
    if (mOverlays.empty())
        mOverlaySignal.emit(false);
}

void Pane::forgetWidget(Widget* widget)
{
    if (!widget)
        return;
    if (mEntered == widget)
        mEntered = nullptr;
    if (mRoot.get() == widget)
        mRoot.reset();
    if (mHovered == widget)
        mHovered = nullptr;
    if (mPressed == widget)
        setPressed(nullptr);
    if (mFocusWidget == widget) {
        mFocusWidget = nullptr;
        if (widget->mParent)
            setFocusWidget(widget->mParent);
    }
    // Nothing reads it back, but it must not point at a widget that may be freed.
    if (mPreviousFocusWidget == widget)
        mPreviousFocusWidget = nullptr;
    if (mInputWidget == widget)
        mInputWidget = nullptr;
    removeOverlay(widget);
    auto timer = mTimers.find(widget);
    if (timer != mTimers.end())
        timer->second = 0;
    if (mEventFilterOwner == widget) {
        mEventFilter = nullptr;
        mEventFilterOwner = nullptr;
    }
}

void Pane::setEventFilter(tEventFilter filter, Widget* owner)
{
    mEventFilter = std::move(filter);
    mEventFilterOwner = owner;
}

void Pane::setWidgetTimer(Widget* widget, int ticks)
{
    if (!widget || ticks <= 0)
        return;
    mTimers[widget] = ticks;
}

void Pane::clearWidgetTimer(Widget* widget)
{
    auto it = mTimers.find(widget);
    if (it != mTimers.end())
        it->second = 0;
}

void Pane::tickTimers()
{
    struct tDepthGuard {
        int& depth;
        explicit tDepthGuard(int& d) : depth(d) { ++depth; }
        ~tDepthGuard() { --depth; }
    };
    // Entries are erased only here and only at depth 0, so the walk's iterator survives a
    // callback that arms, stops or ticks timers.
    for (auto it = mTimers.begin(); it != mTimers.end();) {
        if (it->second == 0) {
            if (mTickDepth == 0)
                it = mTimers.erase(it);
            else
                ++it;
            continue;
        }
        Widget* widget = it->first;
        if (widget->isShown() && --it->second == 0) {
            // Held: the callback may take the widget out of its parent.
            const std::shared_ptr<Widget> held = widget->weak_from_this().lock();
            tDepthGuard guard(mTickDepth);
            widget->onTimer();
        }
        ++it;
    }
}

int Pane::getTiming(int index) const
{
    if (index < 0 || index >= static_cast<int>(mTiming.size()))
        return 0;
    return mTiming[static_cast<std::size_t>(index)];
}

bool Pane::isButtonHeld(int button) const
{
    return button >= 0 && button < kButtonSlots && mHeldButtons[static_cast<std::size_t>(button)];
}

}  // namespace HA::HWL
