#pragma once
// A widget: one element of the user interface and a node of a pane's widget tree.
//
// A parent owns its children (shared pointers, in insertion order: the last is topmost among
// equal z-indexes); a child's parent and pane are plain back pointers that the tree clears
// when the child leaves. Every widget is made with std::make_shared. Changing a widget never
// lays it out or paints it: it marks the widget (style dirty, needs layout, dirty mask, dirty
// region) and its pane's dirty word, and the pane's next update pass does the work.
//
// Everything here runs on the user-interface thread; only the dirty mask (and the pane's
// dirty word) are atomic.

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gp/src/common/geometry/Geometry.h"
#include "gp/src/common/geometry/Region.h"
#include "gp/src/common/text/Symbol.h"
#include "hwl/core/src/style/StyleNames.h"
#include "hwl/core/src/style/StyleRule.h"
#include "hwl/core/src/style/StyledWidget.h"
#include "hwl/core/src/tree/DragDropEventTarget.h"
#include "hwl/core/src/tree/DragDropSource.h"
#include "uia/events/Events.h"

namespace HA::HWL {

class Canvas;
class Pane;
class PaintContext;

// Widget events. The codes of the framework's kEventMouseMove to kEventRawMouseMotion keep
// their meaning for widgets; in the press, release, click, double-click and drag codes, b is
// the button: 1 left, 2 right, 4 middle.
constexpr int kWidgetMouseMove = 1002;   // no button held, to the hovered widget
constexpr int kWidgetWheel = 1003;       // by onWheel: button = -(delta / 120), kind = vertical
constexpr int kWidgetMouseEnter = 1004;
constexpr int kWidgetMouseLeave = 1005;
constexpr int kWidgetRawMotion = 1006;   // the framework's raw-motion record, unchanged
constexpr int kWidgetPress = 100001;        // + b
constexpr int kWidgetRelease = 100007;      // + b
constexpr int kWidgetClick = 100013;        // + b: press and release on the same widget
constexpr int kWidgetDoubleClick = 100019;  // + b
constexpr int kWidgetDrag = 100025;         // + b: moved with button b held

// First base, so that a widget and its styled-widget part share one address (the match
// caches hash it).
class Widget : public IStyledWidget,
               public DragDropEventTarget,
               public DragDropSource,
               public std::enable_shared_from_this<Widget> {
public:
    enum eFlag : std::uint32_t {
        eVisible = 0x1,             // the widget's own wish
        eRegistered = 0x2,          // visible in a pane's tree and known to the pane
        eAncestorsVisible = 0x4,
        eRendered = 0x8,            // painted and hit-tested
        eEnabled = 0x10,            // own wish
        eAncestorsEnabled = 0x20,
        eSelected = 0x40,
        eHoverSensitive = 0x80,     // repaints when the hover enters or leaves it
        eFocusable = 0x100,
        eHoverFollowsPress = 0x200,  // while pressed, the hover follows the pointer
        eAcceptsInput = 0x400,      // can be the input widget and receives key events
        ePositionFixed = 0x800,     // line layouts leave it where it is
        eLayoutByPass = 0x1000,     // layout requests wait for the update pass
        ePaintBeforeChildren = 0x2000,
        ePaintAfterChildren = 0x4000,
        eMoved = 0x8000,            // bounds recomputed in the current update pass
        eOpaqueContent = 0x20000,
        eOpaqueBounds = 0x40000,
        eStyleDirty = 0x80000,      // applyStyle must run
        eWantsGeometryNotice = 0x100000,
        eGeometryChanged = 0x200000,
    };
    static constexpr std::uint32_t kInitialFlags = 0x8303D;
    static constexpr int kStyledMinimumSize = 18;

    struct tSize {
        int width = 0;
        int height = 0;
        friend bool operator==(const tSize& a, const tSize& b) { return a.width == b.width && a.height == b.height; }
        friend bool operator!=(const tSize& a, const tSize& b) { return !(a == b); }
    };
    struct tMargins {
        int left = 0;
        int top = 0;
        int right = 0;
        int bottom = 0;
        friend bool operator==(const tMargins& a, const tMargins& b)
        {
            return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
        }
        friend bool operator!=(const tMargins& a, const tMargins& b) { return !(a == b); }
    };
    using tChildren = std::vector<std::shared_ptr<Widget>>;
    using tHitShape = std::function<bool(const GP::Point&)>;
    // Attributes are kept in text order.
    using tSymbolLess = SymbolLess;
    using tAttributes = std::map<ha::symbol, std::string, tSymbolLess>;

    Widget();
    Widget(const Widget&) = delete;
    Widget& operator=(const Widget&) = delete;
    // Detaches every child first (it leaves the pane), then forgets the widget's styles.
    ~Widget() override;

    // The widget type's name for selectors ("Bar", "Button", ...).
    ha::symbol getClass() const override = 0;
    // The style state "dormant"; false.
    virtual bool isDormant() const;
    // The attribute "isHorizontal" for selectors: only a widget with a direction has it;
    // nothing here.
    virtual std::optional<bool> getHorizontalAttribute() const;
    // Called when the widget's registration with its pane changes.
    virtual void onRegistered(bool registered);
    // Places the children; nothing here.
    virtual void layout();
    // Called after a paint for widgets whose bounds changed.
    virtual void onGeometryChanged();
    // Called when the widget joins (true) or leaves (false) its pane.
    virtual void onPaneChanged(bool attached);
    virtual void paint(PaintContext& context);
    // Lets a widget claim a mouse (drag) event during hit testing, even outside its bounds;
    // x and y are pane coordinates. False here.
    virtual bool interceptMouseEvent(bool inside, int x, int y);
    virtual bool interceptDragEvent(bool inside, int x, int y);
    // Widget mouse events (codes above), x and y local to the widget. For kWidgetRawMotion the
    // pointer is the framework's raw-motion record; cast it back before reading it.
    virtual void onMouseEvent(int code, const UIA::MouseEventData* data);
    // Passes the wheel to the parent; nothing at the root.
    virtual void onWheel(const UIA::MouseEventData* data);
    // Key events (kEventKeyDown to 1199) with the framework's key record; true when taken.
    // False here.
    virtual bool onKeyEvent(int code, void* data);
    // The widget timer ran out.
    virtual void onTimer();
    // The widget lost or gained the input focus.
    virtual void onInputFocusChanged();
    // Resolves the widget's style.
    virtual void applyStyle();
    // Called at the end of the widget's update pass; nothing here.
    virtual void adjustSize();
    virtual void setWidth(int width);
    virtual void setHeight(int height);
    // The widget's opaque area in pane coordinates; false when it has none.
    virtual bool getOpaqueRegion(GP::Region& region);
    // Lets a widget say which part of it to repaint; 0 here.
    virtual int getDirtyArea(GP::Region& region, std::uint32_t dirtyMask);

    // Tree.
    // Makes the child the last child, taking it from its old parent (this one included) and
    // moving its subtree to this widget's pane. False, with nothing changed, for a null
    // child or one that is this widget or one of its ancestors.
    bool addChild(std::shared_ptr<Widget> child, const char* id = nullptr);
    // Removes the child at that position and moves its subtree to no pane; false for the end.
    bool removeChild(tChildren::const_iterator position);
    // Moves the subtree to `pane` (null: to no pane), children first.
    void setPane(Pane* pane);
    // The update pass's registration step: `registered` is whether the widget is visible in
    // the pane's tree; `fromParent` whether the parent is propagating its own change.
    void registerWithPane(Pane* pane, bool registered, bool fromParent);

    Widget* getParent() const { return mParent; }
    Pane* getPane() const { return mPane; }
    const tChildren& getChildren() const { return mChildren; }
    // The children stably sorted by ascending z-index; rebuilt when stale.
    const tChildren& getZOrderedChildren();

    // Style.
    ha::symbol getId() const override { return mId; }
    ha::symbol getStyle() const override { return mStyle; }
    // Sets the style class (null keeps it) and gives the widget its 18 x 18 minimum size.
    void setStyle(const char* name);
    void setAttribute(const char* name, const std::string& value);
    const tAttributes& getAttributes() const { return mAttributes; }
    int getHelpId() const { return mHelpId; }

    // Style values, read through the cascade of the widget's sheet.
    // The declaration of the best rule for the property that matches the widget (attributes
    // included) and whose states hold now; null when none, and always without a pane.
    const tStyleDeclaration* findStyleValue(ha::symbol property) const override;
    // That value when it has the asked type, "no" as the type's zero (0, false, "", null);
    // both with found = true. Otherwise the default, with found = false. The bool form also
    // takes numbers of unit 0 and the words "yes", "true", "no", "false".
    int getProperty(ha::symbol property, int defaultValue, bool* found = nullptr) const;
    bool getProperty(ha::symbol property, bool defaultValue, bool* found = nullptr) const;
    std::string getProperty(ha::symbol property, const std::string& defaultValue, bool* found = nullptr) const;
    std::string getProperty(ha::symbol property, const char* defaultValue, bool* found = nullptr) const
    {
        return getProperty(property, std::string(defaultValue ? defaultValue : ""), found);
    }
    const UIA::Font* getProperty(ha::symbol property, const UIA::Font* defaultValue, bool* found = nullptr) const;
    // kind 0 "margin", 1 "outer-margin": the whole value (an int sets all four sides), then
    // "-left", "-right", "-top" and "-bottom" each override their side; a side not given
    // keeps what `sides` held.
    void getFourSided(int kind, tMargins& sides) const;
    // The "font" value; the default font when there is none or it is null ("no", or a font
    // file that could not be opened). Null only before the library's start-up.
    const UIA::Font* getFont() const;
    // What selectors and the cascade read (IStyledWidget); the attributes every widget
    // answers and the states are in tree/SelectorAttributes.h.
    AttibuteSelector::tValue getSelectorAttribute(ha::symbol name) const override;
    bool getSelectorState(int index) const override;
    const IStyledWidget* getStyledParent() const override { return mParent; }
    bool isInPane() const override { return mPane != nullptr; }
    StyleSheet* getPaneStyleSheet() const override;
    StyleSheet* getStylingSheet() const override;
    const IStyledWidget* getPaneRoot() const override;

    // State.
    std::uint32_t getFlags() const { return mFlags; }
    bool hasFlag(std::uint32_t flag) const { return (mFlags & flag) != 0; }
    bool isShown() const { return (mFlags & (eVisible | eAncestorsVisible)) == (eVisible | eAncestorsVisible); }
    bool isEffectivelyEnabled() const
    {
        return (mFlags & (eEnabled | eAncestorsEnabled)) == (eEnabled | eAncestorsEnabled);
    }
    void setVisible(bool visible);
    void setEnabled(bool enabled);
    void setHoverSensitive(bool sensitive);
    void setPositionFixed(bool fixed);
    bool isUnclipped() const { return mUnclipped; }

    // Geometry.
    GP::Point getPosition() const { return mPosition; }
    GP::Point getAbsolutePosition() const { return mAbsolute; }
    tSize getSize() const { return mSize; }
    tSize getMinimumSize() const { return mMinimumSize; }
    tSize getMaximumSize() const { return mMaximumSize; }
    tMargins getMargins() const { return mMargins; }
    tMargins getOuterMargins() const { return mOuterMargins; }
    const GP::Rect& getBounds() const { return mBounds; }
    int getZIndex() const { return mZIndex; }
    void setPosition(GP::Point position);
    // Clamps to the minimum size, then to a positive maximum.
    void setSize(int width, int height);
    void setMinimumSize(tSize size) { mMinimumSize = size; }
    void setMaximumSize(tSize size) { mMaximumSize = size; }
    void setMargin(const tMargins& margins);
    // The room kept around the widget in its parent's line layout.
    void setOuterMargin(const tMargins& margins);
    // Stores a new z-index; the parent re-sorts its children and lays them out.
    void setZIndex(int zIndex);
    const tHitShape& getHitShape() const { return mHitShape; }
    // FIXME: until the update pass computes them, tests place widgets with this.
    void setGeometryForTesting(GP::Point absolute, const GP::Rect& bounds);

    // Dirty marks.
    // ORs the bits (0: all) into the dirty mask and asks the pane for a repaint.
    void invalidate(std::uint32_t bits = 0);
    // Adds a rectangle in widget coordinates to the dirty region; asks for a repaint.
    void addDirtyRect(const GP::Rect& rect);
    // Clears the dirty marks of the widget and of every visible or registered descendant.
    void discardDirtyMarks();
    std::uint32_t getDirtyMask() const { return mDirtyMask.load(); }
    const GP::Region& getDirtyRegion() const { return mDirtyRegion; }
    bool needsLayout() const { return mNeedsLayout; }
    // Marks the widget for the next update pass (or, for a widget laid out at once, recomputes
    // its bounds) and invalidates it.
    void requestLayout();
    // The parent, then the widget, request layout.
    void requestLayoutWithParent();
    // Recomputes the absolute position and the bounds clipped to `clip`; when `add`, the old
    // and new bounds go into `dirty`. True when the bounds changed.
    bool updateBounds(const GP::Rect& clip, GP::Region& dirty, bool add);

    // Timers.
    // Arms (n > 0) or stops (n <= 0) the one-shot timer, counted in pane ticks.
    void setTimer(int ticks);
    int getPendingTimer() const { return mPendingTimer; }
    // The update pass hands a pending timer to the pane.
    void handPendingTimerToPane();

    int getNoticeCount() const { return mNoticeCount; }

    // Painting and the update pass.
    // Line directions of arrangeChildrenInLine.
    static constexpr int kLineLeftToRight = 1;
    static constexpr int kLineRightToLeft = 0x1000;
    static constexpr int kLineTopToBottom = 16;
    static constexpr int kLineBottomToTop = 256;
    // Paints the widget and the children that the region (pane coordinates) meets.
    void paintWidget(Canvas& canvas, const GP::Region& region);
    // After a paint: geometry notices for widgets whose bounds changed since the last one.
    void clearPaintMarks();
    // Takes the widget's dirty marks, and its children's, into region (pane coordinates).
    void collectDirtyRegion(GP::Region& region);
    // The pane's scale; 1 without a pane.
    float getScale() const override;
    // Places the shown, not position-fixed children in a line from the content origin (or,
    // right to left and bottom to top, from the content box's far edge) and stretches them
    // across it. Other directions move nothing.
    void arrangeChildrenInLine(int direction, int spacing);
    // The children's opaque area (pane coordinates), as the last update pass left it.
    const GP::Region& getChildrenOpaqueRegion() const { return mOpaqueRegion; }

protected:
    void changeFlags(std::uint32_t set, std::uint32_t clear);
    void setFlag(std::uint32_t flag, bool on) { changeFlags(on ? flag : 0u, on ? 0u : flag); }

private:
    friend class Pane;

    void markSubtreeStyleDirty();
    void forgetSubtreeStyleMatches();
    void addNoticeCountToAncestors(int delta);
    // Whether `widget` is this widget or lies in its subtree.
    bool containsWidget(const Widget* widget) const;
    // The box of the widget at its absolute position, in its parent's coordinates.
    GP::Rect boxInParent() const;
    void addOldBoxToParent();
    // One widget's step of the pane's update pass (styles, layout, bounds, timers, opaque area).
    void runUpdatePass(Pane& pane, const GP::Rect& clip, GP::Region& dirty);

    ha::symbol mId;
    int mHelpId = -1;
    Widget* mParent = nullptr;
    tChildren mChildren;
    Pane* mPane = nullptr;
    GP::Point mPosition;
    GP::Point mAbsolute;
    int mZIndex = 0;
    tChildren mZOrdered;
    tSize mSize;
    tSize mMinimumSize;
    tSize mMaximumSize;
    tMargins mMargins;
    tMargins mOuterMargins;
    GP::Rect mBounds;
    ha::symbol mStyle;
    tAttributes mAttributes;
    int mPendingTimer = 0;
    std::uint32_t mFlags = kInitialFlags;
    bool mUnclipped = false;
    std::atomic<std::uint32_t> mDirtyMask{0};
    bool mNeedsLayout = false;
    GP::Region mDirtyRegion;
    GP::Region mOpaqueRegion;
    tHitShape mHitShape;
    int mNoticeCount = 0;
};

}  // namespace HA::HWL
