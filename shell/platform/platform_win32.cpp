// The platform seam on Windows: Win32 windows and messages, WGL contexts.
//
// The program's window procedure sees WindowMessage values; the Win32 window
// procedure below turns the six messages it acts on into them and leaves
// every other message (painting, system keys, the menu's own keys) to the
// default procedure. The program's texts are UTF-8; boxes show them through
// the wide-character calls, so that the Chinese texts need no code page.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "shell/platform/platform.h"

static_assert(kDefaultPlacement == CW_USEDEFAULT, "the seam's default placement is Win32's");

namespace {

const char kNoticeCaption[] = "Pathwick";

// The smallest depth buffer the program's drawing relies on.
constexpr BYTE kMinDepthBits = 16;

// What PlatformOpen was given.
HINSTANCE Instance = nullptr;
WindowProcedure Procedure = nullptr;

// The one window, its device context (taken when the window is shown, kept
// until the context is released) and its OpenGL context.
HWND MainWindow = nullptr;
HDC WindowDC = nullptr;
HGLRC RenderContext = nullptr;

LRESULT Deliver(MessageKind kind, uint32_t param = 0) {
  return Procedure(WindowMessage{kind, param});
}

LRESULT CALLBACK Win32WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // WM_CREATE comes from inside CreateWindowExA, before it returns the handle.
  if (MainWindow == nullptr) MainWindow = window;
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
    case WM_COMMAND:
      // The whole of the 32 bits: only a menu selection (notification code 0
      // in the high word) can match an item id.
      return Deliver(MessageKind::Command, static_cast<uint32_t>(wParam));
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
  windowClass.hInstance = Instance;
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
  MainWindow = window;
  if (window == nullptr) return false;
  ShowWindow(window, showCommand);
  WindowDC = GetDC(window);
  return true;
}

std::wstring Widen(const char* utf8) {
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
  if (length <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8, -1, &wide[0], length);
  wide.resize(static_cast<size_t>(length) - 1);  // drop the terminating NUL
  return wide;
}

// Windows puts a message box in the middle of its owner's monitor. While
// this hook is set, the next window activated on the thread (the box, as it
// opens) is moved to the middle of the owner instead, inside the work area.
HHOOK CentringHook = nullptr;
HWND CentringOwner = nullptr;

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
  if (CentringHook != nullptr) UnhookWindowsHookEx(CentringHook);
  CentringHook = nullptr;
}

LRESULT CALLBACK CentreOnActivation(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE) {
    CentreOver(reinterpret_cast<HWND>(wParam), CentringOwner);
    StopCentring();
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

void StartCentringOn(HWND owner) {
  CentringOwner = owner;
  CentringHook = SetWindowsHookExA(WH_CBT, CentreOnActivation, nullptr, GetCurrentThreadId());
}

// A box with an owner opens centred over it, one without in the middle of
// the screen. A quit message already in the queue (the window was destroyed
// before a failure is reported) would end the box's modal loop before anyone
// saw it: it is held back while the box is open, then posted again.
int ShowBox(HWND owner, const char* text, const char* caption, UINT style) {
  MSG quit;
  const bool quitPending = PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
  if (owner != nullptr) StartCentringOn(owner);
  const int answer = MessageBoxW(owner, Widen(text).c_str(), Widen(caption).c_str(), style);
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
  const int index = ChoosePixelFormat(WindowDC, &requested);
  if (index == 0) return false;
  PIXELFORMATDESCRIPTOR chosen = {};
  if (DescribePixelFormat(WindowDC, index, sizeof(chosen), &chosen) == 0 ||
      chosen.cDepthBits < kMinDepthBits) {
    return false;
  }
  return SetPixelFormat(WindowDC, index, &requested) != FALSE;
}

}  // namespace

bool PlatformOpen(const PlatformSetup& setup, const char**) {
  Instance = static_cast<HINSTANCE>(setup.instance);
  Procedure = setup.windowProcedure;
  return true;
}

// A GUI program has no console: every notice is a box.
void PlatformNotify(NoticeKind kind, const char* text) {
  ShowBox(nullptr, text, kNoticeCaption, MB_OK | NoticeIcon(kind));
}

bool PlatformNotifiesInBoxes() { return true; }

QuestionAnswer PlatformAskOkCancel(const char* text, const char* caption) {
  const int answer = ShowBox(nullptr, text, caption, MB_OKCANCEL);
  return answer == IDCANCEL ? QuestionAnswer::Cancel : QuestionAnswer::Ok;
}

void PlatformShowMessage(const char* text, const char* caption) {
  ShowBox(MainWindow, text, caption, MB_OK);
}

bool PlatformCreateFullScreenWindow(const char* className, const char* title, int showCommand) {
  RegisterWindowClass(className);
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  const HWND window = CreateWindowExA(WS_EX_TOPMOST, className, title, WS_POPUP, 0, 0, width,
                                      height, nullptr, nullptr, Instance, nullptr);
  return Adopt(window, showCommand);
}

bool PlatformCreateFramedWindow(const char* className, const char* title, int showCommand, int x,
                                int y, int width, int height, const MenuBar& menu) {
  RegisterWindowClass(className);
  const HMENU menuBar = LoadMenuA(Instance, MAKEINTRESOURCEA(menu.resourceId));
  const HWND window = CreateWindowExA(0, className, title, WS_OVERLAPPEDWINDOW, x, y, width, height,
                                      nullptr, menuBar, Instance, nullptr);
  // A menu is freed with the window it is attached to; this one never was.
  if (window == nullptr && menuBar != nullptr) DestroyMenu(menuBar);
  return Adopt(window, showCommand);
}

bool PlatformCreateContext() {
  if (WindowDC == nullptr || !SetWindowPixelFormat()) return false;
  RenderContext = wglCreateContext(WindowDC);
  if (RenderContext == nullptr) return false;
  if (wglMakeCurrent(WindowDC, RenderContext) != FALSE) return true;
  wglDeleteContext(RenderContext);
  RenderContext = nullptr;
  return false;
}

// The glyphs of the device context's default font: none is ever selected.
bool PlatformBuildFontLists(uint32_t listBase, int firstChar, int count) {
  return wglUseFontBitmapsA(WindowDC, static_cast<DWORD>(firstChar), static_cast<DWORD>(count),
                            listBase) != FALSE;
}

// The window is usually destroyed by now; its handle still names the device
// context to release.
void PlatformDestroyContext() {
  if (RenderContext != nullptr) {
    wglMakeCurrent(WindowDC, nullptr);
    wglDeleteContext(RenderContext);
    RenderContext = nullptr;
  }
  if (WindowDC != nullptr) ReleaseDC(MainWindow, WindowDC);
  WindowDC = nullptr;
}

bool PlatformClientSize(int* width, int* height) {
  RECT client;
  if (MainWindow == nullptr || wglGetCurrentContext() == nullptr ||
      GetClientRect(MainWindow, &client) == FALSE) {
    return false;
  }
  *width = client.right - client.left;
  *height = client.bottom - client.top;
  return true;
}

void PlatformSwapBuffers() { SwapBuffers(WindowDC); }

void PlatformDestroyWindow() { DestroyWindow(MainWindow); }

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
  if (TranslateAcceleratorA(MainWindow, nullptr, &message) != 0) return true;
  TranslateMessage(&message);
  DispatchMessageA(&message);
  return true;
}

void PlatformWaitEvent() { WaitMessage(); }
