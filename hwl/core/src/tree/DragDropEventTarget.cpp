#include "hwl/core/src/tree/DragDropEventTarget.h"

#include <utility>

#include "uia/transfer/DragDrop.h"

namespace HA::HWL {

DragDropEventTarget::~DragDropEventTarget() = default;

void DragDropEventTarget::addDropHandler(eHandlerList list, std::shared_ptr<DropHandler> handler)
{
    // Handlers without the functions their list calls are refused, so that no offer ever
    // calls an empty function.
    if (!handler)
        return;
    switch (list) {
    case eGenericHandlers:
        if (handler->accept && handler->drop)
            mGenericHandlers.push_back(std::move(handler));
        break;
    case eTypedHandlers:
        if (handler->acceptObject && handler->drop)
            mTypedHandlers.push_back(std::move(handler));
        break;
    case eLeaveHandlers:
        if (handler->leave)
            mLeaveHandlers.push_back(std::move(handler));
        break;
    }
}

bool DragDropEventTarget::offerDrag(UIA::DragEventData* data)
{
    mCurrentHandler.reset();
    if (!mTypedHandlers.empty()) {
        UIA::IDragDropDelegate& dragDrop = UIA::DragDrop::getDelegate();
        if (dragDrop.getInternalObject(data)) {
            for (const auto& handler : mTypedHandlers) {
                void* object = dragDrop.getInternalObjectOf(data, handler->typeId);
                if (object && handler->acceptObject(object, data)) {
                    mCurrentHandler = handler;
                    return true;
                }
            }
        }
    }
    for (const auto& handler : mGenericHandlers) {
        if (handler->accept(data)) {
            mCurrentHandler = handler;
            return true;
        }
    }
    return false;
}

bool DragDropEventTarget::onEvent(int code, void* data)
{
    auto* drag = static_cast<UIA::DragEventData*>(data);
    switch (code) {
    case UIA::kEventDragOver:
        return offerDrag(drag);
    case UIA::kEventDrop: {
        // Held, so that a handler that drops itself from the lists finishes its call.
        const std::shared_ptr<DropHandler> handler = mCurrentHandler;
        return handler ? handler->drop(drag) : false;
    }
    case UIA::kEventDragLeave: {
        const std::shared_ptr<DropHandler> handler = std::move(mCurrentHandler);
        mCurrentHandler.reset();
        if (handler && handler->leave)
            handler->leave();
        return true;
    }
    default:
        return false;
    }
}

void DragDropEventTarget::onNotify(int code, void*)
{
    if (code != UIA::kEventDragLeave)
        return;
    // A copy: a leave action may add or remove handlers.
    const auto handlers = mLeaveHandlers;
    for (const auto& handler : handlers)
        handler->leave();
}

}  // namespace HA::HWL
