// The one extra thread the demo starts (the sequencer's), as the SDL2 and Win32 backends keep
// it: a static record, no heap, holding the procedure so that the thread itself gets the null
// parameter it expects. Written by the main thread before the thread starts; header-only, so
// the Win32 build takes it without the rest of platform/common.
#pragma once

#include <atomic>

#include "platform/platform.h"

struct platform::Thread {
    void* native;                           // the system's thread object, null until started
    ThreadProc proc;
    std::atomic<bool> wants_time_critical;  // asked by the main thread, taken up by the thread
    bool is_time_critical;                  // the thread's own: its priority was raised
};

namespace thread_record {

inline platform::Thread the_thread;

// Main thread: fills the record for proc and has spawn(record) start the thread, which returns
// the system's thread object or null. The record; null when refused or started already.
template <typename Spawn>
platform::Thread* start(platform::ThreadProc proc, Spawn spawn) {
    if (the_thread.native != nullptr) return nullptr;
    the_thread.proc = proc;
    the_thread.native = spawn(&the_thread);
    return the_thread.native != nullptr ? &the_thread : nullptr;
}

// The new thread's first call: runs the procedure with the null parameter.
inline void run(void* record) { static_cast<platform::Thread*>(record)->proc(nullptr); }

}  // namespace thread_record
