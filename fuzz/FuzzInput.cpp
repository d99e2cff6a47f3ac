#include "fuzz/FuzzInput.h"

#include <cstdio>
#include <cstdlib>

namespace HA::FUZZ {

void fail(const char* what)
{
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

}  // namespace HA::FUZZ
