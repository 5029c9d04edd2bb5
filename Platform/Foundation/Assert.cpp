#include "Platform/Foundation/Assert.h"

#include <cstdio>
#include <cstdlib>

namespace pf {

void assertionFailed(const char* condition, const char* message, const char* file, int line)
{
    std::fprintf(stderr, "Assertion failed: %s (%s), %s:%d\n", message, condition, file, line);
    std::fflush(stderr);
    std::abort();
}

} // namespace pf
