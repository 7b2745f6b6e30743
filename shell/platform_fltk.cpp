// The platform seam on Linux: X11 through FLTK 1.3 and its OpenGL window.
//
// The program draws from its own frame loop, so FLTK never draws the OpenGL
// area; FLTK only delivers events (inside PlatformDispatchEvent) and runs the
// modal boxes. Things FLTK 1.3 has no call for (the window manager's frame
// extents, the always-on-top state, handing focus back) are plain Xlib
// requests following the Extended Window Manager Hints.

#include <FL/Fl.H>
#include <FL/Fl_Gl_Window.H>
#include <FL/Fl_Menu_Bar.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/Fl_Window.H>
#include <FL/fl_ask.H>
#include <FL/gl.h>
#include <FL/x.H>
#include <GL/glx.h>
#include <X11/Xatom.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "shell/application.h"
#include "shell/platform.h"
#include "ui/commands.h"

namespace {

// A CJK font, so that the Chinese captions and boxes show their characters.
const char kCjkFont[] = "WenQuanYi Micro Hei";
const char kCjkBoldFont[] = "BWenQuanYi Micro Hei";  // FLTK's prefix "B" asks for bold

constexpr int kMenuBarHeight = 30;
constexpr int kMinDepthBits = 16;

// How long window creation waits for the window manager to map and frame the
// window. Without a window manager the window is still usable afterwards.
constexpr auto kWindowManagerTimeout = std::chrono::seconds(2);
constexpr auto kWindowManagerPoll = std::chrono::milliseconds(10);

// Values of the _NET_WM_STATE and _NET_ACTIVE_WINDOW client messages.
constexpr long kNetWmStateAdd = 1;
constexpr long kSourceApplication = 1;

void Send(MessageKind kind, uint32_t param = 0) { MainWindowProc(WindowMessage{kind, param}); }

struct KeyBinding {
  int fltkKey;
  VirtualKey code;
};

constexpr KeyBinding kKeyBindings[] = {
    {FL_Enter, KeyReturn},  {FL_KP_Enter, KeyReturn},   {FL_Shift_L, KeyShift},
    {FL_Shift_R, KeyShift}, {FL_Control_L, KeyControl}, {FL_Control_R, KeyControl},
    {FL_Escape, KeyEscape}, {FL_F + 1, KeyF1},          {FL_Up, KeyUp},
    {FL_Down, KeyDown},     {FL_End, KeyEnd},
};

// Sends a key-down of the keys the program knows; other keys do nothing.
void DeliverKey(int fltkKey) {
  for (const KeyBinding& binding : kKeyBindings) {
    if (binding.fltkKey == fltkKey) {
      Send(MessageKind::KeyDown, binding.code);
      return;
    }
  }
}

// The OpenGL drawing area: the whole full-screen window, or the framed
// window's client area below the menu bar. It keeps the keyboard focus.
class GlView : public Fl_Gl_Window {
 public:
  GlView(int x, int y, int width, int height) : Fl_Gl_Window(x, y, width, height) {
    mode(FL_RGB | FL_DOUBLE | FL_DEPTH);
  }

  // Frames are drawn by the program's loop, which redraws everything each
  // frame; exposes are left to the next frame.
  void draw() override {}
  void flush() override {}

  int handle(int event) override {
    switch (event) {
      case FL_FOCUS:
      case FL_UNFOCUS:
        return 1;
      case FL_PUSH:
        take_focus();
        return 1;
      case FL_KEYBOARD:
      case FL_SHORTCUT:
        // Consumed here, so FLTK never turns Escape into a window close.
        DeliverKey(Fl::event_key());
        return 1;
      default:
        return Fl_Gl_Window::handle(event);
    }
  }

  void resize(int x, int y, int width, int height) override {
    const bool sizeChanged = width != w() || height != h();
    Fl_Gl_Window::resize(x, y, width, height);
    if (sizeChanged) Send(MessageKind::Size);
  }
};

// The one window. In full screen `top` and `view` are the same window.
struct WindowState {
  Fl_Window* top = nullptr;
  GlView* view = nullptr;
  bool fullScreen = false;
  // Destroyed as far as the program is concerned: off the screen, sending no
  // more messages. It stays allocated while its context lives, so that the
  // context keeps a valid drawable until it is released.
  bool withdrawn = false;
};

WindowState AppWindow;

struct QuitState {
  bool posted = false;
  int exitCode = 0;
};

QuitState Quit;

bool HasContext() { return AppWindow.view != nullptr && AppWindow.view->context() != nullptr; }

bool IsLive() { return AppWindow.top != nullptr && !AppWindow.withdrawn; }

// The window manager asks to close the window. (FLTK also calls the window's
// callback for an unhandled Escape; keys never get there, see GlView.)
void OnWindowCallback(Fl_Widget*, void*) {
  if (Fl::event() == FL_CLOSE) Send(MessageKind::Close);
}

void OnMenuItem(Fl_Widget*, void* id) {
  Send(MessageKind::Command, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(id)));
}

std::vector<Fl_Menu_Item> BuildMenu(const MenuItem* items, int itemCount) {
  std::vector<Fl_Menu_Item> menu;
  for (int i = 0; i < itemCount; ++i) {
    Fl_Menu_Item entry{};
    entry.label(items[i].caption);
    entry.callback(OnMenuItem, reinterpret_cast<void*>(static_cast<uintptr_t>(items[i].id)));
    menu.push_back(entry);
  }
  menu.push_back(Fl_Menu_Item{});  // the end of the menu
  return menu;
}

Atom AtomNamed(const char* name) { return XInternAtom(fl_display, name, False); }

bool IsMapped(Window xid) {
  XWindowAttributes attributes;
  return XGetWindowAttributes(fl_display, xid, &attributes) != 0 &&
         attributes.map_state == IsViewable;
}

// The frame the window manager put around the window: left, right, top and
// bottom widths. False until the window manager has set them.
bool ReadFrameExtents(Window xid, long extents[4]) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long remaining = 0;
  unsigned char* data = nullptr;
  const int status =
      XGetWindowProperty(fl_display, xid, AtomNamed("_NET_FRAME_EXTENTS"), 0, 4, False, XA_CARDINAL,
                         &type, &format, &count, &remaining, &data);
  const bool found = status == Success && type == XA_CARDINAL && format == 32 && count == 4;
  if (found) std::copy_n(reinterpret_cast<const long*>(data), 4, extents);
  if (data != nullptr) XFree(data);
  return found;
}

// Polls the X server until `ready` holds, or gives up after the timeout. It
// dispatches no events: the window procedure must not run (and, say, close
// the window) half-way through creating it.
template <typename Condition>
bool WaitForWindowManager(Condition ready) {
  const auto deadline = std::chrono::steady_clock::now() + kWindowManagerTimeout;
  for (;;) {
    XSync(fl_display, False);
    if (ready()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(kWindowManagerPoll);
  }
}

// A client message about `xid` to the window manager, through the root window.
void SendToWindowManager(Window xid, const char* type, long data0, long data1, long data2,
                         long data3) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = xid;
  event.xclient.message_type = AtomNamed(type);
  event.xclient.format = 32;
  event.xclient.data.l[0] = data0;
  event.xclient.data.l[1] = data1;
  event.xclient.data.l[2] = data2;
  event.xclient.data.l[3] = data3;
  XSendEvent(fl_display, RootWindow(fl_display, fl_screen), False,
             SubstructureRedirectMask | SubstructureNotifyMask, &event);
  XFlush(fl_display);
}

// Asks the window manager to give `view` the keyboard focus.
void Activate(GlView* view) {
  SendToWindowManager(fl_xid(view), "_NET_ACTIVE_WINDOW", kSourceApplication, CurrentTime, 0, 0);
  Fl::focus(view);
}

// Places the framed window so that its frame's outer corner is at (x, y) and
// its outer size is width x height, once the window manager has framed it.
void FitFrameTo(Fl_Window* top, int x, int y, int width, int height) {
  const Window xid = fl_xid(top);
  long extents[4] = {0, 0, 0, 0};  // left, right, top, bottom
  WaitForWindowManager([&] { return IsMapped(xid) && ReadFrameExtents(xid, extents); });
  const int left = static_cast<int>(extents[0]);
  const int right = static_cast<int>(extents[1]);
  const int above = static_cast<int>(extents[2]);
  const int below = static_cast<int>(extents[3]);
  // FLTK gives its windows static gravity: a position is that of the client area.
  const int clientX = x + left;
  const int clientY = y + above;
  const int clientWidth = std::max(1, width - left - right);
  const int clientHeight = std::max(1, height - above - below);
  top->resize(clientX, clientY, clientWidth, clientHeight);
  // FLTK's idea of the position may be stale (it nudges a framed window on
  // screen when it maps it, and reads the result only from events not yet
  // dispatched), in which case it would skip the move: ask for it directly.
  XMoveResizeWindow(fl_display, xid, clientX, clientY, clientWidth, clientHeight);
  XFlush(fl_display);
}

// Takes the windows off the screen and frees them once FLTK is done with the
// event being handled (this may run inside one of their callbacks).
void DiscardWindows() {
  Fl::delete_widget(AppWindow.top);
  AppWindow = WindowState{};
}

}  // namespace

bool PlatformOpen(const char** error) {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    if (error != nullptr)
      *error =
          "cannot open the X display (is DISPLAY set?). Run it on a desktop, or on a virtual "
          "display: xvfb-run -a pathwick";
    return false;
  }
  fl_open_display(display);
  Fl::set_font(FL_HELVETICA, kCjkFont);
  Fl::set_font(FL_HELVETICA_BOLD, kCjkBoldFont);
  return true;
}

QuestionAnswer PlatformAskOkCancel(const char* text, const char* caption) {
  fl_message_title(caption);
  // Button 0 answers Escape and closing the box; button 1 is the default.
  const int button = fl_choice("%s", "Cancel", "OK", nullptr, text);
  return button == 0 ? QuestionAnswer::Cancel : QuestionAnswer::Ok;
}

void PlatformShowMessage(const char* text, const char* caption) {
  const char* closeLabel = fl_close;
  fl_close = "OK";
  fl_message_title(caption);
  fl_message("%s", text);
  fl_close = closeLabel;
  // Closing the box leaves the focus to the window manager; the full-screen
  // window has no frame to click, so take the focus back.
  if (AppWindow.fullScreen && IsLive()) Activate(AppWindow.view);
}

bool PlatformCreateFullScreenWindow(const char* title) {
  if (AppWindow.top != nullptr) return false;
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  Fl::screen_xywh(x, y, width, height, 0);
  auto* view = new GlView(x, y, width, height);
  view->copy_label(title);
  view->xclass(WindowClassName);
  view->border(0);
  view->callback(OnWindowCallback);
  AppWindow = WindowState{view, view, true, false};
  Send(MessageKind::Create);

  view->show();
  const Window xid = fl_xid(view);
  WaitForWindowManager([&] { return IsMapped(xid); });
  SendToWindowManager(xid, "_NET_WM_STATE", kNetWmStateAdd, AtomNamed("_NET_WM_STATE_ABOVE"), 0,
                      kSourceApplication);
  Activate(view);
  Send(MessageKind::Size);
  return true;
}

bool PlatformCreateFramedWindow(const char* title, int x, int y, int width, int height,
                                const MenuItem* items, int itemCount) {
  if (AppWindow.top != nullptr) return false;
  auto* top = new Fl_Window(x, y, width, height);
  top->copy_label(title);
  top->xclass(WindowClassName);
  top->callback(OnWindowCallback);
  auto* menuBar = new Fl_Menu_Bar(0, 0, width, kMenuBarHeight);
  menuBar->copy(BuildMenu(items, itemCount).data());
  auto* view = new GlView(0, kMenuBarHeight, width, std::max(1, height - kMenuBarHeight));
  top->end();
  top->resizable(view);
  AppWindow = WindowState{top, view, false, false};
  Send(MessageKind::Create);

  top->show();
  view->show();
  Fl::focus(view);
  FitFrameTo(top, x, y, width, height);
  Send(MessageKind::Size);
  return true;
}

bool PlatformCreateContext() {
  GlView* view = AppWindow.view;
  if (!IsLive() || !view->can_do()) return false;
  view->show();
  view->make_current();
  GLint depthBits = 0;
  if (view->context() != nullptr && glGetString(GL_VERSION) != nullptr) {
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
  }
  if (depthBits >= kMinDepthBits) return true;
  view->context(nullptr);  // FLTK unbinds the context before deleting it
  return false;
}

void PlatformDestroyContext() {
  if (!HasContext()) return;
  AppWindow.view->context(nullptr);  // FLTK unbinds the context before deleting it
  if (AppWindow.withdrawn) DiscardWindows();
}

bool PlatformClientSize(int* width, int* height) {
  if (!IsLive() || !HasContext() || glXGetCurrentContext() != AppWindow.view->context()) {
    return false;
  }
  *width = AppWindow.view->pixel_w();
  *height = AppWindow.view->pixel_h();
  return true;
}

void PlatformSwapBuffers() {
  if (IsLive() && HasContext()) AppWindow.view->swap_buffers();
}

void PlatformDestroyWindow() {
  if (!IsLive()) return;
  if (HasContext()) {
    XWithdrawWindow(fl_display, fl_xid(AppWindow.top), fl_screen);
    XFlush(fl_display);
    AppWindow.withdrawn = true;
  } else {
    DiscardWindows();
  }
  Send(MessageKind::Destroy);
}

void PlatformPostQuit(int exitCode) {
  Quit.posted = true;
  Quit.exitCode = exitCode;
}

uint32_t PlatformTickCount() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  // The conversion to a 32-bit unsigned value wraps modulo 2^32.
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

bool PlatformEventPending() { return Quit.posted || Fl::ready() != 0; }

bool PlatformDispatchEvent(int* exitCode) {
  if (Quit.posted) {
    *exitCode = Quit.exitCode;
    return false;
  }
  Fl::check();
  return true;
}

void PlatformWaitEvent() {
  if (!Quit.posted) Fl::wait();
}
