// The FLTK backend following its window manager: the framed window's frame
// fitted and refitted, the full-screen window's state, the active window and
// the keyboard focus, and stepping aside for another program's window.

#include <FL/Fl.H>
#include <FL/Fl_Gl_Window.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>

#include <algorithm>
#include <optional>

#include "shell/platform/x11/fltk_backend.h"
#include "shell/platform/x11/window_manager.h"

using x11::AppWindow;
using x11::FitFrameTo;
using x11::FullScreenGrant;
using x11::TakeKeyboardFocus;
using x11::WindowState;

namespace {

// A side of the framed window's client area: the outer side less the frame's
// two widths across it, at least one pixel.
int ClientSide(int outer, int frameWidths) { return std::max(1, outer - frameWidths); }

// A manager that reports the framed window's frame only after the fit gave
// up waiting for it (a busy one), or reports another frame later, gets the
// window fitted again, so that its outer frame is the size asked for; once
// the user has resized the window, it stays as the user made it.
void RefitFrame(Window xid) {
  const std::optional<WindowState::FramedFit> fit = AppWindow.fit;
  const std::optional<FrameExtents> frame = ReadFrameExtents(xid);
  if (!fit || !frame) return;
  const bool sameFrame = *frame == fit->frame;
  const bool asFitted =
      AppWindow.top->w() == ClientSide(fit->width, fit->frame.left + fit->frame.right) &&
      AppWindow.top->h() == ClientSide(fit->height, fit->frame.top + fit->frame.bottom);
  if (sameFrame || !asFitted) return;
  FitFrameTo(AppWindow.top, *frame, fit->x, fit->y, fit->width, fit->height);
}

// Follows the full-screen window's state: once the manager has dropped full
// screen (i3 does when the user switches to another window), "above" goes
// too, so that the window no longer covers the others. Full screen asked for
// anew is not held until the state has shown it dropped: the state read for
// a change made before the manager took the requests still has full screen,
// and the drop that follows is the program's own.
void NoteFullScreenState(Window xid) {
  const bool fullScreen = HasWindowState(xid, "_NET_WM_STATE_FULLSCREEN");
  FullScreenGrant& grant = AppWindow.fullScreenGrant;
  if (grant == FullScreenGrant::Renewing) {
    if (!fullScreen) grant = FullScreenGrant::Asked;
  } else if (fullScreen) {
    grant = FullScreenGrant::Held;
  } else if (grant == FullScreenGrant::Held) {
    grant = FullScreenGrant::Dropped;
    AskToRemoveState(xid, "_NET_WM_STATE_ABOVE");
  }
}

// Follows the active window: when the user switches to another program's
// window (Alt+Tab, a task list, a click), the full-screen window drops
// "above", which some managers (xfwm4, kwin) would otherwise keep over the
// window switched to; the program's own boxes leave it as it is.
void NoteActiveWindow(Window xid, Time time) {
  const Window active = ActiveWindow();
  if (active == xid) {
    // While a box is open, the keys stay with it.
    if (Fl::modal() == nullptr) TakeKeyboardFocus(time);
  } else if (active != None && !IsOwnWindow(active) && !AppWindow.steppedAside &&
             AppWindow.fullScreenGrant != FullScreenGrant::Dropped) {
    AppWindow.steppedAside = true;
    AskToRemoveState(xid, "_NET_WM_STATE_ABOVE");
    // The other window may have opened under this one while it was above
    // (icewm keeps it there once this one drops "above").
    AskToStackBelow(xid, active);
  }
}

// Whether a FocusIn event means that the window has the keyboard focus now.
// A manager's keyboard grab sends the window ones that do not: xfwm4's
// Alt+Tab, begun while another window has the keys and the pointer lies
// over this one, sends one with NotifyGrab and NotifyPointer. Taken for the
// focus coming back, it would bring full screen back over the window that
// has the keys.
bool GainsFocus(const XFocusChangeEvent& focus) {
  const bool byGrab = focus.mode == NotifyGrab || focus.mode == NotifyUngrab;
  const bool notHere = focus.detail == NotifyPointer || focus.detail == NotifyPointerRoot ||
                       focus.detail == NotifyDetailNone;
  return !byGrab && !notHere;
}

}  // namespace

namespace x11 {

void TakeKeyboardFocus(Time time) {
  if (IsLive()) GiveInputFocus(fl_xid(AppWindow.top), time);
}

void Activate() {
  AskToActivate(fl_xid(AppWindow.top), fl_event_time);
  TakeKeyboardFocus(fl_event_time);
  Fl::focus(AppWindow.view);
}

void FitFrameTo(Fl_Window* top, const FrameExtents& frame, int x, int y, int width, int height) {
  const Window xid = fl_xid(top);
  // FLTK gives its windows static gravity: a position is that of the client area.
  const int clientX = x + frame.left;
  const int clientY = y + frame.top;
  const int clientWidth = ClientSide(width, frame.left + frame.right);
  const int clientHeight = ClientSide(height, frame.top + frame.bottom);
  top->resize(clientX, clientY, clientWidth, clientHeight);
  // FLTK's idea of the position may be stale (it nudges a framed window on
  // screen when it maps it, and reads the result only from events not yet
  // dispatched), in which case it would skip the move: ask for it directly.
  XMoveResizeWindow(fl_display, xid, clientX, clientY, clientWidth, clientHeight);
  XFlush(fl_display);
  AppWindow.fit = WindowState::FramedFit{x, y, width, height, frame};
}

// Answers what the window manager does with the full-screen window, seen in
// the event about to be dispatched:
// - it made the window active but left the X focus elsewhere (xfwm4 does
//   after another window closed): the window takes the focus;
// - it made another program's window active: the window steps aside (see
//   NoteActiveWindow);
// - it dropped full screen (see NoteFullScreenState);
// and when the user comes back to a window that stepped aside or lost full
// screen, it asks for both again, which puts it over panels once more.
void FollowWindowManager(const XEvent& event) {
  if (!IsLive()) return;
  const Window xid = fl_xid(AppWindow.top);
  if (!AppWindow.fullScreen) {
    if (event.type == PropertyNotify && event.xproperty.window == xid &&
        event.xproperty.atom == AtomNamed("_NET_FRAME_EXTENTS")) {
      RefitFrame(xid);
    }
    return;
  }
  if (event.type == PropertyNotify) {
    const XPropertyEvent& change = event.xproperty;
    if (change.window == RootOfScreen() && change.atom == AtomNamed("_NET_ACTIVE_WINDOW")) {
      NoteActiveWindow(xid, change.time);
    } else if (change.window == xid && change.atom == AtomNamed("_NET_WM_STATE")) {
      NoteFullScreenState(xid);
    }
  } else if (event.type == FocusIn && event.xfocus.window == xid && GainsFocus(event.xfocus)) {
    if (AppWindow.fullScreenGrant == FullScreenGrant::Dropped) {
      AskForFullScreen(xid);
      AppWindow.fullScreenGrant = FullScreenGrant::Asked;
    } else if (AppWindow.steppedAside) {
      AskForFullScreenAnew(xid);
      AppWindow.fullScreenGrant = FullScreenGrant::Renewing;
    } else {
      return;
    }
    AppWindow.steppedAside = false;
  }
}

int FollowWindowManagerInFltkLoops(void* event, void*) {
  FollowWindowManager(*static_cast<const XEvent*>(event));
  return 0;  // FLTK handles the event as well
}

}  // namespace x11
