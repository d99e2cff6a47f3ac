#pragma once
// The fatal-error handler: reports a failed internal assertion and ends the process with
// exit code 1. It never returns.

namespace HA::GP {

[[noreturn]] void fatalError(const char* file, int line, const char* text);

}  // namespace HA::GP

// Fatal error at this source line when the condition does not hold.
#define HA_GP_VERIFY(condition, text)                       \
    do {                                                    \
        if (!(condition))                                   \
            ::HA::GP::fatalError(__FILE__, __LINE__, text); \
    } while (0)
