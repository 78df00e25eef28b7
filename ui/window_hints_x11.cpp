// SPDX-License-Identifier: MIT
#include "ui/window_hints_x11.h"

#include <FL/Fl_Window.H>
#include <FL/x.H>
#include <X11/Xatom.h>

namespace lumivane {
namespace {

// The Motif hints most window managers read for decorations and functions.
struct MotifWmHints {
  unsigned long flags;
  unsigned long functions;
  unsigned long decorations;
  long inputMode;
  unsigned long status;
};
constexpr unsigned long kHintsFunctions = 1;
constexpr unsigned long kHintsDecorations = 2;
constexpr unsigned long kFunctionMove = 4;
constexpr unsigned long kFunctionClose = 32;
constexpr unsigned long kDecorBorder = 2;
constexpr unsigned long kDecorTitle = 8;
constexpr unsigned long kDecorMenu = 16;
constexpr long kNetWmStateAdd = 1;

}  // namespace

void HintFixedDialog(Fl_Window& window) {
  if (!window.shown() || fl_display == nullptr) return;
  const Window xid = fl_xid(&window);

  MotifWmHints hints{kHintsFunctions | kHintsDecorations, kFunctionMove | kFunctionClose,
                     kDecorBorder | kDecorTitle | kDecorMenu, 0, 0};
  const Atom motif = XInternAtom(fl_display, "_MOTIF_WM_HINTS", False);
  XChangeProperty(fl_display, xid, motif, motif, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&hints), 5);

  const Atom type = XInternAtom(fl_display, "_NET_WM_WINDOW_TYPE", False);
  Atom dialog = XInternAtom(fl_display, "_NET_WM_WINDOW_TYPE_DIALOG", False);
  XChangeProperty(fl_display, xid, type, XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&dialog), 1);

  // A mapped window's state changes by request to the root window.
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = xid;
  event.xclient.message_type = XInternAtom(fl_display, "_NET_WM_STATE", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = kNetWmStateAdd;
  event.xclient.data.l[1] =
      static_cast<long>(XInternAtom(fl_display, "_NET_WM_STATE_SKIP_TASKBAR", False));
  event.xclient.data.l[3] = 1;  // from a normal application
  XSendEvent(fl_display, DefaultRootWindow(fl_display), False,
             SubstructureRedirectMask | SubstructureNotifyMask, &event);
  XFlush(fl_display);
}

}  // namespace lumivane
