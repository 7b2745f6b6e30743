// The Win32 backend's OpenGL context: the window's pixel format, the WGL
// context on its device context, the buffer swap and the swap interval.
#include <windows.h>

#include "shell/platform/extension_list.h"
#include "shell/platform/gl.h"
#include "shell/platform/platform.h"
#include "shell/platform/win32/win32_backend.h"

using win32::AppWindow;

namespace {

// The smallest depth buffer the program's drawing relies on.
constexpr BYTE kMinDepthBits = 16;

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

}  // namespace

bool PlatformCreateContext() {
  if (AppWindow.WindowDC == nullptr || !SetWindowPixelFormat()) return false;
  AppWindow.RenderContext = wglCreateContext(AppWindow.WindowDC);
  if (AppWindow.RenderContext == nullptr) return false;
  if (wglMakeCurrent(AppWindow.WindowDC, AppWindow.RenderContext) != FALSE) return true;
  wglDeleteContext(AppWindow.RenderContext);
  AppWindow.RenderContext = nullptr;
  return false;
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

void PlatformSwapBuffers() { SwapBuffers(AppWindow.WindowDC); }

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
