// SPDX-License-Identifier: MIT
// close_window TITLE [TIMEOUT_S]: waits for a top-level window with this
// title and asks it to close, as a window manager's close box does
// (WM_DELETE_WINDOW). Exits 0 once sent, 1 if no such window showed up.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

Window FindByTitle(Display* display, Window root, const char* title) {
  Window rootReturn = 0;
  Window parent = 0;
  Window* children = nullptr;
  unsigned count = 0;
  Window found = 0;
  if (XQueryTree(display, root, &rootReturn, &parent, &children, &count) == 0) return 0;
  for (unsigned i = 0; i < count && found == 0; ++i) {
    char* name = nullptr;
    if (XFetchName(display, children[i], &name) != 0 && name != nullptr) {
      if (std::strcmp(name, title) == 0) found = children[i];
      XFree(name);
    }
  }
  if (children != nullptr) XFree(children);
  return found;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: close_window TITLE [TIMEOUT_S]\n");
    return 2;
  }
  const int tenths = (argc > 2 ? std::atoi(argv[2]) : 20) * 10;
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "close_window: no display\n");
    return 1;
  }
  Window window = 0;
  for (int i = 0; i < tenths && window == 0; ++i) {
    window = FindByTitle(display, DefaultRootWindow(display), argv[1]);
    if (window == 0) usleep(100000);
  }
  if (window == 0) {
    std::fprintf(stderr, "close_window: no window \"%s\"\n", argv[1]);
    return 1;
  }
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &event);
  XCloseDisplay(display);
  return 0;
}
