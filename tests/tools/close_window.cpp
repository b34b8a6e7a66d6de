// Test tool: asks the window of the given name to close, the way a window manager does on
// Alt+F4 or the close button (a WM_DELETE_WINDOW client message). Usage: close_window NAME
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <cstring>

namespace {

Window find(Display* d, Window w, const char* name) {
    char* title = nullptr;
    if (XFetchName(d, w, &title) && title != nullptr) {
        const bool match = std::strcmp(title, name) == 0;
        XFree(title);
        if (match) return w;
    }
    Window root, parent, *children = nullptr;
    unsigned int n = 0;
    Window found = 0;
    if (XQueryTree(d, w, &root, &parent, &children, &n)) {
        for (unsigned int i = 0; i < n && found == 0; ++i) found = find(d, children[i], name);
        if (children != nullptr) XFree(children);
    }
    return found;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    Display* d = XOpenDisplay(nullptr);
    if (d == nullptr) return 2;
    const Window w = find(d, DefaultRootWindow(d), argv[1]);
    if (w == 0) {
        std::fprintf(stderr, "no window named %s\n", argv[1]);
        return 1;
    }
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = w;
    e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = long(XInternAtom(d, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, w, False, NoEventMask, &e);
    XCloseDisplay(d);
    return 0;
}
