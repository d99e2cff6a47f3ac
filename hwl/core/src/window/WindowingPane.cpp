#include "hwl/core/src/window/WindowingPane.h"

#include <memory>
#include <utility>

#include "gp/src/common/files/FilePath.h"
#include "hwl/core/src/tree/Widget.h"
#include "uia/events/Events.h"
#include "uia/events/Input.h"
#include "uia/transfer/ClipBoardFormat.h"
#include "uia/transfer/Clipboard.h"
#include "uia/window/FileDialog.h"
#include "uia/window/Window.h"
#include "uia/window/WindowImpl.h"

namespace HA::HWL {

namespace {

UIA::DETAIL::WindowImpl* implOf(UIA::Window* window) { return window ? window->getImpl() : nullptr; }

}  // namespace

WindowingPane::~WindowingPane() = default;

void WindowingPane::setCursor(int cursor)
{
    if (cursor < 0 || cursor >= UIA::kCursorCount)
        return;
    if (UIA::Window* window = getWindow())
        window->setCursor(UIA::getStandardCursor(cursor));
}

void WindowingPane::setStandardCursor(int index)
{
    // The table's look-up would answer the arrow for a stray index; a stray index is a
    // caller's mistake, so the cursor stays as it is.
    if (index < 0 || index >= UIA::kCursorCount)
        return;
    setCursor(index);
}

void WindowingPane::setCursorPosition(GP::Point point)
{
    if (getWindow())
        UIA::setCursorPosition(point);
}

void WindowingPane::resetCursor()
{
    if (UIA::Window* window = getWindow())
        window->resetCursor();
}

GP::Point WindowingPane::toScreen(GP::Point point)
{
    GP::Point result = toWindow(point);
    if (UIA::Window* window = getWindow())
        window->clientToScreen(result);
    return result;
}

void WindowingPane::beginInfiniteDrag()
{
    if (UIA::DETAIL::WindowImpl* impl = implOf(getWindow()))
        impl->beginInfiniteDrag();
}

void WindowingPane::endInfiniteDrag()
{
    if (UIA::DETAIL::WindowImpl* impl = implOf(getWindow()))
        impl->endInfiniteDrag();
}

std::string WindowingPane::getClipboardText()
{
    if (!getWindow())
        return std::string();
    UIA::TextClipBoardFormat format;
    if (!UIA::Clipboard::getData(format))
        return std::string();
    return format.getTextUtf8();
}

void WindowingPane::setClipboardText(std::string text)
{
    if (!getWindow())
        return;
    UIA::TextClipBoardFormat format;
    format.setText(text);
    UIA::Clipboard::setData(format);
}

void WindowingPane::setWindowValue(int value)
{
    if (UIA::Window* window = getWindow())
        window->setUserValue(value);
}

void WindowingPane::clearWindowValue()
{
    if (UIA::Window* window = getWindow())
        window->setUserValue(0);
}

UIA::Window* WindowingPane::getHostWindow() { return getWindow(); }

void WindowingPane::showOpenFileDialog(bool save, const std::string& title, const std::string& initialPath,
                                       std::function<void(const std::u16string&)> callback)
{
    // Owned here, so that it and what it holds are gone when the call ends, whatever the
    // dialog's answer.
    const std::function<void(const std::u16string&)> heard = std::move(callback);
    if (!getWindow())
        return;
    UIA::FileDialog dialog;
    dialog.setTitle(title);
    dialog.setInitialPath(GP::FilePath(initialPath));
    if (!dialog.run(save ? UIA::FileDialog::Save : UIA::FileDialog::Open, nullptr))
        return;
    // An empty callback throws std::bad_function_call, as every empty callback does.
    heard(dialog.getResult().toWide());
}

bool WindowingPane::handleEvent(int code, void* data)
{
    if (code == UIA::kEventDragOver)
        return routeDragOver(data);
    if (code > UIA::kEventDragOver && code <= 1399)
        return false;
    if (code == UIA::kEventCaptureLost) {
        // Through the setters, so that the widgets that showed "over" or "down" repaint.
        // The held-button flags stay: the coming release reaches the widget under the
        // pointer, and as nothing is pressed it makes no click.
        setHovered(nullptr);
        setPressed(nullptr);
        return true;
    }
    if (code == UIA::kEventFocusLost) {
        if (Widget* focus = getFocusWidget()) {
            focus->invalidate();
            clearFocusWidget();
        }
        return true;
    }
    return Pane::handleEvent(code, data);
}

bool WindowingPane::routeDragOver(void* data)
{
    if (!data)
        return false;
    auto* drag = static_cast<UIA::DragEventData*>(data);
    const GP::Point point{drag->x, drag->y};
    setLastMousePosition(point);
    const tHitResult hit = hitTestDrag(point);
    if (hit.claimed)
        return true;
    std::shared_ptr<Widget> widget = hit.widget;
    while (widget) {
        const GP::Point origin = widget->getAbsolutePosition();
        drag->x = point.x - origin.x;
        drag->y = point.y - origin.y;
        const bool accepted = widget->onEvent(UIA::kEventDragOver, drag);
        drag->x = point.x;
        drag->y = point.y;
        if (accepted)
            return true;
        Widget* parent = widget->getParent();
        widget = parent ? parent->weak_from_this().lock() : nullptr;
    }
    return false;
}

void WindowingPane::updatePaneFlag(bool inputActive)
{
    if (!getWindow())
        return;
    if (UIA::getPaneFlag())
        UIA::setPaneFlag(inputActive);
}

void WindowingPane::setFocus()
{
    if (UIA::DETAIL::WindowImpl* impl = implOf(getWindow()))
        impl->setFocus();
}

void WindowingPane::releaseFocus()
{
    UIA::Window* window = getWindow();
    Widget* focus = getFocusWidget();
    if (!window || !focus)
        return;
    focus->invalidate();
    clearFocusWidget();
    if (UIA::DETAIL::WindowImpl* impl = window->getImpl())
        impl->focusRoot();
}

}  // namespace HA::HWL
