// The platform seam on Linux: X11 through FLTK 1.3 and its OpenGL window.
//
// Its files, one job each: window_fltk.cpp (the full-screen window and the
// framed window with its menu bar, their OpenGL context, the About box's
// owner, the window icons and the content scale), events_fltk.cpp (FLTK's
// events turned into WindowMessage values: keys, pointer, menu items and the
// close; the event queue handed to the frame loop one X event at a time, the
// waits, whether the window can be seen, and the millisecond clock),
// follow_wm_fltk.cpp (the window following its window manager: the framed
// window's frame fitted and refitted, the full-screen state, the active
// window and the keyboard focus, stepping aside for another program's
// window), boxes_fltk.cpp (the boxes and notices), window_manager.cpp (the
// talk with the window manager in plain Xlib, and the screen's scale) with
// its rule in screen_scale.cpp, and the message catalogs in
// gettext_catalog.cpp and catalog_languages.cpp.
//
// Implements: every call of platform.h. The OpenGL context is
// double-buffered RGBA with a depth buffer.
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
//
// This header holds what the backend's files share: the window procedure
// given to PlatformOpen, the one window with its drawing area, and the calls
// one file makes of another.
#pragma once

#include <FL/Fl_Gl_Window.H>
#include <FL/Fl_Widget.H>
#include <FL/Fl_Window.H>
#include <X11/Xlib.h>

#include <cstdint>
#include <optional>

#include "shell/platform/platform.h"
#include "shell/platform/x11/window_manager.h"

namespace x11 {

// The program's window procedure, from PlatformOpen.
extern WindowProcedure Procedure;

void Send(MessageKind kind, uint32_t param = 0);

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

  // Both turn FLTK's events into WindowMessage values (events_fltk.cpp).
  int handle(int event) override;
  void resize(int x, int y, int width, int height) override;
};

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

extern WindowState AppWindow;

// The window exists and is not withdrawn.
bool IsLive();

// The events (events_fltk.cpp).

// The window manager asks to close the window. (FLTK also calls the window's
// callback for an unhandled Escape; keys never get there, see GlView.)
void OnWindowCallback(Fl_Widget*, void*);
void OnMenuItem(Fl_Widget*, void* id);

// Has the X server report whether anything drawn in the window can be seen
// (see PlatformWindowOnScreen), for a window just shown.
void WatchSight();

// The window following its manager (follow_wm_fltk.cpp).

// Gives the program's window the keyboard focus unless it has it already.
// `time` is that of the user's action that asks for it.
void TakeKeyboardFocus(Time time);

// Asks the window manager to activate the program's window, and gives it the
// keyboard focus.
void Activate();

// Places the framed window so that the outer corner of `frame`, the frame
// the window manager gave it, is at (x, y) and its outer size is width x
// height.
void FitFrameTo(Fl_Window* top, const FrameExtents& frame, int x, int y, int width, int height);

// Answers what the window manager does with the window, seen in the X event
// about to be dispatched.
void FollowWindowManager(const XEvent& event);

// FLTK hands this every X event it takes off the queue itself, before it
// handles it: the events that arrive while a modal box or the menu runs its
// own loop. The window then follows its manager there too.
int FollowWindowManagerInFltkLoops(void* event, void*);

}  // namespace x11
