// The FLTK backend's windows: the full-screen window and the framed window
// with its menu bar, their OpenGL context, the About box's owner, the window
// icons and the content scale.

#include <FL/Fl.H>
#include <FL/Fl_Gl_Window.H>
#include <FL/Fl_Menu_Bar.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/Fl_Window.H>
#include <FL/gl.h>
#include <FL/x.H>
#include <GL/glx.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "shell/platform/app_icon.h"
#include "shell/platform/extension_list.h"
#include "shell/platform/platform.h"
#include "shell/platform/x11/boxes_fltk.h"
#include "shell/platform/x11/fltk_backend.h"
#include "shell/platform/x11/window_manager.h"

namespace x11 {

WindowState AppWindow;

bool IsLive() { return AppWindow.top != nullptr && !AppWindow.withdrawn; }

}  // namespace x11

using x11::Activate;
using x11::AppWindow;
using x11::FitFrameTo;
using x11::FollowWindowManagerInFltkLoops;
using x11::GlView;
using x11::IsLive;
using x11::OnMenuItem;
using x11::OnWindowCallback;
using x11::Procedure;
using x11::Send;
using x11::WatchSight;
using x11::WindowState;

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

bool HasContext() { return AppWindow.view != nullptr && AppWindow.view->context() != nullptr; }

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

// The whole factor of ScreenScale, by which the program grows its windows,
// menu and boxes too.
float PlatformContentScale() {
  return AppWindow.top != nullptr ? static_cast<float>(ScreenScale()) : 1.0f;
}
