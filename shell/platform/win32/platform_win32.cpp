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
// procedure below turns the messages it acts on into them and leaves
// every other message (painting, system keys, the menu's own keys, other
// mouse buttons) to the default procedure.
#include <windows.h>
// After windows.h, which it needs.
#include <mmsystem.h>
#include <windowsx.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "shell/files/file_names.h"
#include "shell/platform/extension_list.h"
#include "shell/platform/gl.h"
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
  return DeliverPointer(MessageKind::PointerDown, button, lParam);
}

LRESULT ReleasePointer(PointerButton button, WPARAM flags, LPARAM lParam) {
  const LRESULT result = DeliverPointer(MessageKind::PointerUp, button, lParam);
  if (ButtonsHeld(flags) == 0) ReleaseCapture();
  return result;
}

// Only moves with a button held after a press in the window mean anything;
// the others are not passed on.
LRESULT MovePointer(HWND window, WPARAM flags, LPARAM lParam) {
  const uint32_t buttons = ButtonsHeld(flags);
  if (buttons == 0 || GetCapture() != window) return 0;
  return DeliverPointer(MessageKind::PointerMove, buttons, lParam);
}

// The pointer was taken away (another window, the system): the buttons
// count as released.
LRESULT LosePointer() {
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
      return reinterpret_cast<HWND>(lParam) == window ? 0 : LosePointer();
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

// The resource languages the program may show, best first: the user's UI
// language itself, another variant of it, US English, any other.
struct LanguageChoice {
  LANGID wanted;
  LANGID best;
  int rank;  // -1 while none is found
};

constexpr LANGID kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

int LanguageRank(LANGID language, LANGID wanted) {
  if (language == wanted) return 3;
  if (PRIMARYLANGID(language) == PRIMARYLANGID(wanted)) return 2;
  return language == kEnglish ? 1 : 0;
}

BOOL CALLBACK RankLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR param) {
  auto* choice = reinterpret_cast<LanguageChoice*>(param);
  const int rank = LanguageRank(language, choice->wanted);
  if (rank > choice->rank) *choice = LanguageChoice{choice->wanted, language, rank};
  return TRUE;
}

// The data of resource `name` of `type` in the language that suits the user
// best (LanguageChoice), or null when the program has no such resource.
// Windows' own choice (LoadMenu, LoadString) goes by the thread's language
// and falls back on the neutral one; the program picks itself.
const void* LocalizedResource(LPCSTR type, LPCSTR name, DWORD* size) {
  LanguageChoice choice{GetUserDefaultUILanguage(), 0, -1};
  EnumResourceLanguagesA(Program.instance, type, name, RankLanguage,
                         reinterpret_cast<LONG_PTR>(&choice));
  if (choice.rank < 0) return nullptr;
  const HRSRC found = FindResourceExA(Program.instance, type, name, choice.best);
  const HGLOBAL loaded = found != nullptr ? LoadResource(Program.instance, found) : nullptr;
  if (loaded == nullptr) return nullptr;
  *size = SizeofResource(Program.instance, found);
  return LockResource(loaded);
}

HMENU LoadLocalizedMenu(uint32_t id) {
  DWORD size = 0;
  const void* menu = LocalizedResource(RT_MENU, MAKEINTRESOURCEA(id), &size);
  return menu != nullptr ? LoadMenuIndirectW(menu) : nullptr;
}

// String `id` of the string table, UTF-8; empty when there is none. The
// table is stored in blocks of 16 strings, block id / 16 + 1 holding string
// id; each string is its length in UTF-16 units, then the units.
std::string LoadLocalizedString(uint32_t id) {
  constexpr uint32_t kStringsPerBlock = 16;
  DWORD size = 0;
  const auto* units = static_cast<const WCHAR*>(
      LocalizedResource(RT_STRING, MAKEINTRESOURCEA(id / kStringsPerBlock + 1), &size));
  if (units == nullptr) return "";
  const WCHAR* end = units + size / sizeof(WCHAR);
  for (uint32_t skip = id % kStringsPerBlock; skip > 0 && units < end; --skip) {
    units += 1 + *units;
  }
  if (units >= end || *units == 0 || units + 1 + *units > end) return "";
  return Utf8FromWide(std::wstring(units + 1, *units).c_str());
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

// How far `list` moves the raster position along x, run once from the
// origin with every buffer write off. False when OpenGL cannot tell (the
// raster position is not valid).
bool ListAdvance(GLuint list, GLfloat* advance) {
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
  *advance = after[0] - before[0];
  return valid != GL_FALSE;
}

// A character as GDI draws it with TextOutA in the window's font: the ink
// of each pixel, 0 (none) to 255 (full), rows top first; all 0 where GDI
// cannot draw it. The cell leaves
// `pad` pixels around the font's largest glyph for overhangs; the text's
// origin is `pad` pixels in, on the baseline `baseline` rows from the top.
struct GlyphPicture {
  int width = 0;
  int height = 0;
  int pad = 0;
  int baseline = 0;
  std::vector<uint8_t> ink;
};

// Draws `character` white on black into a DIB of `bitsPerPixel` bits: 1
// gives GDI's unsmoothed glyph, the bitmap wglUseFontBitmapsA compiles too;
// 32 gives what GDI draws on the screen, smoothed where the font and the
// system settings smooth text.
GlyphPicture DrawWithGdi(HDC windowDC, UINT character, int bitsPerPixel) {
  TEXTMETRICA metrics = {};
  GetTextMetricsA(windowDC, &metrics);
  GlyphPicture picture;
  picture.pad = static_cast<int>(metrics.tmHeight) / 2;
  picture.width = static_cast<int>(metrics.tmMaxCharWidth) + 2 * picture.pad;
  picture.height = static_cast<int>(metrics.tmHeight) + 2 * picture.pad;
  picture.baseline = picture.pad + static_cast<int>(metrics.tmAscent);
  picture.ink.assign(static_cast<size_t>(picture.width) * picture.height, 0);

  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colours[2];
  } info = {};
  info.header.biSize = sizeof(info.header);
  info.header.biWidth = picture.width;
  info.header.biHeight = -picture.height;  // top row first
  info.header.biPlanes = 1;
  info.header.biBitCount = static_cast<WORD>(bitsPerPixel);
  info.colours[1] = RGBQUAD{255, 255, 255, 0};
  void* bits = nullptr;
  const HDC memory = CreateCompatibleDC(windowDC);
  const HBITMAP bitmap = memory == nullptr
                             ? nullptr
                             : CreateDIBSection(memory, reinterpret_cast<BITMAPINFO*>(&info),
                                                DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap == nullptr) {
    if (memory != nullptr) DeleteDC(memory);
    return picture;
  }
  const HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
  const HGDIOBJ oldFont = SelectObject(memory, GetCurrentObject(windowDC, OBJ_FONT));
  PatBlt(memory, 0, 0, picture.width, picture.height, BLACKNESS);
  SetTextColor(memory, RGB(255, 255, 255));
  SetBkMode(memory, TRANSPARENT);
  SetTextAlign(memory, TA_BASELINE | TA_LEFT);
  const char text = static_cast<char>(character);
  TextOutA(memory, picture.pad, picture.baseline, &text, 1);
  GdiFlush();
  const int stride = (picture.width * bitsPerPixel + 31) / 32 * 4;
  const auto* bytes = static_cast<const uint8_t*>(bits);
  for (int y = 0; y < picture.height; ++y) {
    const uint8_t* row = bytes + static_cast<size_t>(y) * stride;
    for (int x = 0; x < picture.width; ++x) {
      uint8_t ink = 0;
      if (bitsPerPixel == 1) {
        ink = (row[x / 8] & (0x80 >> (x % 8))) != 0 ? 255 : 0;
      } else {
        const uint8_t* pixel = row + x * 4;  // blue, green, red
        ink = static_cast<uint8_t>((pixel[0] + pixel[1] + pixel[2]) / 3);
      }
      picture.ink[static_cast<size_t>(y) * picture.width + x] = ink;
    }
  }
  SelectObject(memory, oldFont);
  SelectObject(memory, oldBitmap);
  DeleteObject(bitmap);
  DeleteDC(memory);
  return picture;
}

// At least half covered: the pixels a one-bit glyph should have.
constexpr uint8_t kHalfInk = 128;

// Whether the unsmoothed glyph lacks a pixel that GDI's own drawing covers
// at least half, or has one that GDI leaves without ink. Small TrueType
// glyphs come out so under Wine (a hyphen as a dot, an "i" without its dot
// in the CJK font at 16 pixels, for instance), where the smoothed drawing
// keeps their shape.
bool FallsShort(const GlyphPicture& unsmoothed, const GlyphPicture& drawn) {
  for (size_t i = 0; i < drawn.ink.size(); ++i) {
    const bool inked = unsmoothed.ink[i] != 0;
    if (inked ? drawn.ink[i] == 0 : drawn.ink[i] >= kHalfInk) return true;
  }
  return false;
}

// Compiles `list` as the pixels of `picture` at least half covered, the
// origin on its baseline, advancing by `advance`. The rows are packed to
// four bytes, which suits the default unpack alignment.
void CompileGlyph(GLuint list, const GlyphPicture& picture, GLfloat advance) {
  const int stride = (picture.width + 31) / 32 * 4;
  std::vector<GLubyte> rows(static_cast<size_t>(stride) * picture.height, 0);
  for (int y = 0; y < picture.height; ++y) {
    GLubyte* row = rows.data() + static_cast<size_t>(picture.height - 1 - y) * stride;
    for (int x = 0; x < picture.width; ++x) {
      if (picture.ink[static_cast<size_t>(y) * picture.width + x] >= kHalfInk) {
        row[x / 8] |= static_cast<GLubyte>(0x80 >> (x % 8));
      }
    }
  }
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
  glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
  glPixelStorei(GL_UNPACK_LSB_FIRST, GL_FALSE);
  glNewList(list, GL_COMPILE);
  glBitmap(picture.width, picture.height, static_cast<GLfloat>(picture.pad),
           static_cast<GLfloat>(picture.height - picture.baseline), advance, 0.0f, rows.data());
  glEndList();
  glPopClientAttrib();
}

// wglUseFontBitmapsA builds each list from the glyph's unsmoothed bitmap.
// Two kinds of list come out wrong, depending on the font (Wine builds the
// lists from GetGlyphOutline, Windows from the font's own bitmaps):
// - A glyph without pixels (the space) is a bitmap without data, which some
//   drivers (Mesa under Wine) compile into a list that does not move the
//   raster position: words run together. So is a glyph Wine could not get
//   (it stops at the first). Such a list is rebuilt from GDI's drawing,
//   advancing by the width GDI gives the character.
// - A glyph whose unsmoothed bitmap falls short of what GDI draws for the
//   character is rebuilt from GDI's drawing, keeping its advance.
// Every other list stays as wglUseFontBitmapsA built it.
void MendFontLists(uint32_t listBase, int firstChar, int count) {
  for (int index = 0; index < count; ++index) {
    const GLuint list = listBase + static_cast<GLuint>(index);
    const UINT character = static_cast<UINT>(firstChar + index);
    GLfloat advance = 0.0f;
    if (!ListAdvance(list, &advance)) continue;
    const bool staysPut = advance == 0.0f;
    if (staysPut) {
      INT width = 0;
      if (GetCharWidth32A(AppWindow.WindowDC, character, character, &width) == FALSE ||
          width <= 0) {
        continue;
      }
      advance = static_cast<GLfloat>(width);
    }
    const GlyphPicture drawn = DrawWithGdi(AppWindow.WindowDC, character, 32);
    if (staysPut || FallsShort(DrawWithGdi(AppWindow.WindowDC, character, 1), drawn)) {
      CompileGlyph(list, drawn, advance);
    }
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

const char* PlatformLocalizedText(uint32_t textId, const char* ownText) {
  static std::map<uint32_t, std::string> loaded;  // the strings read so far, by id
  auto found = loaded.find(textId);
  if (found == loaded.end()) found = loaded.emplace(textId, LoadLocalizedString(textId)).first;
  return found->second.empty() ? ownText : found->second.c_str();
}

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
  const HMENU menuBar = LoadLocalizedMenu(menu.resourceId);
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
bool PlatformBuildFontLists(uint32_t listBase, int firstChar, int count) {
  const bool built = wglUseFontBitmapsA(AppWindow.WindowDC, static_cast<DWORD>(firstChar),
                                        static_cast<DWORD>(count), listBase) != FALSE;
  MendFontLists(listBase, firstChar, count);
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
