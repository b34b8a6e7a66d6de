// Web backend internals shared by its files. Page main thread.
#pragma once

namespace web {

constexpr const char* kCanvas = "#canvas";  // the page's canvas element

// Ends the run with code 1 after one line on the console and the reason shown by the page.
[[noreturn]] void fail(const char* why);
// The width of the picture the demo draws: the canvas's, read when the GL context is made
// (640 for the classic picture, a sharp width otherwise).
int picture_width();
// The picture width the page should give its canvas for a sharp picture in a box this many
// device pixels wide: the smallest one the font was baked for (640 among them) that is at least
// as wide, else the largest.
int sharp_width(int wanted);
// Sets up the fixed-function GL layer on the current WebGL 2 context.
void start_gl_layer();

}  // namespace web
