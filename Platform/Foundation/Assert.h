#pragma once

// Programmer errors only: names the file and line, then stops the program. Active in every build,
// because continuing past a broken invariant can corrupt a user's document.
#define PF_ASSERT(condition, message)                                                                        \
    do {                                                                                                     \
        if (!(condition))                                                                                    \
            ::pf::assertionFailed(#condition, message, __FILE__, __LINE__);                                  \
    } while (false)

namespace pf {
[[noreturn]] void assertionFailed(const char* condition, const char* message, const char* file, int line);
}
