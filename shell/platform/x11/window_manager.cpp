// The window manager through Xlib: see window_manager.h.

#include "shell/platform/x11/window_manager.h"

#include <FL/x.H>
#include <X11/Xatom.h>
#include <X11/Xproto.h>
#include <X11/Xresource.h>
#include <X11/Xutil.h>
// The display record with the block of window ids the server gave the
// program (IsOwnWindow); its macros min and max would break the standard
// library's functions of those names.
#include <X11/Xlibint.h>
#undef min
#undef max

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "shell/platform/x11/screen_scale.h"

namespace {

// The Xft.dpi resource from the resource database the desktop loaded into
// the server (RESOURCE_MANAGER, as xrdb writes it); empty when it is not set.
std::string ReadXftDpi() {
  const char* resources = XResourceManagerString(fl_display);
  if (resources == nullptr) return {};
  XrmInitialize();
  const XrmDatabase database = XrmGetStringDatabase(resources);
  if (database == nullptr) return {};
  char* type = nullptr;
  XrmValue value{};
  std::string dpi;
  if (XrmGetResource(database, "Xft.dpi", "Xft.Dpi", &type, &value) && value.addr != nullptr) {
    dpi.assign(value.addr, strnlen(value.addr, value.size));
    // A resource file may leave blanks after the value.
    dpi.erase(dpi.find_last_not_of(" \t") + 1);
  }
  XrmDestroyDatabase(database);
  return dpi;
}

// The X screen's dots per inch across, from its size in pixels and in
// millimetres; 0 when it reports no size in millimetres.
double ScreenDotsPerInch() {
  const int millimetres = DisplayWidthMM(fl_display, fl_screen);
  if (millimetres <= 0) return 0.0;
  constexpr double kMillimetresPerInch = 25.4;
  return DisplayWidth(fl_display, fl_screen) * kMillimetresPerInch / millimetres;
}

// More than the number of hints any window manager lists as supported.
constexpr long kMaxSupportedHints = 1024;
// More than the number of states a window can have.
constexpr long kMaxStates = 64;

// Values of the _NET_WM_STATE and _NET_ACTIVE_WINDOW client messages.
constexpr long kNetWmStateRemove = 0;
constexpr long kNetWmStateAdd = 1;
constexpr long kSourceApplication = 1;
// A request that carries out the user's own action (a pager's, in the
// words of the standard): managers such as mutter take restacking only so.
constexpr long kSourceUserAction = 2;

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

// The window a running window manager keeps to show that it runs, named in
// _NET_SUPPORTING_WM_CHECK on the root window and on itself; None without
// one. A manager that exited without cleaning up leaves the root's property
// naming a window that is gone.
Window WindowManagerCheckWindow() {
  const std::vector<long> named =
      ReadProperty32(RootOfScreen(), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW, 1);
  if (named.empty()) return None;
  const Window check = static_cast<Window>(named[0]);
  const std::vector<long> itself = ReadProperty32(check, "_NET_SUPPORTING_WM_CHECK", XA_WINDOW, 1);
  return !itself.empty() && static_cast<Window>(itself[0]) == check ? check : None;
}

// The hints the running window manager lists as supported, read once for
// each manager (known by its check window): a list left behind by one that
// exited is not believed, and the list is not read again on every call.
struct SupportedHints {
  Window checkWindow = None;
  std::vector<long> hints;
};

SupportedHints Supported;

const std::vector<long>& SupportedHintsOfRunningManager() {
  const Window checkWindow = WindowManagerCheckWindow();
  if (checkWindow != Supported.checkWindow) {
    Supported.checkWindow = checkWindow;
    Supported.hints = checkWindow == None ? std::vector<long>{}
                                          : ReadProperty32(RootOfScreen(), "_NET_SUPPORTED",
                                                           XA_ATOM, kMaxSupportedHints);
  }
  return Supported.hints;
}

// Xlib's handler, which ends the process on any error.
XErrorHandler FatalErrorHandler = nullptr;

// Reading a property of a window that is gone finds nothing, and focus asked
// for a window that was unmapped meanwhile stays where it is; other errors
// stay fatal.
int OnXError(Display* display, XErrorEvent* error) {
  if (error->error_code == BadWindow && error->request_code == X_GetProperty) return 0;
  if (error->error_code == BadMatch && error->request_code == X_SetInputFocus) return 0;
  return FatalErrorHandler(display, error);
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

}  // namespace

void SelectMoreInput(Window xid, long mask) {
  XWindowAttributes attributes;
  if (XGetWindowAttributes(fl_display, xid, &attributes) == 0) return;
  XSelectInput(fl_display, xid, attributes.your_event_mask | mask);
}

Atom AtomNamed(const char* name) { return XInternAtom(fl_display, name, False); }

Window RootOfScreen() { return RootWindow(fl_display, fl_screen); }

bool IsMapped(Window xid) {
  XWindowAttributes attributes;
  return XGetWindowAttributes(fl_display, xid, &attributes) != 0 &&
         attributes.map_state == IsViewable;
}

void ScreenPosition(Window xid, int* x, int* y) {
  Window child = None;
  XTranslateCoordinates(fl_display, xid, RootOfScreen(), 0, 0, x, y, &child);
}

void TolerateVanishedWindows() { FatalErrorHandler = XSetErrorHandler(OnXError); }

void SyncWithServer() { XSync(fl_display, False); }

bool WindowManagerRuns() {
  char name[32];
  std::snprintf(name, sizeof name, "WM_S%d", fl_screen);
  return XGetSelectionOwner(fl_display, AtomNamed(name)) != None;
}

bool WindowManagerSupports(const char* name) {
  const std::vector<long>& supported = SupportedHintsOfRunningManager();
  const long hint = static_cast<long>(AtomNamed(name));
  return std::find(supported.begin(), supported.end(), hint) != supported.end();
}

std::optional<FrameExtents> ReadFrameExtents(Window xid) {
  const std::vector<long> widths = ReadProperty32(xid, "_NET_FRAME_EXTENTS", XA_CARDINAL, 4);
  if (widths.size() != 4) return std::nullopt;
  return FrameExtents{static_cast<int>(widths[0]), static_cast<int>(widths[1]),
                      static_cast<int>(widths[2]), static_cast<int>(widths[3])};
}

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

void AskToAddState(Window xid, const char* state) {
  SendToWindowManager(xid, "_NET_WM_STATE", kNetWmStateAdd, AtomNamed(state), 0,
                      kSourceApplication);
}

void AskToRemoveState(Window xid, const char* state) {
  SendToWindowManager(xid, "_NET_WM_STATE", kNetWmStateRemove, AtomNamed(state), 0,
                      kSourceApplication);
}

bool HasWindowState(Window xid, const char* state) {
  const std::vector<long> states = ReadProperty32(xid, "_NET_WM_STATE", XA_ATOM, kMaxStates);
  return std::find(states.begin(), states.end(), static_cast<long>(AtomNamed(state))) !=
         states.end();
}

// Two requests, full screen last: a manager that keeps a window in one layer
// (icewm) puts it in the layer of the state asked for last, and "above" is
// under the task bar.
void AskForFullScreen(Window xid) {
  AskToAddState(xid, "_NET_WM_STATE_ABOVE");
  if (WindowManagerSupports("_NET_WM_STATE_FULLSCREEN")) {
    AskToAddState(xid, "_NET_WM_STATE_FULLSCREEN");
  }
}

void AskForFullScreenAnew(Window xid) {
  if (WindowManagerSupports("_NET_WM_STATE_FULLSCREEN")) {
    AskToRemoveState(xid, "_NET_WM_STATE_FULLSCREEN");
  }
  AskForFullScreen(xid);
}

void AskToStackBelow(Window xid, Window sibling) {
  if (!WindowManagerSupports("_NET_RESTACK_WINDOW")) return;
  SendToWindowManager(xid, "_NET_RESTACK_WINDOW", kSourceUserAction, static_cast<long>(sibling),
                      Below, 0);
}

void AskToActivate(Window xid, Time time) {
  SendToWindowManager(xid, "_NET_ACTIVE_WINDOW", kSourceApplication, static_cast<long>(time), 0, 0);
}

void GiveInputFocus(Window xid, Time time) {
  Window focus = None;
  int revertTo = 0;
  XGetInputFocus(fl_display, &focus, &revertTo);
  if (focus != xid && IsMapped(xid)) XSetInputFocus(fl_display, xid, RevertToParent, time);
  XFlush(fl_display);
}

void FocusWithoutWindowManager(Window xid) {
  if (WindowManagerRuns()) return;
  WaitForWindowManager([&] { return IsMapped(xid); });
  XSetInputFocus(fl_display, xid, RevertToParent, CurrentTime);
  XFlush(fl_display);
}

void WatchActiveWindow() { SelectMoreInput(RootOfScreen(), PropertyChangeMask); }

Window ActiveWindow() {
  const std::vector<long> active =
      ReadProperty32(RootOfScreen(), "_NET_ACTIVE_WINDOW", XA_WINDOW, 1);
  return active.empty() ? None : static_cast<Window>(active[0]);
}

bool IsOwnWindow(Window xid) {
  // Xlib keeps the block in its display record, which only Xlibint.h names.
  const auto* display = reinterpret_cast<const _XDisplay*>(fl_display);
  return (xid & ~display->resource_mask) == display->resource_base;
}

void SetTitleProperties(Window xid, const char* title) {
  Xutf8SetWMProperties(fl_display, xid, title, title, nullptr, 0, nullptr, nullptr, nullptr);
}

int ScreenScale() {
  static const int scale = [] {
    const std::string xftDpi = ReadXftDpi();
    return DesktopScaleFactor(std::getenv("GDK_SCALE"), xftDpi.empty() ? nullptr : xftDpi.c_str(),
                              ScreenDotsPerInch());
  }();
  return scale;
}
