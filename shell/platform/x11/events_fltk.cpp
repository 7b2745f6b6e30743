// The FLTK backend's events: FLTK's events turned into WindowMessage values
// (keys, pointer, menu items, the close), the event queue handed to the frame
// loop one X event at a time, the waits, whether the window can be seen, and
// the millisecond clock.

#include <FL/Fl.H>
#include <FL/Fl_Gl_Window.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>
#include <poll.h>

#include <chrono>
#include <cstdint>

#include "shell/platform/platform.h"
#include "shell/platform/x11/fltk_backend.h"
#include "shell/platform/x11/window_manager.h"

namespace x11 {

WindowProcedure Procedure = nullptr;

void Send(MessageKind kind, uint32_t param) { Procedure(WindowMessage{kind, param}); }

}  // namespace x11

using x11::AppWindow;
using x11::FollowWindowManager;
using x11::IsLive;
using x11::Procedure;
using x11::Send;

namespace {

struct QuitState {
  bool posted = false;
  int exitCode = 0;
};

QuitState Quit;

// Input from the user: dropped once the window is destroyed.
void SendInput(MessageKind kind, uint32_t param = 0) {
  if (IsLive()) Send(kind, param);
}

struct KeyBinding {
  int fltkKey;
  VirtualKey code;
};

constexpr KeyBinding kKeyBindings[] = {
    {FL_Enter, KeyReturn},
    {FL_KP_Enter, KeyReturn},
    {FL_Shift_L, KeyShift},
    {FL_Shift_R, KeyShift},
    {FL_Control_L, KeyControl},
    {FL_Control_R, KeyControl},
    {FL_Escape, KeyEscape},
    {FL_F + 1, KeyF1},
    {FL_Up, KeyUp},
    {FL_Down, KeyDown},
    {FL_End, KeyEnd},
    {' ', KeySpace},
    {FL_BackSpace, KeyBackspace},
    {'n', KeyN},
};

// Sends a key-down of the keys the program knows; other keys do nothing.
void DeliverKey(int fltkKey) {
  for (const KeyBinding& binding : kKeyBindings) {
    if (binding.fltkKey == fltkKey) {
      SendInput(MessageKind::KeyDown, binding.code);
      return;
    }
  }
}

// Sends a pointer message with `buttons` (PointerButton bits) at (x, y) of
// the drawing area, given in FLTK units and sent in pixels; without a button
// of the program's it sends nothing.
void DeliverPointer(MessageKind kind, uint32_t buttons, int x, int y, float pixelsPerUnit) {
  if (buttons == 0 || !IsLive()) return;
  Procedure(WindowMessage{kind, buttons, static_cast<int32_t>(x * pixelsPerUnit),
                          static_cast<int32_t>(y * pixelsPerUnit)});
}

// The PointerButton of an FLTK button number, or 0.
uint32_t PointerButtonOf(int fltkButton) {
  if (fltkButton == FL_LEFT_MOUSE) return PointerLeft;
  if (fltkButton == FL_RIGHT_MOUSE) return PointerRight;
  return 0;
}

// The PointerButton bits of the buttons held in FLTK's event state.
uint32_t PointerButtonsHeld(int eventState) {
  return ((eventState & FL_BUTTON1) != 0 ? PointerLeft : 0u) |
         ((eventState & FL_BUTTON3) != 0 ? PointerRight : 0u);
}

// Whether anything drawn in the window can be seen. A window manager unmaps
// a minimized window; the X server tells when the drawing area is entirely
// covered by other windows (under a compositing manager it never is).
struct Sight {
  bool mapped = true;
  bool covered = false;
};

Sight WindowSight;

void FollowSight(const XEvent& event) {
  if (!IsLive()) return;
  if (event.type == VisibilityNotify && event.xvisibility.window == fl_xid(AppWindow.view)) {
    WindowSight.covered = event.xvisibility.state == VisibilityFullyObscured;
  } else if (event.type == UnmapNotify && event.xunmap.window == fl_xid(AppWindow.top)) {
    WindowSight.mapped = false;
  } else if (event.type == MapNotify && event.xmap.window == fl_xid(AppWindow.top)) {
    WindowSight.mapped = true;
  }
}

bool EventWaiting() { return Quit.posted || XPending(fl_display) > 0; }

}  // namespace

namespace x11 {

int GlView::handle(int event) {
  switch (event) {
    case FL_FOCUS:
    case FL_UNFOCUS:
      return 1;
    case FL_PUSH:
      // The full-screen window has no frame to click: a click on the
      // picture gives it the keys back.
      TakeKeyboardFocus(fl_event_time);
      take_focus();
      DeliverPointer(MessageKind::PointerDown, PointerButtonOf(Fl::event_button()), Fl::event_x(),
                     Fl::event_y(), pixels_per_unit());
      return 1;
    case FL_DRAG:
      // FLTK sends drags (moves with a button held after a press here,
      // outside the window too) apart from plain moves, which it leaves
      // unsent to a widget that does not ask for them.
      DeliverPointer(MessageKind::PointerMove, PointerButtonsHeld(Fl::event_state()), Fl::event_x(),
                     Fl::event_y(), pixels_per_unit());
      return 1;
    case FL_RELEASE:
      DeliverPointer(MessageKind::PointerUp, PointerButtonOf(Fl::event_button()), Fl::event_x(),
                     Fl::event_y(), pixels_per_unit());
      return 1;
    case FL_KEYBOARD:
    case FL_SHORTCUT:
      // With Alt held the key is the window manager's (Alt+F4 and the
      // like), never a command.
      if (Fl::event_state(FL_ALT) != 0) return 0;
      // Consumed here, so FLTK never turns Escape into a window close.
      DeliverKey(Fl::event_key());
      return 1;
    default:
      return Fl_Gl_Window::handle(event);
  }
}

void GlView::resize(int x, int y, int width, int height) {
  const bool sizeChanged = width != w() || height != h();
  Fl_Gl_Window::resize(x, y, width, height);
  if (sizeChanged) Send(MessageKind::Size);
}

void OnWindowCallback(Fl_Widget*, void*) {
  if (Fl::event() == FL_CLOSE) SendInput(MessageKind::Close);
}

void OnMenuItem(Fl_Widget*, void* id) {
  SendInput(MessageKind::Command, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(id)));
}

void WatchSight() {
  WindowSight = Sight{};
  SelectMoreInput(fl_xid(AppWindow.top), StructureNotifyMask);
  SelectMoreInput(fl_xid(AppWindow.view), VisibilityChangeMask);
}

}  // namespace x11

void PlatformPostQuit(int exitCode) {
  Quit.posted = true;
  Quit.exitCode = exitCode;
}

uint32_t PlatformTickCount() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  // The conversion to a 32-bit unsigned value wraps modulo 2^32.
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

bool PlatformEventPending() { return EventWaiting(); }

// FLTK holds a pointer move back, to merge it with the moves behind it, and
// sends it from Fl::wait, which this loop never runs: a move with the left
// or right button held (a drag, for the program) is sent at once, before the
// release behind it. Moves without them stay unsent.
void SendHeldBackDrag(const XEvent& event) {
  if (event.type != MotionNotify || (event.xmotion.state & (Button1Mask | Button3Mask)) == 0) {
    return;
  }
  if (Fl_Window* window = fl_find(event.xmotion.window)) Fl::handle(FL_MOVE, window);
}

bool PlatformDispatchEvent(int* exitCode) {
  if (Quit.posted) {
    *exitCode = Quit.exitCode;
    return false;
  }
  // One X event per call (Fl::check would handle every queued event, also
  // those behind a key that closes the window).
  XEvent event;
  XNextEvent(fl_display, &event);
  // fl_handle passes no event to the system handlers.
  FollowWindowManager(event);
  FollowSight(event);
  fl_handle(event);
  SendHeldBackDrag(event);
  // Redraw the widgets the event changed, such as the menu bar, and free
  // windows that were discarded while it was handled.
  Fl::flush();
  Fl::do_widget_deletion();
  return true;
}

void PlatformWaitEvent() {
  while (!EventWaiting()) {
    pollfd connection{ConnectionNumber(fl_display), POLLIN, 0};
    poll(&connection, 1, -1);
  }
}

bool PlatformWaitEventTimeout(uint32_t timeoutMs) {
  if (EventWaiting()) return true;
  // Data on the connection need not be an event (XPending reads it and
  // says): the caller then reads the clock and waits for the rest.
  pollfd connection{ConnectionNumber(fl_display), POLLIN, 0};
  poll(&connection, 1, static_cast<int>(timeoutMs));
  return EventWaiting();
}

bool PlatformHasKeyboard() { return true; }

bool PlatformWindowOnScreen() { return !IsLive() || (WindowSight.mapped && !WindowSight.covered); }
