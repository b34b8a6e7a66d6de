// Web backend internals shared by its files. Page main thread.
#pragma once

namespace web {

constexpr const char* kCanvas = "#canvas";  // the page's canvas element

// Ends the run with code 1 after one line on the console and the reason shown by the page.
[[noreturn]] void fail(const char* why);
// Sets up the fixed-function GL layer on the current WebGL 2 context.
void start_gl_layer();

}  // namespace web
