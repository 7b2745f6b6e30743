// The platform seam on Windows: Win32 windows and messages, WGL contexts.
// Its files, one job each: window_win32.cpp (the window procedure, pointer
// capture, the window creators, the message loop), boxes_win32.cpp (message
// boxes and their centring), wgl_context.cpp (pixel format, WGL context,
// swap interval), glyph_repair.cpp (the font lists and their repair from
// GDI's drawing), resource_language.cpp (the menu and the string table in
// the user's language).
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
//   (menu 101, MenuBar::resourceId); MenuBar::items is not read. The menu
//   and the translated texts (the string table) come in the user's UI
//   language where the program has resources in it (or in another variant
//   of the language: Chinese (Simplified) for any Chinese), else in English.
// - The show command, the instance and the default placement are Win32's
//   own, used as given. Key codes are the virtual-key codes themselves.
// - The framed window's size is taken at 96 dpi and scaled to its monitor's
//   setting, also when it moves to another monitor (WM_DPICHANGED).
// - Boxes show their UTF-8 texts through the wide-character calls, so the
//   Chinese texts need no code page; the About box is moved over the window
//   as it opens, since Windows centres a box on the monitor.
//
// Needs: USER32, GDI32, OPENGL32 and WINMM (the timer resolution of waits),
// and the menu and string resources linked into the program (ui/pathwick.rc).
//
// The program's window procedure sees WindowMessage values; the Win32 window
// procedure (window_win32.cpp) turns the messages it acts on into them and
// leaves every other message (painting, system keys, the menu's own keys,
// other mouse buttons) to the default procedure.
//
// This header holds what the backend's files share: what PlatformOpen was
// given, the one window with its device and OpenGL contexts, and the menu
// loaded in the user's language.
#pragma once

#include <windows.h>

#include <cstdint>

#include "shell/platform/platform.h"

namespace win32 {

// What PlatformOpen was given.
struct ProgramState {
  HINSTANCE instance = nullptr;
  WindowProcedure procedure = nullptr;
};

extern ProgramState Program;

// The one window, its device context (taken when the window is shown, kept
// until the context is released) and its OpenGL context.
struct WindowState {
  HWND MainWindow = nullptr;
  HDC WindowDC = nullptr;
  HGLRC RenderContext = nullptr;
  bool framed = false;
  // The window took the pointer at a press and has not let it go.
  bool holdsPointer = false;
};

extern WindowState AppWindow;

// The menu resource `id` in the user's UI language (resource_language.cpp);
// null when the program has none.
HMENU LoadLocalizedMenu(uint32_t id);

}  // namespace win32
