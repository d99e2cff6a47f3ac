#pragma once
// A pane hosted by a framework window: the operations that need a window (cursor, screen
// coordinates, unbounded dragging, clipboard text, the open-file dialog, keyboard focus) go
// to the window that getWindow answers, and do nothing while there is none. The window glue
// (hwl/core/src/window/Window.h) supplies the window. User-interface thread only.

#include <functional>
#include <string>

#include "hwl/core/src/tree/Pane.h"

namespace HA::HWL {

class WindowingPane : public Pane {
public:
    WindowingPane() = default;
    ~WindowingPane() override;

    // The pane passes its int through as an index of the framework's cursor table: a
    // platform cursor handle does not fit in an int here.
    void setCursor(int cursor) override;
    // An index outside the cursor table does nothing.
    void setStandardCursor(int index) override;
    void setCursorPosition(GP::Point point) override;
    void resetCursor() override;
    GP::Point toScreen(GP::Point point) override;
    void beginInfiniteDrag() override;
    void endInfiniteDrag() override;
    // The clipboard's UTF-16 text as UTF-8; empty when there is none.
    std::string getClipboardText() override;
    void setClipboardText(std::string text) override;
    // The window's pane value.
    void setWindowValue(int value) override;
    void clearWindowValue() override;
    UIA::Window* getHostWindow() override;
    // Runs the open (or, with `save`, the save) file dialog modally without an owner; the
    // callback hears the chosen path only when the dialog is accepted (an empty one then
    // throws std::bad_function_call), and is dropped in every case. Without a window
    // nothing is shown.
    void showOpenFileDialog(bool save, const std::string& title, const std::string& initialPath,
                            std::function<void(const std::u16string&)> callback) override;
    // kEventDragOver: drag routing; the other drag events (to 1399): false (the framework
    // gives those to the drop targets itself); kEventCaptureLost: no hovered or pressed
    // widget; kEventFocusLost: no focus widget; else the pane's dispatch.
    bool handleEvent(int code, void* data) override;
    void updatePaneFlag(bool inputActive) override;
    void setFocus() override;
    void releaseFocus() override;

private:
    bool routeDragOver(void* data);
};

}  // namespace HA::HWL
