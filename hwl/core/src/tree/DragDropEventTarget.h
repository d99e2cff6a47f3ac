#pragma once
// The widget as a receiver of framework events and of drag-and-drop offers (kEventDragOver,
// kEventDrop, kEventDragLeave). A widget keeps drop handlers: generic ones asked with the drag
// record, typed ones asked with the in-process object of their type, and handlers to tell
// about a leave; the handler that accepted the last offer is the current one.
// User-interface thread only.

#include <functional>
#include <list>
#include <memory>

#include "uia/events/EventTarget.h"
#include "uia/events/Events.h"

namespace HA::HWL {

struct DropHandler {
    // Generic handlers: whether the offer is taken.
    std::function<bool(UIA::DragEventData*)> accept;
    // Typed handlers: whether the in-process object of type `typeId` is taken.
    std::function<bool(void* object, UIA::DragEventData*)> acceptObject;
    int typeId = 0;
    // The drop; its answer is the drop event's result.
    std::function<bool(UIA::DragEventData*)> drop;
    // Optional: run when the drag leaves or ends.
    std::function<void()> leave;
};

class DragDropEventTarget : public UIA::EventTarget {
public:
    enum eHandlerList { eGenericHandlers, eTypedHandlers, eLeaveHandlers };

    DragDropEventTarget() = default;
    DragDropEventTarget(const DragDropEventTarget&) = delete;
    DragDropEventTarget& operator=(const DragDropEventTarget&) = delete;
    ~DragDropEventTarget() override;

    // kEventDragOver, kEventDrop and kEventDragLeave run the drop handlers (data: the
    // framework's drag record, its point in widget coordinates); every other code answers
    // false.
    bool onEvent(int code, void* data) override;
    // kEventDragLeave as a notification runs the leave action of every handler of the leave
    // list.
    void onNotify(int code, void* data) override;

    // Appends a handler to one of the lists; a null handler is not added.
    void addDropHandler(eHandlerList list, std::shared_ptr<DropHandler> handler);

private:
    bool offerDrag(UIA::DragEventData* data);

    std::list<std::shared_ptr<DropHandler>> mGenericHandlers;
    std::list<std::shared_ptr<DropHandler>> mTypedHandlers;
    std::list<std::shared_ptr<DropHandler>> mLeaveHandlers;
    std::shared_ptr<DropHandler> mCurrentHandler;
};

}  // namespace HA::HWL
