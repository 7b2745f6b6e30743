// The platform seam on Linux: X11 through FLTK 1.3 and its OpenGL window.
//
// Implements: the calls of platform.h about windows and events. The
// full-screen window and the framed window with its menu bar, their OpenGL
// context (double-buffered RGBA with a depth buffer), the About box's owner,
// the event queue handed to the frame loop one X event at a time, the
// millisecond clock, the content scale, and the window icons. The boxes and
// notices are in boxes_fltk.cpp, the talk with the window manager (and the
// screen's scale) in window_manager.cpp with its rule in screen_scale.cpp,
// the message catalogs in gettext_catalog.cpp and catalog_languages.cpp.
//
// Differs from the Win32 backend:
// - X11 has no show command: it is ignored, and the window shows normally.
// - The text in the picture is the text code's embedded bitmap font
//   (shell/text/fixed_font.h), not a font of the window system.
// - On a dense screen (see ScreenScale: GDK_SCALE, the Xft.dpi resource or
//   the screen's size) the program scales by a whole factor from 1.5 times
//   96 dpi up: the framed window's size, the menu bar and its text, the boxes
//   and their text; PlatformContentScale reports it, and the text in the
//   picture is then the 12x24 font of the same family. The picture's layout
//   is in scene units and does not change.
//   Windows scales by the window's DPI in any step instead.
// - Frame sizes, full screen and always-on-top are requests to the window
//   manager through the Extended Window Manager Hints. Without a manager that
//   supports them the framed window's frame is not counted in its outer size,
//   and the full-screen window is a borderless screen-sized window that other
//   windows may cover. When another program's window becomes active, the
//   full-screen window drops "above" and steps below it; a manager may also
//   take full screen away (i3 does while another window is active), and the
//   window drops "above" then too. It asks for both again when it gets the
//   focus back.
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

#include <FL/Fl.H>
#include <FL/Fl_Gl_Window.H>
#include <FL/Fl_Menu_Bar.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/Fl_Window.H>
#include <FL/gl.h>
#include <FL/x.H>
#include <GL/glx.h>
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "shell/platform/app_icon.h"
#include "shell/platform/extension_list.h"
#include "shell/platform/platform.h"
#include "shell/platform/x11/boxes_fltk.h"
#include "shell/platform/x11/window_manager.h"

namespace {

// A CJK font, so that the Chinese captions and boxes show their characters.
const char kCjkFont[] = "WenQuanYi Micro Hei";
const char kCjkBoldFont[] = "BWenQuanYi Micro Hei";  // FLTK's prefix "B" asks for bold

// Sizes in pixels at 96 dpi, multiplied by ScreenScale().
constexpr int kMenuBarHeight = 30;
constexpr int kMenuTextSize = 14;
// A framed window placed by the window manager gets this client size.
constexpr int kDefaultClientSide = 420;

constexpr int kMinDepthBits = 16;

// The program's window procedure, from PlatformOpen.
WindowProcedure Procedure = nullptr;

void Send(MessageKind kind, uint32_t param = 0) { Procedure(WindowMessage{kind, param}); }

class GlView;

void TakeKeyboardFocus(Time time);

// Full screen as the window manager grants it: asked for, asked for anew
// (dropped by the program itself first, see AskForFullScreenAnew), held (the
// window's state says so), or dropped by the manager after it was held.
enum class FullScreenGrant { Asked, Renewing, Held, Dropped };

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
  // The full-screen window has dropped "above" for another program's window
  // that became active, and asks for it again once it has the focus back.
  bool steppedAside = false;
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
        DeliverPointer(MessageKind::PointerDown, PointerButtonOf(Fl::event_button()), Fl::event_x(),
                       Fl::event_y(), pixels_per_unit());
        return 1;
      case FL_DRAG:
        // FLTK sends drags (moves with a button held after a press here,
        // outside the window too) apart from plain moves, which it leaves
        // unsent to a widget that does not ask for them.
        DeliverPointer(MessageKind::PointerMove, PointerButtonsHeld(Fl::event_state()),
                       Fl::event_x(), Fl::event_y(), pixels_per_unit());
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

// A menu bar whose captions shrink, down to a smallest size, until they fit
// its width: translated captions may be longer than the program's own, and
// FLTK cuts off what does not fit. (FLTK draws the items from 6 pixels in,
// each 16 pixels wider than its caption.)
class FittingMenuBar : public Fl_Menu_Bar {
 public:
  // `scale`: the screen scale, by which the text sizes grow.
  FittingMenuBar(int x, int y, int width, int height, int scale)
      : Fl_Menu_Bar(x, y, width, height), scale_(scale) {}

  void resize(int x, int y, int width, int height) override {
    Fl_Menu_Bar::resize(x, y, width, height);
    FitCaptions();
  }

  void FitCaptions() {
    for (int size = kMenuTextSize * scale_; size >= kSmallestTextSize * scale_; --size) {
      textsize(static_cast<Fl_Fontsize>(size));
      if (CaptionsWidth() <= w()) return;
    }
  }

 private:
  static constexpr int kSmallestTextSize = 10;
  static constexpr int kFirstItemX = 6;
  static constexpr int kItemPadding = 16;

  int scale_;

  int CaptionsWidth() const {
    int width = kFirstItemX;
    for (const Fl_Menu_Item* item = menu(); item != nullptr && item->label() != nullptr;
         item = item->next()) {
      width += item->measure(nullptr, this) + kItemPadding;
    }
    return width;
  }
};

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

// Gives the program's window the keyboard focus unless it has it already.
// `time` is that of the user's action that asks for it.
void TakeKeyboardFocus(Time time) {
  if (IsLive()) GiveInputFocus(fl_xid(AppWindow.top), time);
}

// Asks the window manager to activate the program's window, and gives it the
// keyboard focus.
void Activate() {
  AskToActivate(fl_xid(AppWindow.top), fl_event_time);
  TakeKeyboardFocus(fl_event_time);
  Fl::focus(AppWindow.view);
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

// FLTK hands this every X event it takes off the queue itself, before it
// handles it: the events that arrive while a modal box or the menu runs its
// own loop. The window then follows its manager there too.
int FollowWindowManagerInFltkLoops(void* event, void*) {
  FollowWindowManager(*static_cast<const XEvent*>(event));
  return 0;  // FLTK handles the event as well
}

// Takes the windows off the screen and schedules them for deletion, which
// FLTK carries out once the event being handled is done (this may run inside
// one of their callbacks): after each dispatched event, and when the context
// is released.
void DiscardWindows() {
  Fl::delete_widget(AppWindow.top);
  AppWindow = WindowState{};
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
  ScreenScale();  // read once, before any window or box is made
  // (FLTK installs its own error handlers only where it opens the display.)
  TolerateVanishedWindows();
  Fl::add_system_handler(FollowWindowManagerInFltkLoops, nullptr);
  // FLTK's standard sans-serif faces become a CJK font, so that the Chinese
  // captions, menu items and boxes show their characters. This changes the
  // face of every FLTK widget of the process, which is what is wanted.
  Fl::set_font(FL_HELVETICA, kCjkFont);
  Fl::set_font(FL_HELVETICA_BOLD, kCjkBoldFont);
  SetWindowIcons();
  return true;
}

void PlatformShowMessage(const char* text, const char* caption) {
  const BoxOwner owner = IsLive() ? BoxOwner{AppWindow.top, AppWindow.fullScreen} : BoxOwner{};
  RunModalBox(text, caption, {"OK"}, owner);
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
  AppWindow = WindowState{};
  AppWindow.top = view;
  AppWindow.view = view;
  AppWindow.fullScreen = true;
  Send(MessageKind::Create);

  view->show();
  const Window xid = fl_xid(view);
  WaitForWindowManager([&] { return IsMapped(xid); });
  SetTitleProperties(xid, view->label());
  // FLTK marks a borderless window as one to leave out of task lists, and
  // some managers (openbox) then never give it the focus back when another
  // window closes. The full-screen window is the program's one window: it
  // belongs in task lists and window switchers.
  AskToRemoveState(xid, "_NET_WM_STATE_SKIP_TASKBAR");
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
  const int scale = ScreenScale();
  const bool placedByWindowManager = height == kDefaultPlacement;
  // The size counts pixels at 96 dpi; the position is on the screen as it is.
  if (!placedByWindowManager) {
    width *= scale;
    height *= scale;
  }
  const int clientWidth = placedByWindowManager ? kDefaultClientSide * scale : width;
  const int clientHeight = placedByWindowManager ? kDefaultClientSide * scale : height;
  const int menuBarHeight = kMenuBarHeight * scale;
  auto* top = placedByWindowManager ? new Fl_Window(clientWidth, clientHeight)
                                    : new Fl_Window(x, y, clientWidth, clientHeight);
  top->copy_label(title);
  top->xclass(className);
  top->callback(OnWindowCallback);
  auto* menuBar = new FittingMenuBar(0, 0, clientWidth, menuBarHeight, scale);
  menuBar->copy(BuildMenu(menu.items, menu.itemCount).data());
  menuBar->FitCaptions();
  auto* view = new GlView(0, menuBarHeight, clientWidth, std::max(1, clientHeight - menuBarHeight));
  top->end();
  top->resizable(view);
  AppWindow = WindowState{};
  AppWindow.top = top;
  AppWindow.view = view;
  Send(MessageKind::Create);

  // Showing the top window shows the drawing area inside it.
  top->show();
  SetTitleProperties(fl_xid(top), top->label());
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

// The picture's text is the text code's embedded font, of the size that
// PlatformContentScale asks for, not a font of the window system.
bool PlatformBuildFontLists(uint32_t, int, int) { return false; }

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

// The whole factor of ScreenScale, by which the program grows its windows,
// menu and boxes too.
float PlatformContentScale() {
  return AppWindow.top != nullptr ? static_cast<float>(ScreenScale()) : 1.0f;
}
