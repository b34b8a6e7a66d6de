// Test tool: says whether the X server shows a cursor at the pointer now: "shown" if the cursor
// image has a pixel that is not fully transparent, "hidden" if it has none. Exit 1 when the
// display or its XFixes extension cannot be had. Usage: cursor_shown
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>

#include <cstdio>

int main() {
    Display* d = XOpenDisplay(nullptr);
    int event_base = 0;
    int error_base = 0;
    if (d == nullptr || !XFixesQueryExtension(d, &event_base, &error_base)) {
        std::fprintf(stderr, "cursor_shown: no X display with XFixes\n");
        return 1;
    }
    XFixesCursorImage* image = XFixesGetCursorImage(d);
    if (image == nullptr) {
        std::fprintf(stderr, "cursor_shown: no cursor image\n");
        return 1;
    }
    bool shown = false;
    for (int i = 0; i < image->width * image->height; ++i) shown = shown || (image->pixels[i] >> 24) != 0;
    std::printf("%s %dx%d\n", shown ? "shown" : "hidden", image->width, image->height);
    XFree(image);
    XCloseDisplay(d);
    return 0;
}
