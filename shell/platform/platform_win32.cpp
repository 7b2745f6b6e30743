// The platform seam on Windows: Win32 windows and messages, WGL contexts.
//
// Implements: every call of platform.h. Both window creators register the
// one window class; the context is WGL on the window's device context; the
// loop's calls are the thread's message queue; the clock is GetTickCount.
//
// Differs from the other backends:
// - A GUI program has no console: every notice is a message box (caption
//   "Pathwick"), the usage text and the version included.
// - Text is drawn in the system font, the default font of the window's
//   device context (the program never selects one), not the embedded 6x13
//   font.
// - The framed window's menu bar is loaded from the program's resources
//   (menu 101, MenuBar::resourceId); MenuBar::items is not read.
// - The show command, the instance and the default placement are Win32's
//   own, used as given. Key codes are the virtual-key codes themselves.
// - The framed window's size is taken at 96 dpi and scaled to its monitor's
//   setting, also when it moves to another monitor (WM_DPICHANGED).
// - Boxes show their UTF-8 texts through the wide-character calls, so the
//   Chinese texts need no code page; the About box is moved over the window
//   as it opens, since Windows centres a box on the monitor.
//
// Needs: USER32, GDI32, OPENGL32 and WINMM (the timer resolution of waits),
// and the menu resource linked into the program (ui/pathwick.rc).
//
// The program's window procedure sees WindowMessage values; the Win32 window
// procedure below turns the eight messages it acts on into them and leaves
// every other message (painting, system keys, the menu's own keys, other
// mouse buttons) to the default procedure.
#include <windows.h>
// After windows.h, which it needs.
#include <mmsystem.h>
#include <windowsx.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "shell/file_names.h"
#include "shell/gl.h"
#include "shell/platform/extension_list.h"
#include "shell/platform/platform.h"

static_assert(kDefaultPlacement == CW_USEDEFAULT, "the seam's default placement is Win32's");

namespace {

const char kNoticeCaption[] = "Pathwick";

// The smallest depth buffer the program's drawing relies on.
constexpr BYTE kMinDepthBits = 16;

// What PlatformOpen was given.
struct ProgramState {
  HINSTANCE instance = nullptr;
  WindowProcedure procedure = nullptr;
};

ProgramState Program;

// The one window, its device context (taken when the window is shown, kept
// until the context is released) and its OpenGL context.
struct WindowState {
  HWND MainWindow = nullptr;
  HDC WindowDC = nullptr;
  HGLRC RenderContext = nullptr;
  bool framed = false;
};

WindowState AppWindow;

LRESULT Deliver(MessageKind kind, uint32_t param = 0) {
  return Program.procedure(WindowMessage{kind, param});
}

// The scale of the window's monitor in dots per inch, 96 at 100 %. Windows
// 10 (version 1607 on) says it per window; before, the per-monitor aware
// program is system aware and takes the screen's setting.
UINT WindowDpi(HWND window) {
  using GetDpiForWindowCall = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowCall>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
  if (getDpiForWindow != nullptr) {
    const UINT dpi = getDpiForWindow(window);
    if (dpi != 0) return dpi;
  }
  const HDC screen = GetDC(nullptr);
  const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSX) : 0;
  if (screen != nullptr) ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

// The framed window's size is given at 96 dpi: on a scaled monitor it grows
// with the scale, as its caption and menu bar do.
void ScaleToWindowDpi(HWND window, int width, int height) {
  const int dpi = static_cast<int>(WindowDpi(window));
  if (dpi == USER_DEFAULT_SCREEN_DPI) return;
  SetWindowPos(window, nullptr, 0, 0, MulDiv(width, dpi, USER_DEFAULT_SCREEN_DPI),
               MulDiv(height, dpi, USER_DEFAULT_SCREEN_DPI),
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Moved to a monitor of another scale, the framed window takes the
// rectangle Windows suggests for it there. The full-screen window keeps the
// screen it covers.
void FollowDpiChange(HWND window, const RECT& suggested) {
  if (!AppWindow.framed) return;
  SetWindowPos(window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

// A mouse button pressed in the client area, at the client coordinates of
// `lParam`.
LRESULT DeliverPointer(PointerButton button, LPARAM lParam) {
  return Program.procedure(
      WindowMessage{MessageKind::PointerDown, button, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
}

LRESULT CALLBACK Win32WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // WM_CREATE comes from inside CreateWindowExA, before it returns the handle.
  if (AppWindow.MainWindow == nullptr) AppWindow.MainWindow = window;
  switch (message) {
    case WM_CREATE:
      return Deliver(MessageKind::Create);
    case WM_SIZE:
      return Deliver(MessageKind::Size);
    case WM_CLOSE:
      return Deliver(MessageKind::Close);
    case WM_DESTROY:
      return Deliver(MessageKind::Destroy);
    case WM_KEYDOWN:
      return Deliver(MessageKind::KeyDown, static_cast<uint32_t>(wParam));
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      return DeliverPointer(message == WM_LBUTTONDOWN ? PointerLeft : PointerRight, lParam);
    case WM_COMMAND:
      // The whole of the 32 bits: only a menu selection (notification code 0
      // in the high word) can match an item id.
      return Deliver(MessageKind::Command, static_cast<uint32_t>(wParam));
    case WM_DPICHANGED:
      FollowDpiChange(window, *reinterpret_cast<const RECT*>(lParam));
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

// Both creators register the class themselves; only one runs per process.
void RegisterWindowClass(const char* className) {
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = CS_VREDRAW | CS_HREDRAW;
  windowClass.lpfnWndProc = Win32WindowProc;
  windowClass.hInstance = Program.instance;
  windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
  windowClass.hIconSm = LoadIconA(nullptr, IDI_APPLICATION);
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
  // No menu resource bears the class name: the class brings no menu.
  windowClass.lpszMenuName = className;
  windowClass.lpszClassName = className;
  RegisterClassExA(&windowClass);
}

// Shows a window just created and takes its device context.
bool Adopt(HWND window, int showCommand) {
  AppWindow.MainWindow = window;
  if (window == nullptr) return false;
  ShowWindow(window, showCommand);
  AppWindow.WindowDC = GetDC(window);
  return true;
}

// Windows puts a message box in the middle of its owner's monitor. While
// this hook is set, the next window activated on the thread (the box, as it
// opens) is moved to the middle of the owner instead, inside the work area.
struct CentringState {
  HHOOK hook = nullptr;
  HWND owner = nullptr;
};

CentringState Centring;

void CentreOver(HWND box, HWND owner) {
  RECT boxRect;
  RECT ownerRect;
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof(monitor);
  if (GetWindowRect(box, &boxRect) == FALSE || GetWindowRect(owner, &ownerRect) == FALSE ||
      GetMonitorInfoA(MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &monitor) == FALSE) {
    return;
  }
  const int width = boxRect.right - boxRect.left;
  const int height = boxRect.bottom - boxRect.top;
  const RECT& area = monitor.rcWork;
  const int x = std::clamp<int>((ownerRect.left + ownerRect.right - width) / 2, area.left,
                                std::max<int>(area.left, area.right - width));
  const int y = std::clamp<int>((ownerRect.top + ownerRect.bottom - height) / 2, area.top,
                                std::max<int>(area.top, area.bottom - height));
  SetWindowPos(box, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void StopCentring() {
  if (Centring.hook != nullptr) UnhookWindowsHookEx(Centring.hook);
  Centring.hook = nullptr;
}

LRESULT CALLBACK CentreOnActivation(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE) {
    CentreOver(reinterpret_cast<HWND>(wParam), Centring.owner);
    StopCentring();
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

void StartCentringOn(HWND owner) {
  Centring.owner = owner;
  Centring.hook = SetWindowsHookExA(WH_CBT, CentreOnActivation, nullptr, GetCurrentThreadId());
}

// A box with an owner opens centred over it, one without in the middle of
// the screen. A quit message already in the queue (the window was destroyed
// before a failure is reported) would end the box's modal loop before anyone
// saw it: it is held back while the box is open, then posted again.
int ShowBox(HWND owner, const char* text, const char* caption, UINT style) {
  MSG quit;
  const bool quitPending = PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
  if (owner != nullptr) StartCentringOn(owner);
  const int answer =
      MessageBoxW(owner, WideFromUtf8(text).c_str(), WideFromUtf8(caption).c_str(), style);
  StopCentring();
  if (quitPending) PostQuitMessage(static_cast<int>(quit.wParam));
  return answer;
}

UINT NoticeIcon(NoticeKind kind) {
  switch (kind) {
    case NoticeKind::Warning:
      return MB_ICONWARNING;
    case NoticeKind::Error:
      return MB_ICONERROR;
    case NoticeKind::Info:
      break;
  }
  return MB_ICONINFORMATION;
}

// A double-buffered RGBA window format with 32 colour and 16 depth bits.
PIXELFORMATDESCRIPTOR RequestedPixelFormat() {
  PIXELFORMATDESCRIPTOR format = {};
  format.nSize = sizeof(format);
  format.nVersion = 1;
  format.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  format.iPixelType = PFD_TYPE_RGBA;
  format.cColorBits = 32;
  format.cDepthBits = 16;
  format.iLayerType = PFD_MAIN_PLANE;
  return format;
}

// Sets the closest format to the requested one on the window, unless that
// closest one has too small a depth buffer. A window's format is set once.
bool SetWindowPixelFormat() {
  const PIXELFORMATDESCRIPTOR requested = RequestedPixelFormat();
  const int index = ChoosePixelFormat(AppWindow.WindowDC, &requested);
  if (index == 0) return false;
  PIXELFORMATDESCRIPTOR chosen = {};
  if (DescribePixelFormat(AppWindow.WindowDC, index, sizeof(chosen), &chosen) == 0 ||
      chosen.cDepthBits < kMinDepthBits) {
    return false;
  }
  return SetPixelFormat(AppWindow.WindowDC, index, &requested) != FALSE;
}

// Whether `list` leaves the raster position where it was, run once from the
// origin with every buffer write off. False when OpenGL cannot tell (the
// raster position is not valid).
bool StaysPut(GLuint list) {
  glPushAttrib(GL_CURRENT_BIT | GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
  glDepthMask(GL_FALSE);
  glRasterPos2i(0, 0);
  GLfloat before[4] = {};
  glGetFloatv(GL_CURRENT_RASTER_POSITION, before);
  glCallList(list);
  GLfloat after[4] = {};
  glGetFloatv(GL_CURRENT_RASTER_POSITION, after);
  GLboolean valid = GL_FALSE;
  glGetBooleanv(GL_CURRENT_RASTER_POSITION_VALID, &valid);
  glPopAttrib();
  return valid != GL_FALSE && after[0] == before[0];
}

// wglUseFontBitmapsA makes a glyph without pixels (the space) a bitmap
// without data, and some drivers (Mesa under Wine) compile that into a list
// that does not move the raster position: words then run together. Which
// glyphs come out so depends on the font (Wine builds the lists from
// GetGlyphOutline, Windows from the font's own bitmaps), so every list is
// run once and one that stays put where GDI gives the character a width is
// made a blank 1 x 1 bitmap advancing by that width. The other lists stay
// as wglUseFontBitmapsA built them.
void MakeEveryGlyphAdvance(uint32_t listBase, int firstChar, int count) {
  // Zero bits draw nothing; four bytes cover any row alignment.
  static const GLubyte kBlankRow[4] = {};
  for (int index = 0; index < count; ++index) {
    const GLuint list = listBase + static_cast<GLuint>(index);
    const UINT character = static_cast<UINT>(firstChar + index);
    INT width = 0;
    if (!StaysPut(list) ||
        GetCharWidth32A(AppWindow.WindowDC, character, character, &width) == FALSE || width <= 0) {
      continue;
    }
    glNewList(list, GL_COMPILE);
    glBitmap(1, 1, 0.0f, 0.0f, static_cast<GLfloat>(width), 0.0f, kBlankRow);
    glEndList();
  }
}

}  // namespace

bool PlatformOpen(const PlatformSetup& setup, const char**) {
  Program.instance = static_cast<HINSTANCE>(setup.instance);
  Program.procedure = setup.windowProcedure;
  return true;
}

// A GUI program has no console: every notice is a box.
void PlatformNotify(NoticeKind kind, const char* text) {
  // Owned by the window while there is one, so that the box shows above it
  // also in full screen, where the window stays on top of everything else.
  // (A destroyed window's handle would make the box fail: none then.)
  const HWND owner = IsWindow(AppWindow.MainWindow) ? AppWindow.MainWindow : nullptr;
  ShowBox(owner, text, kNoticeCaption, MB_OK | NoticeIcon(kind));
}

bool PlatformNotifiesInBoxes() { return true; }

QuestionAnswer PlatformAskOkCancel(const char* text, const char* caption) {
  const int answer = ShowBox(nullptr, text, caption, MB_OKCANCEL);
  return answer == IDCANCEL ? QuestionAnswer::Cancel : QuestionAnswer::Ok;
}

void PlatformShowMessage(const char* text, const char* caption) {
  ShowBox(AppWindow.MainWindow, text, caption, MB_OK);
}

bool PlatformCreateFullScreenWindow(const char* className, const char* title, int showCommand) {
  RegisterWindowClass(className);
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  const HWND window = CreateWindowExA(WS_EX_TOPMOST, className, title, WS_POPUP, 0, 0, width,
                                      height, nullptr, nullptr, Program.instance, nullptr);
  return Adopt(window, showCommand);
}

bool PlatformCreateFramedWindow(const char* className, const char* title, int showCommand, int x,
                                int y, int width, int height, const MenuBar& menu) {
  RegisterWindowClass(className);
  AppWindow.framed = true;
  const HMENU menuBar = LoadMenuA(Program.instance, MAKEINTRESOURCEA(menu.resourceId));
  const HWND window = CreateWindowExA(0, className, title, WS_OVERLAPPEDWINDOW, x, y, width, height,
                                      nullptr, menuBar, Program.instance, nullptr);
  // A menu is freed with the window it is attached to; this one never was.
  if (window == nullptr && menuBar != nullptr) DestroyMenu(menuBar);
  if (window != nullptr && width != CW_USEDEFAULT) ScaleToWindowDpi(window, width, height);
  return Adopt(window, showCommand);
}

bool PlatformCreateContext() {
  if (AppWindow.WindowDC == nullptr || !SetWindowPixelFormat()) return false;
  AppWindow.RenderContext = wglCreateContext(AppWindow.WindowDC);
  if (AppWindow.RenderContext == nullptr) return false;
  if (wglMakeCurrent(AppWindow.WindowDC, AppWindow.RenderContext) != FALSE) return true;
  wglDeleteContext(AppWindow.RenderContext);
  AppWindow.RenderContext = nullptr;
  return false;
}

// The glyphs of the device context's default font: none is ever selected.
// Wine builds the lists glyph by glyph and stops at a glyph it cannot get;
// a list it did not build stays put too, and so advances blank.
bool PlatformBuildFontLists(uint32_t listBase, int firstChar, int count) {
  const bool built = wglUseFontBitmapsA(AppWindow.WindowDC, static_cast<DWORD>(firstChar),
                                        static_cast<DWORD>(count), listBase) != FALSE;
  MakeEveryGlyphAdvance(listBase, firstChar, count);
  return built;
}

// The window is usually destroyed by now; its handle still names the device
// context to release.
void PlatformDestroyContext() {
  if (AppWindow.RenderContext != nullptr) {
    wglMakeCurrent(AppWindow.WindowDC, nullptr);
    wglDeleteContext(AppWindow.RenderContext);
    AppWindow.RenderContext = nullptr;
  }
  if (AppWindow.WindowDC != nullptr) ReleaseDC(AppWindow.MainWindow, AppWindow.WindowDC);
  AppWindow.WindowDC = nullptr;
}

bool PlatformClientSize(int* width, int* height) {
  RECT client;
  if (AppWindow.MainWindow == nullptr || wglGetCurrentContext() == nullptr ||
      GetClientRect(AppWindow.MainWindow, &client) == FALSE) {
    return false;
  }
  *width = client.right - client.left;
  *height = client.bottom - client.top;
  return true;
}

void PlatformSwapBuffers() { SwapBuffers(AppWindow.WindowDC); }

void PlatformDestroyWindow() { DestroyWindow(AppWindow.MainWindow); }

void PlatformPostQuit(int exitCode) { PostQuitMessage(exitCode); }

uint32_t PlatformTickCount() { return GetTickCount(); }

bool PlatformEventPending() {
  MSG message;
  return PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE) != FALSE;
}

bool PlatformDispatchEvent(int* exitCode) {
  MSG message;
  const BOOL result = GetMessageA(&message, nullptr, 0, 0);
  if (result == 0) {
    *exitCode = static_cast<int>(message.wParam);
    return false;
  }
  // -1 is an error, with nothing in the record to dispatch.
  if (result == -1) return true;
  // There is no accelerator table, so nothing is consumed here; a table
  // added later would take its keys before translation.
  if (TranslateAcceleratorA(AppWindow.MainWindow, nullptr, &message) != 0) return true;
  TranslateMessage(&message);
  DispatchMessageA(&message);
  return true;
}

void PlatformWaitEvent() { WaitMessage(); }

bool PlatformWaitEventTimeout(uint32_t timeoutMs) {
  // Timed waits end on the system's timer tick, 15.6 ms by default: at 1 ms
  // they end close to their time. Asked for the wait only, since a finer
  // timer costs power while it is set.
  timeBeginPeriod(1);
  // MWMO_INPUTAVAILABLE: also messages that were already seen (by the loop's
  // PeekMessage) but not taken end the wait at once.
  const DWORD result =
      MsgWaitForMultipleObjectsEx(0, nullptr, timeoutMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  timeEndPeriod(1);
  return result == WAIT_OBJECT_0;
}

bool PlatformSyncSwapsToRefresh() {
  if (wglGetCurrentContext() == nullptr) return false;
  // The WGL extensions are listed by wglGetExtensionsStringARB (or _EXT);
  // old drivers list them among OpenGL's own.
  using ExtensionsArb = const char*(WINAPI*)(HDC);
  using ExtensionsExt = const char*(WINAPI*)();
  using SwapInterval = BOOL(WINAPI*)(int);
  const auto address = [](const char* name) {
    return reinterpret_cast<void*>(wglGetProcAddress(name));
  };
  const char* wglExtensions = nullptr;
  if (const auto arb = reinterpret_cast<ExtensionsArb>(address("wglGetExtensionsStringARB"))) {
    wglExtensions = arb(AppWindow.WindowDC);
  } else if (const auto ext =
                 reinterpret_cast<ExtensionsExt>(address("wglGetExtensionsStringEXT"))) {
    wglExtensions = ext();
  }
  const char* glExtensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  if (!ListsExtension(wglExtensions, "WGL_EXT_swap_control") &&
      !ListsExtension(glExtensions, "WGL_EXT_swap_control")) {
    return false;
  }
  const auto setInterval = reinterpret_cast<SwapInterval>(address("wglSwapIntervalEXT"));
  return setInterval != nullptr && setInterval(1) != FALSE;
}

// Minimized, hidden, or (where the desktop does not compose windows, which
// Windows 8 on always does) with no visible pixel in its device context.
bool PlatformWindowOnScreen() {
  const HWND window = AppWindow.MainWindow;
  if (window == nullptr || IsWindow(window) == FALSE) return true;
  if (IsIconic(window) != FALSE || IsWindowVisible(window) == FALSE) return false;
  RECT visible;
  return AppWindow.WindowDC == nullptr || GetClipBox(AppWindow.WindowDC, &visible) != NULLREGION;
}
