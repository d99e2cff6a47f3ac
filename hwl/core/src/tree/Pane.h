#pragma once
// A pane: the host of one widget tree. It holds the root and the overlays, knows the hovered,
// entered, pressed, focus and input widgets, keeps a dirty word (bit 0 repaint, bit 1 update
// pass), the widget timers and the tree's style sheet, and turns the framework's mouse and
// key events into widget events. The operations that need a window do nothing here; the
// windowing pane forwards them to its window.
//
// Everything but the dirty word belongs to the user-interface thread.

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "gp/src/common/geometry/Geometry.h"
#include "gp/src/common/geometry/Region.h"
#include "hwl/core/src/tree/Signal.h"
#include "uia/events/Events.h"

namespace HA::UIA {
class Window;
}

namespace HA::HWL {

class Canvas;
class StyleSheet;
class Widget;

// Tells about help for widgets that carry a help id.
class HelpProvider {
public:
    virtual ~HelpProvider() = default;
    // Whether there is help for the id.
    virtual bool hasHelp(int helpId) = 0;
    // Shows the help of `helpId` for the hovered widget.
    virtual void showHelp(Widget* hovered, int helpId) = 0;
    virtual void hideHelp() = 0;
};

class Pane {
public:
    // Dirty-word bits.
    static constexpr std::uint32_t kDirtyRepaint = 0x1;
    static constexpr std::uint32_t kDirtyUpdate = 0x2;
    static constexpr int kButtonSlots = 5;  // held flags by button code 0-4

    struct tHitResult {
        bool claimed = false;
        std::shared_ptr<Widget> widget;
    };
    using tEventFilter = std::function<bool(Widget*, int, const UIA::MouseEventData*)>;
    using tHoverCallback = std::function<void(Widget*)>;

    Pane();
    Pane(const Pane&) = delete;
    Pane& operator=(const Pane&) = delete;
    // The tree's widgets get no pane (no hooks run); the root is released.
    virtual ~Pane();

    // {0, 0, width, height}.
    virtual GP::Rect getRect() const;
    // Invalidates the root, if any.
    virtual void invalidateRoot();
    virtual void setCursor(int cursor);
    virtual void setStandardCursor(int index);
    virtual void setCursorPosition(GP::Point point);
    virtual void resetCursor();
    virtual GP::Point toScreen(GP::Point point);
    virtual GP::Point toWindow(GP::Point point);
    // Runs the update passes at once, with bounds clipped to 100 x 100, then asks the root
    // for layout so that the next regular pass computes them against the pane.
    virtual void update();
    // The hosting window; none here.
    virtual UIA::Window* getWindow();
    virtual void beginInfiniteDrag();
    virtual void endInfiniteDrag();
    virtual std::string getClipboardText();
    virtual void setClipboardText(std::string text);
    virtual void setWindowValue(int value);
    virtual void clearWindowValue();
    // The window's second entry; none here.
    virtual UIA::Window* getHostWindow();
    // Shows nothing here and drops the callback. The callback hears the chosen path as
    // UTF-16 text.
    virtual void showOpenFileDialog(bool save, const std::string& title, const std::string& initialPath,
                                    std::function<void(const std::u16string&)> callback);
    // Adds a top-level widget above the root (the caller attaches it to the pane).
    virtual void addOverlay(std::shared_ptr<Widget> widget);
    virtual void removeOverlay(Widget* widget);
    // Key routing: the input chain, then the focus chain; true when a widget took the key.
    virtual bool dispatchKeyEvent(int code, void* data);
    // Mouse events (kEventMouseButton to 1099): mouse dispatch (true with a root); key events
    // (kEventKeyDown to 1199): key routing; else false.
    virtual bool handleEvent(int code, void* data);
    virtual void updatePaneFlag(bool inputActive);
    // The window takes the keyboard focus; nothing here.
    virtual void setFocus();
    virtual void releaseFocus();

    // Tree.
    // Replaces the root: the old tree leaves the pane, the new one joins it at the pane's size.
    void setRoot(std::shared_ptr<Widget> root, const char* id = nullptr);
    const std::shared_ptr<Widget>& getRoot() const { return mRoot; }
    void setSize(int width, int height);
    int getWidth() const { return mWidth; }
    int getHeight() const { return mHeight; }
    // Takes every overlay that has a parent out of its parent (and so out of the pane).
    void closeOverlays();
    const std::vector<std::shared_ptr<Widget>>& getOverlays() const { return mOverlays; }
    // The widget leaves the pane: every pointer of the pane to it is cleared.
    void forgetWidget(Widget* widget);
    StyleSheet* getStyleSheet() const { return mStyleSheet; }
    void setStyleSheet(StyleSheet* sheet) { mStyleSheet = sheet; }
    // Emitted with true for the first overlay and with false when the last one goes.
    Signal<void(bool)>& overlaySignal() { return mOverlaySignal; }

    // Dirty word (any thread).
    void markDirty(std::uint32_t bits) { mDirtyWord.fetch_or(bits); }
    std::uint32_t exchangeDirty(std::uint32_t bits) { return mDirtyWord.exchange(bits); }
    std::uint32_t getDirtyWord() const { return mDirtyWord.load(); }

    // Widget timers, in pane ticks.
    void setWidgetTimer(Widget* widget, int ticks);
    void clearWidgetTimer(Widget* widget);
    // One tick of every widget timer; timers of widgets that are not shown pause.
    void tickTimers();
    const std::map<Widget*, int>& getTimers() const { return mTimers; }
    // The tick counts of the timing table (0: auto-repeat delay, 1: auto-repeat interval);
    // 0 outside the table.
    int getTiming(int index) const;

    // Dispatch state.
    Widget* getHovered() const { return mHovered; }
    Widget* getEntered() const { return mEntered; }
    Widget* getPressed() const { return mPressed; }
    Widget* getFocusWidget() const { return mFocusWidget; }
    Widget* getPreviousFocusWidget() const { return mPreviousFocusWidget; }
    Widget* getInputWidget() const { return mInputWidget; }
    bool isButtonHeld(int button) const;
    bool wasLastPressDouble() const { return mLastPressDouble; }
    GP::Point getLastMousePosition() const { return mLastMouse; }
    void setLastMousePosition(GP::Point point) { mLastMouse = point; }
    // No focus widget afterwards; nobody is told (the caller invalidates what it must).
    void clearFocusWidget() { mFocusWidget = nullptr; }
    float getScale() const { return mScale; }
    void setScale(float scale) { mScale = scale; }
    void setFocusKeys(bool on) { mFocusKeys = on; }
    // The filter is dropped when `owner` leaves the pane.
    void setEventFilter(tEventFilter filter, Widget* owner);
    void setHoverCallback(tHoverCallback callback) { mHoverCallback = std::move(callback); }
    void setHelpProvider(HelpProvider* provider) { mHelpProvider = provider; }

    // Hit testing in pane coordinates: of a subtree, and of the overlays (last first) and
    // the root. The drag forms ask interceptDragEvent instead of interceptMouseEvent.
    tHitResult hitTest(Widget* widget, GP::Point point) const;
    tHitResult hitTestDrag(Widget* widget, GP::Point point) const;
    tHitResult hitTest(GP::Point point) const;
    tHitResult hitTestDrag(GP::Point point) const;

    void setHovered(Widget* widget);
    void setPressed(Widget* widget);
    void updateHover(Widget* widget, GP::Point position, std::uint32_t modifiers);
    // The hovered, entered and pressed widgets that hit testing would no longer find (hidden,
    // not rendered or disabled, themselves or through an ancestor) stop being so: the entered
    // one hears that the pointer left. Run after each update pass, which brings those states
    // up to date.
    void dropUnreachablePointerWidgets();
    void setFocusWidget(Widget* widget);
    void setInputWidget(Widget* widget);
    // Delivers one widget event through the widget's drag-start detector.
    void dispatchMouseEvent(Widget* widget, int code, const UIA::MouseEventData* data);

    // Painting and the update pass.
    // Paint modes: 1 the root, 2 the overlays, 3 both.
    static constexpr int kPaintRoot = 1;
    static constexpr int kPaintOverlays = 2;
    static constexpr int kPaintAll = 3;
    // Passes per runUpdate; a request made in the last one waits for the next call.
    static constexpr int kMaxUpdatePasses = 5;
    // Runs update passes while asked, at most kMaxUpdatePasses; returns the dirty bits taken.
    // Needs a root.
    std::uint32_t runUpdate(const GP::Rect& clip, GP::Region& dirty);
    // Runs the update passes and collects the area to repaint (pane coordinates) into dirty.
    void collectDirtyRegion(GP::Region& dirty);
    // Paints the dirty region (all of the root when empty) with the canvas's scale.
    void paint(Canvas& canvas, const GP::Region& dirty, int mode);
    void paintRegion(int mode, const GP::Region& region, Canvas& canvas);

    // Every live pane, in order of construction. User-interface thread only.
    static const std::vector<Pane*>& getLivePanes();

private:
    friend class Widget;

    enum class eHitKind { eMouse, eDrag };

    tHitResult hitTestWidget(Widget* widget, GP::Point point, eHitKind kind) const;
    tHitResult hitTestPane(GP::Point point, eHitKind kind) const;
    // Whether hit testing looks at the widget at all.
    static bool isHitTestable(const Widget* widget);
    bool isMember(const Widget* widget) const;
    void dispatchMouse(int code, void* data);
    void press(Widget* hit, const UIA::MouseEventData& event);
    void release(Widget* hit, const UIA::MouseEventData& event);
    void moveWithButton(Widget* hit, const UIA::MouseEventData& event);
    void moveWithoutButton(Widget* hit, const UIA::MouseEventData& event);
    void askHelpProvider(GP::Point position);
    int lowestHeldButton() const;
    void clearHeldButtons();

    int mWidth = 0;
    int mHeight = 0;
    StyleSheet* mStyleSheet = nullptr;
    std::shared_ptr<Widget> mRoot;
    std::vector<std::shared_ptr<Widget>> mOverlays;
    Widget* mHovered = nullptr;
    Widget* mEntered = nullptr;
    Widget* mPressed = nullptr;
    bool mLastPressDouble = false;
    Widget* mFocusWidget = nullptr;
    Widget* mPreviousFocusWidget = nullptr;
    Widget* mInputWidget = nullptr;
    bool mFocusKeys = true;
    std::atomic<std::uint32_t> mDirtyWord{0};
    std::array<bool, kButtonSlots> mHeldButtons{};
    GP::Point mLastMouse;
    std::map<Widget*, int> mTimers;
    int mTickDepth = 0;
    tEventFilter mEventFilter;
    Widget* mEventFilterOwner = nullptr;
    tHoverCallback mHoverCallback;
    HelpProvider* mHelpProvider = nullptr;
    Signal<void(bool)> mOverlaySignal;
    float mScale = 1.0f;
    std::array<int, 5> mTiming{{5, 1, 5, 10, 5}};
};

}  // namespace HA::HWL
