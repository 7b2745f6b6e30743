// The platform seam on Linux: X11 through FLTK 1.3 and its OpenGL window.
//
// Implements: every call of platform.h. The full-screen window and the framed
// window with its menu bar, their OpenGL context (double-buffered RGBA with a
// depth buffer), the question and About boxes, the event queue handed to the
// frame loop one X event at a time, the millisecond clock, and the notices.
//
// Differs from the Win32 backend:
// - X11 has no show command: it is ignored, and the window shows normally.
// - The text in the picture is the embedded 6x13 bitmap font (fixed_font.h),
//   not a font of the window system.
// - Frame sizes, full screen and always-on-top are requests to the window
//   manager through the Extended Window Manager Hints. Without a manager that
//   supports them the framed window's frame is not counted in its outer size,
//   and the full-screen window is a borderless screen-sized window that other
//   windows may cover. A manager may take full screen away (i3 does while
//   another window is active): the window then drops "above" too, and asks
//   for both again when it gets the focus back.
// - Without a window manager, the program's windows take the keyboard focus
//   themselves when they show.
// - Captions, menu items and boxes use the CJK font "WenQuanYi Micro Hei",
//   which FLTK's sans-serif faces are mapped to.
// - The boxes are FLTK windows of the program's own, with no icon.
// - Notices (help, version, warnings) are printed on stdout and stderr, not
//   shown in boxes.
//
// Needs: FLTK 1.3 with its OpenGL window (fltk, fltk_gl), Xlib and GLX, and
// fonts-wqy-microhei for the Chinese texts.
//
// The program draws from its own frame loop, so FLTK never draws the OpenGL
// area. The backend takes X events off the queue one at a time and hands
// each to FLTK (inside PlatformDispatchEvent), so that nothing queued behind
// the quit event is handled; FLTK also runs the modal boxes and the menu.
// Things FLTK 1.3 has no call for (the window manager's frame extents, the
// full-screen and always-on-top states, handing focus back, titles that every
// reader can decode) are plain Xlib requests, most of them following the
// Extended Window Manager Hints.

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Gl_Window.H>
#include <FL/Fl_Menu_Bar.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
#include <FL/gl.h>
#include <FL/x.H>
#include <GL/glx.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "shell/platform/app_icon.h"
#include "shell/platform/extension_list.h"
#include "shell/platform/fixed_font.h"
#include "shell/platform/platform.h"

namespace {

// A CJK font, so that the Chinese captions and boxes show their characters.
const char kCjkFont[] = "WenQuanYi Micro Hei";
const char kCjkBoldFont[] = "BWenQuanYi Micro Hei";  // FLTK's prefix "B" asks for bold

constexpr int kMenuBarHeight = 30;
constexpr int kMinDepthBits = 16;

// A framed window placed by the window manager gets this client size.
constexpr int kDefaultClientSide = 420;

// The modal boxes: text size, margins and buttons, in pixels.
constexpr int kBoxTextSize = 14;
constexpr int kBoxMargin = 20;
constexpr int kBoxMinWidth = 240;
constexpr int kButtonWidth = 90;
constexpr int kButtonHeight = 28;
constexpr int kButtonGap = 10;

// How long the backend waits at most for the window manager to map and frame
// a window (the framed window while it is created, a box while it is open),
// when the manager says it sets frame sizes.
constexpr auto kWindowManagerTimeout = std::chrono::seconds(2);
constexpr auto kWindowManagerPoll = std::chrono::milliseconds(10);
// More than the number of hints any window manager lists as supported.
constexpr long kMaxSupportedHints = 1024;
// More than the number of states a window can have.
constexpr long kMaxStates = 64;

// Values of the _NET_WM_STATE and _NET_ACTIVE_WINDOW client messages.
constexpr long kNetWmStateRemove = 0;
constexpr long kNetWmStateAdd = 1;
constexpr long kSourceApplication = 1;

// The program's window procedure, from PlatformOpen.
WindowProcedure Procedure = nullptr;

void Send(MessageKind kind, uint32_t param = 0) { Procedure(WindowMessage{kind, param}); }

class GlView;

void TakeKeyboardFocus(Time time);

// The widths of the frame a window manager puts around a top-level window.
struct FrameExtents {
  int left = 0;
  int right = 0;
  int top = 0;
  int bottom = 0;

  bool operator==(const FrameExtents& other) const {
    return left == other.left && right == other.right && top == other.top && bottom == other.bottom;
  }
  bool operator!=(const FrameExtents& other) const { return !(*this == other); }

  // How far a window's corner moves so that the window with this frame
  // around it has the centre the window had alone.
  int CentringShiftX() const { return (left - right) / 2; }
  int CentringShiftY() const { return (top - bottom) / 2; }
};

// Full screen as the window manager grants it: asked for, held (the window's
// state says so), or dropped by the manager after it was held.
enum class FullScreenGrant { Asked, Held, Dropped };

// The one window. In full screen `top` and `view` are the same window.
struct WindowState {
  Fl_Window* top = nullptr;
  GlView* view = nullptr;
  bool fullScreen = false;
  // Destroyed as far as the program is concerned: off the screen, sending no
  // more messages. It stays allocated while its context lives, so that the
  // context keeps a valid drawable until it is released.
  bool withdrawn = false;
  FullScreenGrant fullScreenGrant = FullScreenGrant::Asked;
  // The framed window's outer frame as asked for, and the window manager's
  // frame it was fitted into (see RefitFrame).
  struct FramedFit {
    int x, y, width, height;
    FrameExtents frame;
  };
  std::optional<FramedFit> fit;
};

WindowState AppWindow;

struct QuitState {
  bool posted = false;
  int exitCode = 0;
};

QuitState Quit;

bool IsLive() { return AppWindow.top != nullptr && !AppWindow.withdrawn; }

// Input from the user: dropped once the window is destroyed.
void SendInput(MessageKind kind, uint32_t param = 0) {
  if (IsLive()) Send(kind, param);
}

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
      SendInput(MessageKind::KeyDown, binding.code);
      return;
    }
  }
}

// Sends a press of the left or right mouse button at (x, y) of the drawing
// area, in its pixels; other buttons send nothing.
void DeliverPointer(int fltkButton, int x, int y, float pixelsPerUnit) {
  if ((fltkButton != FL_LEFT_MOUSE && fltkButton != FL_RIGHT_MOUSE) || !IsLive()) return;
  const PointerButton button = fltkButton == FL_LEFT_MOUSE ? PointerLeft : PointerRight;
  Procedure(WindowMessage{MessageKind::PointerDown, button, static_cast<int32_t>(x * pixelsPerUnit),
                          static_cast<int32_t>(y * pixelsPerUnit)});
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
        // The full-screen window has no frame to click: a click on the
        // picture gives it the keys back.
        TakeKeyboardFocus(fl_event_time);
        take_focus();
        DeliverPointer(Fl::event_button(), Fl::event_x(), Fl::event_y(), pixels_per_unit());
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

  void resize(int x, int y, int width, int height) override {
    const bool sizeChanged = width != w() || height != h();
    Fl_Gl_Window::resize(x, y, width, height);
    if (sizeChanged) Send(MessageKind::Size);
  }
};

bool HasContext() { return AppWindow.view != nullptr && AppWindow.view->context() != nullptr; }

// The window manager asks to close the window. (FLTK also calls the window's
// callback for an unhandled Escape; keys never get there, see GlView.)
void OnWindowCallback(Fl_Widget*, void*) {
  if (Fl::event() == FL_CLOSE) SendInput(MessageKind::Close);
}

void OnMenuItem(Fl_Widget*, void* id) {
  SendInput(MessageKind::Command, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(id)));
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

Window RootOfScreen() { return RootWindow(fl_display, fl_screen); }

bool IsMapped(Window xid) {
  XWindowAttributes attributes;
  return XGetWindowAttributes(fl_display, xid, &attributes) != 0 &&
         attributes.map_state == IsViewable;
}

// The items of a window property of format 32 and the given type, at most
// `maxItems`; empty when the window has no such property. (Xlib hands items
// of format 32 over as longs.)
std::vector<long> ReadProperty32(Window xid, const char* name, Atom type, long maxItems) {
  Atom actualType = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long remaining = 0;
  unsigned char* data = nullptr;
  std::vector<long> items;
  const int status = XGetWindowProperty(fl_display, xid, AtomNamed(name), 0, maxItems, False, type,
                                        &actualType, &format, &count, &remaining, &data);
  if (status == Success && actualType == type && format == 32) {
    const long* values = reinterpret_cast<const long*>(data);
    items.assign(values, values + count);
  }
  if (data != nullptr) XFree(data);
  return items;
}

// Whether the running window manager lists the hint `name` as supported.
// Without a window manager nothing is.
bool WindowManagerSupports(const char* name) {
  const std::vector<long> supported =
      ReadProperty32(RootOfScreen(), "_NET_SUPPORTED", XA_ATOM, kMaxSupportedHints);
  const long hint = static_cast<long>(AtomNamed(name));
  return std::find(supported.begin(), supported.end(), hint) != supported.end();
}

// The frame the window manager put, or means to put, around the window;
// nothing until the window manager has said.
std::optional<FrameExtents> ReadFrameExtents(Window xid) {
  const std::vector<long> widths = ReadProperty32(xid, "_NET_FRAME_EXTENTS", XA_CARDINAL, 4);
  if (widths.size() != 4) return std::nullopt;
  return FrameExtents{static_cast<int>(widths[0]), static_cast<int>(widths[1]),
                      static_cast<int>(widths[2]), static_cast<int>(widths[3])};
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

// Waits until the window manager has framed the mapped window `xid`, and
// returns its frame. Managers that never say are not waited for: their
// frame is unknown and counts as none.
FrameExtents AwaitFrameExtents(Window xid) {
  FrameExtents frame;
  if (!WindowManagerSupports("_NET_FRAME_EXTENTS")) return frame;
  WaitForWindowManager([&] {
    const std::optional<FrameExtents> extents =
        IsMapped(xid) ? ReadFrameExtents(xid) : std::nullopt;
    if (extents) frame = *extents;
    return extents.has_value();
  });
  return frame;
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
  XSendEvent(fl_display, RootOfScreen(), False, SubstructureRedirectMask | SubstructureNotifyMask,
             &event);
  XFlush(fl_display);
}

// Gives the program's window the keyboard focus unless it has it already.
// `time` is that of the user's action that asks for it. The window manager
// may believe the window active while the focus is elsewhere, so this sets
// the X input focus itself.
void TakeKeyboardFocus(Time time) {
  if (!IsLive()) return;
  const Window xid = fl_xid(AppWindow.top);
  Window focus = None;
  int revertTo = 0;
  XGetInputFocus(fl_display, &focus, &revertTo);
  if (focus != xid && IsMapped(xid)) XSetInputFocus(fl_display, xid, RevertToParent, time);
  XFlush(fl_display);
}

// Whether a window manager runs on the screen: one owns its WM_Sn selection.
bool WindowManagerRuns() {
  char name[32];
  std::snprintf(name, sizeof name, "WM_S%d", fl_screen);
  return XGetSelectionOwner(fl_display, AtomNamed(name)) != None;
}

// Without a window manager nobody hands out the keyboard focus, and it stays
// with whatever window the pointer is over: a window of the program takes it
// when it shows. (A manager gives it the focus itself.)
void FocusWithoutWindowManager(Window xid) {
  if (WindowManagerRuns()) return;
  WaitForWindowManager([&] { return IsMapped(xid); });
  XSetInputFocus(fl_display, xid, RevertToParent, CurrentTime);
  XFlush(fl_display);
}

// Asks the window manager to activate the program's window, and gives it the
// keyboard focus.
void Activate() {
  SendToWindowManager(fl_xid(AppWindow.top), "_NET_ACTIVE_WINDOW", kSourceApplication,
                      static_cast<long>(fl_event_time), 0, 0);
  TakeKeyboardFocus(fl_event_time);
  Fl::focus(AppWindow.view);
}

// Above the other windows, and full screen where the window manager has it,
// which puts the window above panels and task bars as well; without it the
// borderless screen-sized window stays as it is. Two requests, full screen
// last: a manager that keeps a window in one layer (icewm) puts it in the
// layer of the state asked for last, and "above" is under the task bar.
void AskForFullScreen(Window xid) {
  SendToWindowManager(xid, "_NET_WM_STATE", kNetWmStateAdd, AtomNamed("_NET_WM_STATE_ABOVE"), 0,
                      kSourceApplication);
  if (WindowManagerSupports("_NET_WM_STATE_FULLSCREEN")) {
    SendToWindowManager(xid, "_NET_WM_STATE", kNetWmStateAdd, AtomNamed("_NET_WM_STATE_FULLSCREEN"),
                        0, kSourceApplication);
  }
}

bool HasWindowState(Window xid, const char* state) {
  const std::vector<long> states = ReadProperty32(xid, "_NET_WM_STATE", XA_ATOM, kMaxStates);
  return std::find(states.begin(), states.end(), static_cast<long>(AtomNamed(state))) !=
         states.end();
}

// Adds `mask` to the events the program receives about `xid`, keeping those
// FLTK asked for.
void SelectMoreInput(Window xid, long mask) {
  XWindowAttributes attributes;
  if (XGetWindowAttributes(fl_display, xid, &attributes) == 0) return;
  XSelectInput(fl_display, xid, attributes.your_event_mask | mask);
}

// Has the X server report changes of the active window, which
// FollowWindowManager acts on. (FLTK already selects property and focus
// changes on its own windows.)
void WatchActiveWindow() { SelectMoreInput(RootOfScreen(), PropertyChangeMask); }

Window ActiveWindow() {
  const std::vector<long> active =
      ReadProperty32(RootOfScreen(), "_NET_ACTIVE_WINDOW", XA_WINDOW, 1);
  return active.empty() ? None : static_cast<Window>(active[0]);
}

// A side of the framed window's client area: the outer side less the frame's
// two widths across it, at least one pixel.
int ClientSide(int outer, int frameWidths) { return std::max(1, outer - frameWidths); }

// Places the framed window so that the outer corner of `frame`, the frame
// the window manager gave it, is at (x, y) and its outer size is width x
// height.
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
// too, so that the window no longer covers the others.
void NoteFullScreenState(Window xid) {
  if (HasWindowState(xid, "_NET_WM_STATE_FULLSCREEN")) {
    AppWindow.fullScreenGrant = FullScreenGrant::Held;
  } else if (AppWindow.fullScreenGrant == FullScreenGrant::Held) {
    AppWindow.fullScreenGrant = FullScreenGrant::Dropped;
    SendToWindowManager(xid, "_NET_WM_STATE", kNetWmStateRemove, AtomNamed("_NET_WM_STATE_ABOVE"),
                        0, kSourceApplication);
  }
}

// Answers what the window manager does with the full-screen window, seen in
// the event about to be dispatched:
// - it made the window active but left the X focus elsewhere (xfwm4 does
//   after another window closed): the window takes the focus;
// - it dropped full screen (see NoteFullScreenState): the window asks for it
//   again when the user comes back to it, which gives it the focus.
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
      if (ActiveWindow() == xid) TakeKeyboardFocus(change.time);
    } else if (change.window == xid && change.atom == AtomNamed("_NET_WM_STATE")) {
      NoteFullScreenState(xid);
    }
  } else if (event.type == FocusIn && event.xfocus.window == xid &&
             AppWindow.fullScreenGrant == FullScreenGrant::Dropped) {
    AppWindow.fullScreenGrant = FullScreenGrant::Asked;
    AskForFullScreen(xid);
  }
}

// FLTK stores the UTF-8 title in the legacy WM_NAME and WM_ICON_NAME typed as
// Latin-1, so that their readers show Chinese as mojibake. Xlib stores it
// there as Latin-1 where it is, as compound text otherwise, and as UTF-8 in
// _NET_WM_NAME.
void SetTitleProperties(Fl_Window* window) {
  const char* title = window->label();
  Xutf8SetWMProperties(fl_display, fl_xid(window), title, title, nullptr, 0, nullptr, nullptr,
                       nullptr);
}

// Takes the windows off the screen and schedules them for deletion, which
// FLTK carries out once the event being handled is done (this may run inside
// one of their callbacks): after each dispatched event, and when the context
// is released.
void DiscardWindows() {
  Fl::delete_widget(AppWindow.top);
  AppWindow = WindowState{};
}

enum class BoxPlace { ScreenCentre, OverWindow };

struct Rectangle {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// Where the window `xid` is on the screen, as the X server has it (FLTK's
// idea of a position may be stale).
void ScreenPosition(Window xid, int* x, int* y) {
  Window child = None;
  XTranslateCoordinates(fl_display, xid, RootOfScreen(), 0, 0, x, y, &child);
}

// The program's window on the screen, its frame included where the window
// manager reports one. A full-screen window has none, whatever the manager
// may still report from before (awesome).
Rectangle OuterRectangle(const Fl_Window* top) {
  const Window xid = fl_xid(top);
  const FrameExtents frame =
      AppWindow.fullScreen ? FrameExtents{} : ReadFrameExtents(xid).value_or(FrameExtents{});
  int x = 0;
  int y = 0;
  ScreenPosition(xid, &x, &y);
  return Rectangle{x - frame.left, y - frame.top, top->w() + frame.left + frame.right,
                   top->h() + frame.top + frame.bottom};
}

// The top-left corner of a box of width x height centred on the screen, or
// over the window (frame included) while there is one. The box's own frame
// is not known before it is shown: BoxCentring moves it then.
void CentreBox(BoxPlace place, int width, int height, int* x, int* y) {
  Rectangle area;
  if (place == BoxPlace::OverWindow && IsLive()) {
    area = OuterRectangle(AppWindow.top);
  } else {
    Fl::screen_xywh(area.x, area.y, area.width, area.height, 0);
  }
  *x = area.x + (area.width - width) / 2;
  *y = area.y + (area.height - height) / 2;
}

// The frame the window manager last put around a box. The boxes look alike
// to it, so the next box opens centred with that frame and seldom moves.
FrameExtents LastBoxFrame;

// Keeps a box centred as its frame becomes known: the box itself where the
// window manager reports no frames, its frame where it does. Some managers
// report a frame in steps (awesome: none while it takes the window on, and
// at times its border before its title bar), so each new frame centres the
// box again, until the user has moved it. Some place the frame, not the
// box, where the box asked to be (i3); a move after mapping is what they
// carry out for the box.
class BoxCentring {
 public:
  // (x, y): the box's top-left corner from CentreBox.
  BoxCentring(int x, int y)
      : x_(x),
        y_(y),
        framesReported_(WindowManagerSupports("_NET_FRAME_EXTENTS")),
        deadline_(std::chrono::steady_clock::now() + kWindowManagerTimeout) {}

  // Looks at the box again; it never waits.
  void Follow(Fl_Window* box) {
    if (!following_) return;
    const Window xid = fl_xid(box);
    const std::optional<FrameExtents> frame = FrameOf(xid);
    if (!frame) {
      // Not mapped yet, or its frame not yet reported: the box stays where
      // it asked to be if that takes too long.
      if (!centred_ && std::chrono::steady_clock::now() >= deadline_) following_ = false;
      return;
    }
    if (centred_ && *frame == centredFor_) return;
    int nowX = 0;
    int nowY = 0;
    ScreenPosition(xid, &nowX, &nowY);
    if (centred_ && !WherePlaced(nowX, nowY, *frame)) {
      following_ = false;  // the user has moved it
      return;
    }
    Place(box, xid, *frame, nowX, nowY);
  }

  // Whether the box may still move: events are then waited for only
  // briefly, so that it is looked at again soon.
  bool AwaitsFrame() const { return following_ && !centred_; }

 private:
  // The box's frame once it is mapped: none, until it is reported, where
  // the manager does not report frames.
  std::optional<FrameExtents> FrameOf(Window xid) const {
    if (!IsMapped(xid)) return std::nullopt;
    const std::optional<FrameExtents> frame = ReadFrameExtents(xid);
    if (!frame && !framesReported_) return FrameExtents{};
    return frame;
  }

  // Whether the box at (nowX, nowY), with its new `frame`, is where it was
  // put: the box, or its frame's corner, has stayed (a manager may keep
  // either while it changes the frame).
  bool WherePlaced(int nowX, int nowY, const FrameExtents& frame) const {
    const bool boxStayed = nowX == placedX_ && nowY == placedY_;
    const bool frameStayed = nowX - frame.left == placedX_ - centredFor_.left &&
                             nowY - frame.top == placedY_ - centredFor_.top;
    return boxStayed || frameStayed;
  }

  void Place(Fl_Window* box, Window xid, const FrameExtents& frame, int nowX, int nowY) {
    placedX_ = x_ + frame.CentringShiftX();
    placedY_ = y_ + frame.CentringShiftY();
    centred_ = true;
    centredFor_ = frame;
    LastBoxFrame = frame;
    if (nowX == placedX_ && nowY == placedY_) return;
    box->position(placedX_, placedY_);
    // As in FitFrameTo: FLTK may skip a move it believes done.
    XMoveWindow(fl_display, xid, placedX_, placedY_);
    XFlush(fl_display);
  }

  int x_;
  int y_;
  bool framesReported_;
  std::chrono::steady_clock::time_point deadline_;
  bool following_ = true;
  bool centred_ = false;
  FrameExtents centredFor_;  // the frame it was last centred with
  int placedX_ = 0;
  int placedY_ = 0;
};

// Escape and the close button answer button 0. The box's user data is the
// answer.
void OnBoxClose(Fl_Widget* box, void* answer) {
  *static_cast<int*>(answer) = 0;
  box->hide();
}

void OnBoxButton(Fl_Widget* button, long index) {
  Fl_Window* box = button->window();
  *static_cast<int*>(box->user_data()) = static_cast<int>(index);
  box->hide();
}

// A modal box of the program's own (FLTK's message boxes carry an icon and
// open under the mouse pointer): the text, then a row of buttons at the
// bottom right. The last button is the default and answers Return. Waits
// until the box is closed and returns the index of the button pressed.
int RunModalBox(const char* text, const char* caption, const std::vector<const char*>& labels,
                BoxPlace place) {
  int textWidth = 0;
  int textHeight = 0;
  fl_font(FL_HELVETICA, kBoxTextSize);
  fl_measure(text, textWidth, textHeight, 0);
  const int count = static_cast<int>(labels.size());
  const int buttonsWidth = count * kButtonWidth + (count - 1) * kButtonGap;
  const int width = std::max({kBoxMinWidth, textWidth, buttonsWidth}) + 2 * kBoxMargin;
  const int height = textHeight + kButtonHeight + 3 * kBoxMargin;
  int x = 0;
  int y = 0;
  CentreBox(place, width, height, &x, &y);

  int answer = 0;
  Fl_Window box(x + LastBoxFrame.CentringShiftX(), y + LastBoxFrame.CentringShiftY(), width,
                height);
  box.copy_label(caption);
  box.callback(OnBoxClose, &answer);
  // The window owns its children and deletes them with itself.
  auto* textBox = new Fl_Box(kBoxMargin, kBoxMargin, width - 2 * kBoxMargin, textHeight, text);
  textBox->labelfont(FL_HELVETICA);
  textBox->labelsize(kBoxTextSize);
  textBox->align(FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_INSIDE);
  const int buttonY = height - kBoxMargin - kButtonHeight;
  for (int i = 0; i < count; ++i) {
    const int buttonX = width - kBoxMargin - buttonsWidth + i * (kButtonWidth + kButtonGap);
    Fl_Button* button =
        i == count - 1
            ? new Fl_Return_Button(buttonX, buttonY, kButtonWidth, kButtonHeight, labels[i])
            : new Fl_Button(buttonX, buttonY, kButtonWidth, kButtonHeight, labels[i]);
    button->callback(OnBoxButton, static_cast<long>(i));
  }
  box.end();

  box.set_modal();
  box.show();
  SetTitleProperties(&box);
  FocusWithoutWindowManager(fl_xid(&box));
  BoxCentring centring(x, y);
  while (box.shown()) {
    centring.Follow(&box);
    if (centring.AwaitsFrame()) {
      Fl::wait(std::chrono::duration<double>(kWindowManagerPoll).count());
    } else {
      Fl::wait();
    }
  }
  return answer;
}

// Ends a message with a newline unless it has one.
void PrintLine(std::FILE* stream, const char* prefix, const char* text) {
  const size_t length = std::strlen(text);
  const bool endsLine = length > 0 && text[length - 1] == '\n';
  std::fprintf(stream, "%s%s%s", prefix, text, endsLine ? "" : "\n");
}

// Gives every window of the process the program's icon (FLTK sets it as
// _NET_WM_ICON), drawn at its sizes up to 64 pixels, which title bars, task
// lists and window switchers use; the larger ones would only slow the start.
// FLTK copies the images.
void SetWindowIcons() {
  constexpr int kLargestWindowIcon = 64;
  std::vector<std::vector<uint8_t>> pixels;
  std::vector<std::unique_ptr<Fl_RGB_Image>> images;
  std::vector<const Fl_RGB_Image*> icons;
  for (int size : kAppIconSizes) {
    if (size > kLargestWindowIcon) break;  // the sizes run smallest first
    pixels.push_back(DrawAppIcon(size));
    images.push_back(std::make_unique<Fl_RGB_Image>(pixels.back().data(), size, size, 4));
    icons.push_back(images.back().get());
  }
  Fl_Window::default_icons(icons.data(), static_cast<int>(icons.size()));
}

// Whether anything drawn in the window can be seen. A window manager unmaps
// a minimized window; the X server tells when the drawing area is entirely
// covered by other windows (under a compositing manager it never is).
struct Sight {
  bool mapped = true;
  bool covered = false;
};

Sight WindowSight;

// Has the X server report what FollowSight follows, for a window just shown.
void WatchSight() {
  WindowSight = Sight{};
  SelectMoreInput(fl_xid(AppWindow.top), StructureNotifyMask);
  SelectMoreInput(fl_xid(AppWindow.view), VisibilityChangeMask);
}

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

bool PlatformOpen(const PlatformSetup& setup, const char** error) {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    *error =
        "cannot open the X display (is DISPLAY set?). Run it on a desktop, or on a virtual "
        "display: xvfb-run -a pathwick";
    return false;
  }
  Procedure = setup.windowProcedure;
  fl_open_display(display);
  // FLTK's standard sans-serif faces become a CJK font, so that the Chinese
  // captions, menu items and boxes show their characters. This changes the
  // face of every FLTK widget of the process, which is what is wanted.
  Fl::set_font(FL_HELVETICA, kCjkFont);
  Fl::set_font(FL_HELVETICA_BOLD, kCjkBoldFont);
  SetWindowIcons();
  return true;
}

void PlatformNotify(NoticeKind kind, const char* text) {
  if (kind == NoticeKind::Info) {
    PrintLine(stdout, "", text);
  } else {
    PrintLine(stderr, "pathwick: ", text);
  }
}

bool PlatformNotifiesInBoxes() { return false; }

QuestionAnswer PlatformAskOkCancel(const char* text, const char* caption) {
  const int button = RunModalBox(text, caption, {"Cancel", "OK"}, BoxPlace::ScreenCentre);
  return button == 0 ? QuestionAnswer::Cancel : QuestionAnswer::Ok;
}

void PlatformShowMessage(const char* text, const char* caption) {
  RunModalBox(text, caption, {"OK"}, BoxPlace::OverWindow);
  // Closing the box leaves the focus to the window manager, which may give
  // it to no window at all: take it back.
  if (IsLive()) Activate();
}

// X11 has no show command: the window is shown normally.
bool PlatformCreateFullScreenWindow(const char* className, const char* title, int) {
  if (AppWindow.top != nullptr) return false;
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  Fl::screen_xywh(x, y, width, height, 0);
  auto* view = new GlView(x, y, width, height);
  view->copy_label(title);
  view->xclass(className);
  view->border(0);
  // Resizable, so that a tiling manager (i3) tiles it rather than floating
  // it over every other window when it takes full screen away.
  view->resizable(view);
  view->callback(OnWindowCallback);
  AppWindow = WindowState{view, view, true, false, FullScreenGrant::Asked, std::nullopt};
  Send(MessageKind::Create);

  view->show();
  const Window xid = fl_xid(view);
  WaitForWindowManager([&] { return IsMapped(xid); });
  SetTitleProperties(view);
  // FLTK marks a borderless window as one to leave out of task lists, and
  // some managers (openbox) then never give it the focus back when another
  // window closes. The full-screen window is the program's one window: it
  // belongs in task lists and window switchers.
  SendToWindowManager(xid, "_NET_WM_STATE", kNetWmStateRemove,
                      AtomNamed("_NET_WM_STATE_SKIP_TASKBAR"), 0, kSourceApplication);
  WatchActiveWindow();
  AskForFullScreen(xid);
  Activate();
  WatchSight();
  Send(MessageKind::Size);
  return true;
}

bool PlatformCreateFramedWindow(const char* className, const char* title, int, int x, int y,
                                int width, int height, const MenuBar& menu) {
  if (AppWindow.top != nullptr) return false;
  const bool placedByWindowManager = height == kDefaultPlacement;
  const int clientWidth = placedByWindowManager ? kDefaultClientSide : width;
  const int clientHeight = placedByWindowManager ? kDefaultClientSide : height;
  auto* top = placedByWindowManager ? new Fl_Window(clientWidth, clientHeight)
                                    : new Fl_Window(x, y, clientWidth, clientHeight);
  top->copy_label(title);
  top->xclass(className);
  top->callback(OnWindowCallback);
  auto* menuBar = new Fl_Menu_Bar(0, 0, clientWidth, kMenuBarHeight);
  menuBar->copy(BuildMenu(menu.items, menu.itemCount).data());
  auto* view =
      new GlView(0, kMenuBarHeight, clientWidth, std::max(1, clientHeight - kMenuBarHeight));
  top->end();
  top->resizable(view);
  AppWindow = WindowState{top, view, false, false, FullScreenGrant::Asked, std::nullopt};
  Send(MessageKind::Create);

  // Showing the top window shows the drawing area inside it.
  top->show();
  SetTitleProperties(top);
  FocusWithoutWindowManager(fl_xid(top));
  Fl::focus(view);
  if (!placedByWindowManager) FitFrameTo(top, AwaitFrameExtents(fl_xid(top)), x, y, width, height);
  WatchSight();
  Send(MessageKind::Size);
  return true;
}

bool PlatformCreateContext() {
  GlView* view = AppWindow.view;
  if (!IsLive() || !view->can_do()) return false;
  view->make_current();
  GLint depthBits = 0;
  if (view->context() != nullptr && glGetString(GL_VERSION) != nullptr) {
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
  }
  if (depthBits >= kMinDepthBits) return true;
  view->context(nullptr);  // FLTK unbinds the context before deleting it
  return false;
}

bool PlatformBuildFontLists(uint32_t listBase, int firstChar, int count) {
  return CompileFixedFontLists(listBase, firstChar, count);
}

void PlatformDestroyContext() {
  if (!HasContext()) return;
  AppWindow.view->context(nullptr);  // FLTK unbinds the context before deleting it
  if (AppWindow.withdrawn) {
    DiscardWindows();
    Fl::do_widget_deletion();
  }
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

bool PlatformEventPending() { return EventWaiting(); }

bool PlatformDispatchEvent(int* exitCode) {
  if (Quit.posted) {
    *exitCode = Quit.exitCode;
    return false;
  }
  // One X event per call (Fl::check would handle every queued event, also
  // those behind a key that closes the window).
  XEvent event;
  XNextEvent(fl_display, &event);
  FollowWindowManager(event);
  FollowSight(event);
  fl_handle(event);
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

bool PlatformSyncSwapsToRefresh() {
  if (!IsLive() || !HasContext()) return false;
  const char* extensions = glXQueryExtensionsString(fl_display, fl_screen);
  const auto address = [](const char* name) {
    return glXGetProcAddressARB(reinterpret_cast<const GLubyte*>(name));
  };
  if (ListsExtension(extensions, "GLX_EXT_swap_control")) {
    const auto setInterval =
        reinterpret_cast<PFNGLXSWAPINTERVALEXTPROC>(address("glXSwapIntervalEXT"));
    if (setInterval != nullptr) {
      setInterval(fl_display, fl_xid(AppWindow.view), 1);
      return true;
    }
  }
  if (ListsExtension(extensions, "GLX_MESA_swap_control")) {
    const auto setInterval =
        reinterpret_cast<PFNGLXSWAPINTERVALMESAPROC>(address("glXSwapIntervalMESA"));
    if (setInterval != nullptr) return setInterval(1) == 0;
  }
  return false;
}

bool PlatformWindowOnScreen() { return !IsLive() || (WindowSight.mapped && !WindowSight.covered); }
