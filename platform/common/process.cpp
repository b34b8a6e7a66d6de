// Failure lines and the immediate exit of the POSIX backends. Any thread.
#include "platform/common/process.h"

#include <cstdio>
#include <cstdlib>

namespace process {

void fail(const char* what, const char* detail) {
    if (detail != nullptr)
        std::fprintf(stderr, "demo: %s: %s\n", what, detail);
    else
        std::fprintf(stderr, "demo: %s\n", what);
    exit_now(1);
}

void exit_now(int code) {
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(code);
}

}  // namespace process
