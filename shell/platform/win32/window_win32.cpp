// The Win32 backend's window: its class, the two creators, the window
// procedure that turns Win32 messages into WindowMessage values (pointer
// capture included), the per-monitor DPI, and the thread's message loop.
#include <windows.h>
// After windows.h, which they need.
#include <mmsystem.h>
#include <windowsx.h>

#include <cstdint>

#include "shell/platform/gl.h"
#include "shell/platform/platform.h"
#include "shell/platform/win32/win32_backend.h"

static_assert(kDefaultPlacement == CW_USEDEFAULT, "the seam's default placement is Win32's");

namespace win32 {

ProgramState Program;
WindowState AppWindow;

}  // namespace win32

using win32::AppWindow;
using win32::Program;

namespace {

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

// A pointer message at the client coordinates of `lParam`.
LRESULT DeliverPointer(MessageKind kind, uint32_t buttons, LPARAM lParam) {
  return Program.procedure(
      WindowMessage{kind, buttons, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
}

// The PointerButton bits of the buttons that the flags of a mouse message
// say are held.
uint32_t ButtonsHeld(WPARAM flags) {
  return ((flags & MK_LBUTTON) != 0 ? PointerLeft : 0u) |
         ((flags & MK_RBUTTON) != 0 ? PointerRight : 0u);
}

// A press in the client area: the window keeps the pointer until the last
// button is released, so that a drag goes on outside it and its release
// arrives.
LRESULT PressPointer(HWND window, PointerButton button, LPARAM lParam) {
  SetCapture(window);
  AppWindow.holdsPointer = true;
  return DeliverPointer(MessageKind::PointerDown, button, lParam);
}

// The window's own release, once the last button is up, ends the capture
// without counting as a loss: WM_CAPTURECHANGED, which ReleaseCapture sends
// to the window itself, then reports nothing.
LRESULT ReleasePointer(PointerButton button, WPARAM flags, LPARAM lParam) {
  const LRESULT result = DeliverPointer(MessageKind::PointerUp, button, lParam);
  if (ButtonsHeld(flags) == 0) {
    AppWindow.holdsPointer = false;
    ReleaseCapture();
  }
  return result;
}

// Only moves with a button held after a press in the window mean anything;
// the others are not passed on.
LRESULT MovePointer(HWND window, WPARAM flags, LPARAM lParam) {
  const uint32_t buttons = ButtonsHeld(flags);
  if (buttons == 0 || GetCapture() != window) return 0;
  return DeliverPointer(MessageKind::PointerMove, buttons, lParam);
}

// The capture ended while the window held the pointer (another window took
// it, or the system or another part of the program released it): the
// buttons count as released. A capture that passes to the window itself
// (a second press) goes on.
LRESULT LosePointer(HWND window, HWND gaining) {
  if (gaining == window || !AppWindow.holdsPointer) return 0;
  AppWindow.holdsPointer = false;
  Program.procedure(WindowMessage{MessageKind::PointerUp, PointerLeft});
  return Program.procedure(WindowMessage{MessageKind::PointerUp, PointerRight});
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
      return PressPointer(window, PointerLeft, lParam);
    case WM_RBUTTONDOWN:
      return PressPointer(window, PointerRight, lParam);
    case WM_MOUSEMOVE:
      return MovePointer(window, wParam, lParam);
    case WM_LBUTTONUP:
      return ReleasePointer(PointerLeft, wParam, lParam);
    case WM_RBUTTONUP:
      return ReleasePointer(PointerRight, wParam, lParam);
    case WM_CAPTURECHANGED:
      return LosePointer(window, reinterpret_cast<HWND>(lParam));
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

}  // namespace

bool PlatformOpen(const PlatformSetup& setup, const char**) {
  Program.instance = static_cast<HINSTANCE>(setup.instance);
  Program.procedure = setup.windowProcedure;
  return true;
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
  const HMENU menuBar = win32::LoadLocalizedMenu(menu.resourceId);
  const HWND window = CreateWindowExA(0, className, title, WS_OVERLAPPEDWINDOW, x, y, width, height,
                                      nullptr, menuBar, Program.instance, nullptr);
  // A menu is freed with the window it is attached to; this one never was.
  if (window == nullptr && menuBar != nullptr) DestroyMenu(menuBar);
  if (window != nullptr && width != CW_USEDEFAULT) ScaleToWindowDpi(window, width, height);
  return Adopt(window, showCommand);
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

// Minimized, hidden, or (where the desktop does not compose windows, which
// Windows 8 on always does) with no visible pixel in its device context.
bool PlatformHasKeyboard() { return true; }

bool PlatformWindowOnScreen() {
  const HWND window = AppWindow.MainWindow;
  if (window == nullptr || IsWindow(window) == FALSE) return true;
  if (IsIconic(window) != FALSE || IsWindowVisible(window) == FALSE) return false;
  RECT visible;
  return AppWindow.WindowDC == nullptr || GetClipBox(AppWindow.WindowDC, &visible) != NULLREGION;
}

// The window's monitor scale; the text keeps the system font (the Win32 font
// path), which Windows already draws at that scale.
float PlatformContentScale() {
  const HWND window = AppWindow.MainWindow;
  if (window == nullptr || IsWindow(window) == FALSE) return 1.0f;
  return static_cast<float>(WindowDpi(window)) / USER_DEFAULT_SCREEN_DPI;
}
