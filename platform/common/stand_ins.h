// Stand-ins for the handles of a window system, for the backends that have none (headless, web):
// only their identity matters. Any thread.
#pragma once

#include "platform/platform.h"

namespace stand_ins {

inline char window_token;
inline char device_context_token;
inline char thread_token;

inline platform::WindowHandle window() { return reinterpret_cast<platform::WindowHandle>(&window_token); }
inline platform::DeviceContext device_context() {
    return reinterpret_cast<platform::DeviceContext>(&device_context_token);
}
inline platform::ThreadHandle thread() { return reinterpret_cast<platform::ThreadHandle>(&thread_token); }

}  // namespace stand_ins
