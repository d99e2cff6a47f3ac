#pragma once
// Widgets for tests: every hook is recorded as {code, id, x, y, kind} in a shared journal,
// and tests may attach behaviour to the hooks.

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "hwl/core/src/tree/Pane.h"
#include "hwl/core/src/tree/Widget.h"

namespace HA::HWL::Testing {

// Codes of the hooks that are not widget events.
constexpr int kRecordTimer = -1;
constexpr int kRecordInputFocus = -2;
constexpr int kRecordPaneChanged = -3;  // kind: 1 attached, 0 left
constexpr int kRecordRegistered = -4;   // kind: 1 registered, 0 unregistered
constexpr int kRecordKey = -5;          // x: the event code
constexpr int kRecordWheel = 1003;

struct tRecord {
    int code = 0;
    std::string id;
    int x = 0;
    int y = 0;
    int kind = 0;

    friend bool operator==(const tRecord& a, const tRecord& b)
    {
        return a.code == b.code && a.id == b.id && a.x == b.x && a.y == b.y && a.kind == b.kind;
    }
    friend std::ostream& operator<<(std::ostream& out, const tRecord& r)
    {
        return out << "{" << r.code << ", " << r.id << ", " << r.x << ", " << r.y << ", " << r.kind << "}";
    }
};

using tJournal = std::vector<tRecord>;

class TestWidget : public Widget {
public:
    explicit TestWidget(tJournal* journal = nullptr) : mJournal(journal) {}

    ha::symbol getClass() const override { return ha::symbol(std::string("TestWidget")); }

    void onMouseEvent(int code, const UIA::MouseEventData* data) override
    {
        if (code == kWidgetRawMotion) {
            // The raw-motion record comes unchanged; kind records its dx.
            const auto* raw = reinterpret_cast<const UIA::RawMotionEventData*>(data);
            record(code, raw->x, raw->y, static_cast<int>(raw->dx));
            return;
        }
        record(code, data->x, data->y, data->kind);
        if (mouseHook)
            mouseHook(code, data);
    }
    void onWheel(const UIA::MouseEventData* data) override
    {
        record(kRecordWheel, data->x, data->y, data->button);
    }
    bool onKeyEvent(int code, void*) override
    {
        record(kRecordKey, code, 0, 0);
        return takesKeys;
    }
    void onTimer() override
    {
        record(kRecordTimer, 0, 0, 0);
        if (timerHook)
            timerHook();
    }
    void onInputFocusChanged() override { record(kRecordInputFocus, 0, 0, 0); }
    void onPaneChanged(bool attached) override { record(kRecordPaneChanged, 0, 0, attached ? 1 : 0); }
    void onRegistered(bool registered) override { record(kRecordRegistered, 0, 0, registered ? 1 : 0); }

    using Widget::changeFlags;

    std::function<void(int, const UIA::MouseEventData*)> mouseHook;
    std::function<void()> timerHook;
    bool takesKeys = false;

private:
    void record(int code, int x, int y, int kind)
    {
        if (mJournal)
            mJournal->push_back(tRecord{code, getId().str(), x, y, kind});
    }

    tJournal* mJournal;
};

inline std::shared_ptr<TestWidget> makeWidget(tJournal* journal = nullptr)
{
    return std::make_shared<TestWidget>(journal);
}

// Places a widget at an absolute position with its size as bounds, as the update pass would.
inline void place(Widget& widget, int x, int y, int width, int height)
{
    widget.setSize(width, height);
    widget.setGeometryForTesting(GP::Point{x, y}, GP::Rect{x, y, x + width, y + height});
}

}  // namespace HA::HWL::Testing
