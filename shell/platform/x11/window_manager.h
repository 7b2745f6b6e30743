// The window manager as an X client talks to it: the Extended Window Manager
// Hints (frame extents, window states, the active window, the manager's list
// of supported hints) and the ICCCM (the manager's selection, titles, the
// input focus), in plain Xlib requests on FLTK's display connection, and the
// scale the desktop asks for on a dense screen. Things FLTK 1.3 has no call
// for. The FLTK backend's files use it; it knows no
// widget and nothing of the program's window beyond the X window ids given.
#pragma once

#include <X11/Xlib.h>

#include <chrono>
#include <optional>
#include <thread>

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

// How long the backend waits at most for the window manager to map and frame
// a window (the framed window while it is created, a box while it is open),
// when the manager says it sets frame sizes.
constexpr auto kWindowManagerTimeout = std::chrono::seconds(2);
constexpr auto kWindowManagerPoll = std::chrono::milliseconds(10);

Atom AtomNamed(const char* name);

Window RootOfScreen();

bool IsMapped(Window xid);

// Where the window `xid` is on the screen, as the X server has it (FLTK's
// idea of a position may be stale).
void ScreenPosition(Window xid, int* x, int* y);

// Has two errors about windows that went away meanwhile pass, where Xlib
// would end the process. A failed read of a property of a window that is
// gone finds nothing: a window named in a property (the check window of a
// window manager that exited, which FLTK reads too) may be gone by the time
// it is read. Focus given to a window that was unmapped after the check that
// it was mapped (the server answers BadMatch) stays where it was: the window
// manager may minimize the window at any moment. Other X errors stay fatal.
void TolerateVanishedWindows();

// Waits until the X server has handled every request sent so far.
void SyncWithServer();

// Polls the X server until `ready` holds, or gives up after the timeout. It
// dispatches no events: the window procedure must not run (and, say, close
// the window) half-way through creating it.
template <typename Condition>
bool WaitForWindowManager(Condition ready) {
  const auto deadline = std::chrono::steady_clock::now() + kWindowManagerTimeout;
  for (;;) {
    SyncWithServer();
    if (ready()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(kWindowManagerPoll);
  }
}

// Whether a window manager runs on the screen: one owns its WM_Sn selection.
bool WindowManagerRuns();

// Whether the running window manager lists the hint `name` as supported.
// Without a window manager nothing is, whatever list one that exited left
// on the root window. The list is read once for each manager that runs.
bool WindowManagerSupports(const char* name);

// The frame the window manager put, or means to put, around the window;
// nothing until the window manager has said.
std::optional<FrameExtents> ReadFrameExtents(Window xid);

// Waits until the window manager has framed the mapped window `xid`, and
// returns its frame. Managers that never say are not waited for: their
// frame is unknown and counts as none.
FrameExtents AwaitFrameExtents(Window xid);

// Asks the window manager to add the state `state` (_NET_WM_STATE_...) to
// the window `xid`, or to remove it.
void AskToAddState(Window xid, const char* state);
void AskToRemoveState(Window xid, const char* state);

bool HasWindowState(Window xid, const char* state);

// Above the other windows, and full screen where the window manager has it,
// which puts the window above panels and task bars as well; without it the
// borderless screen-sized window stays as it is.
void AskForFullScreen(Window xid);

// The same for a window that holds full screen but lost "above": full
// screen is dropped and asked for again, as a manager that keeps a window in
// the layer of the state asked for last (icewm) puts it above the task bar
// only for full screen newly asked for.
void AskForFullScreenAnew(Window xid);

// Asks the window manager to put `xid` right below `sibling`, where it takes
// such requests (_NET_RESTACK_WINDOW).
void AskToStackBelow(Window xid, Window sibling);

// Asks the window manager to make `xid` the active window; `time` is that of
// the user's action that asks for it.
void AskToActivate(Window xid, Time time);

// Gives `xid` the X input focus unless it has it already or is not mapped
// (or is unmapped before the server takes the request: see
// TolerateVanishedWindows).
// The window manager may believe the window active while the focus is
// elsewhere, so this sets the focus itself.
void GiveInputFocus(Window xid, Time time);

// Without a window manager nobody hands out the keyboard focus, and it stays
// with whatever window the pointer is over: a window of the program takes it
// when it shows. (A manager gives it the focus itself.)
void FocusWithoutWindowManager(Window xid);

// Adds `mask` to the events the program receives about `xid`, keeping those
// FLTK asked for.
void SelectMoreInput(Window xid, long mask);

// Has the X server report changes of the active window (PropertyNotify on
// the root window). (FLTK already selects property and focus changes on its
// own windows.)
void WatchActiveWindow();

Window ActiveWindow();

// Whether `xid` is a window of this program: the X server hands each client
// its window ids from a block of its own. True also for one of the program's
// windows that is gone, which the window manager may still name as active
// for a moment.
bool IsOwnWindow(Window xid);

// Stores the UTF-8 `title` of `xid` in every title property. FLTK stores it
// in the legacy WM_NAME and WM_ICON_NAME typed as Latin-1, so that their
// readers show Chinese as mojibake; this stores it there as Latin-1 where it
// is, as compound text otherwise, and as UTF-8 in _NET_WM_NAME.
void SetTitleProperties(Window xid, const char* title);

// The whole factor by which the program scales its window, menu, boxes and
// picture text (see screen_scale.h), as X11 desktops publish it: GDK_SCALE
// where set; else the Xft.dpi resource of the screen's resource database
// (which GNOME's settings daemon and KDE Plasma set from their scale and font
// settings); else the X screen's density from its size in millimetres. Read
// on the first call, after the display is open; the same for the whole run.
int ScreenScale();
