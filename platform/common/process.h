// Ending the process the way every POSIX backend does: one line on stderr when it is a failure,
// the standard streams flushed, then an immediate exit that releases nothing. Any thread.
#pragma once

namespace process {

// Prints "demo: <what>" (and ": <detail>" when detail is given) and exits with code 1.
[[noreturn]] void fail(const char* what, const char* detail = nullptr);
// Flushes stdout and stderr and ends the process at once with this code.
[[noreturn]] void exit_now(int code);

}  // namespace process
