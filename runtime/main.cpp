// Program entry: start-up, then the frame loop, which ends the process. Main thread.
#include "runtime/runtime.h"

int main() {
    platform::DeviceContext dc = start_up();
    run_frame_loop(dc);
}
