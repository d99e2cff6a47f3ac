#include "uia/events/Events.h"

namespace HA::UIA {

namespace {

// Shared by every event without a record; handlers never write to it.
unsigned char gNoEventData = 0;

}  // namespace

void* noEventData() { return &gNoEventData; }

}  // namespace HA::UIA
