#include "gp/src/common/FatalError.h"

#include <cstdio>
#include <unistd.h>

namespace HA::GP {

// FIXME: the message box, the re-entry counter and the switches of the library start-up.
void fatalError(const char* file, int line, const char* text)
{
    std::fprintf(stderr, "Error %s:%d\n\n%s\n", file ? file : "", line, text ? text : "");
    std::fflush(nullptr);
    ::_exit(1);
}

}  // namespace HA::GP
