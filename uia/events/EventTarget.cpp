#include "uia/events/EventTarget.h"

namespace HA::UIA {

EventTarget::~EventTarget() = default;

bool EventTarget::handleEvent(int code, void* data) { return onEvent(code, data); }

void EventTarget::notifyEvent(int code, void* data) { onNotify(code, data); }

bool EventTarget::onEvent(int, void*) { return false; }

void EventTarget::onNotify(int, void*) {}

}  // namespace HA::UIA
