// Windows backend: one line on the standard error handle, where there is one (under Wine, or
// started from a console). Any thread. No C runtime stdio, to keep the program small.
#pragma once

#include <windows.h>

namespace win32 {

inline void report(const char* line) {
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (err == nullptr || err == INVALID_HANDLE_VALUE) return;
    DWORD length = 0;
    while (line[length] != '\0') ++length;
    DWORD written;
    WriteFile(err, line, length, &written, nullptr);
    WriteFile(err, "\n", 1, &written, nullptr);
}

}  // namespace win32
