#include "hwl/core/src/errors/ErrorListeners.h"

namespace HA::HWL {

std::vector<tErrorListener>& errorListeners()
{
    static std::vector<tErrorListener> listeners;
    return listeners;
}

void notifyErrorListeners(const std::string& text)
{
    for (const tErrorListener& listener : errorListeners()) {
        std::string copy = text;
        listener(copy);
    }
}

}  // namespace HA::HWL
