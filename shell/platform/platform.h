// The platform seam: everything the program needs from a window system.
//
// Each backend implements these functions, in a folder of its own below this
// one: x11/ (X11 through FLTK: window_fltk.cpp, events_fltk.cpp and
// follow_wm_fltk.cpp sharing fltk_backend.h, with boxes_fltk.cpp,
// window_manager.cpp, screen_scale.cpp and the gettext catalogs of
// gettext_catalog.cpp and catalog_languages.cpp), win32/ (Win32 and WGL),
// offscreen/ (OSMesa with no display, a clock and an event queue that its
// caller drives; pathwick-record, the tests and the benchmark run on it) and
// web/ (a web page with WebGL, where nothing may block: the browser runs the
// frame loop's parts once per display refresh, and the modal boxes hold the
// events and frames back until they close). The pieces that several backends
// share sit beside this header: the OpenGL header (gl.h), the icon
// (app_icon.h, drawn with pixel_hash.h), the reading of OpenGL extension
// lists (extension_list.h), and the event queue in which the quit keeps its
// place with the messages of a window that opens (window_events.h). The
// text in the picture, its embedded fonts included, is above the seam
// (shell/text/); a backend with a font of its own offers it through
// PlatformBuildFontLists.
// Everything above the seam (start-up, the frame loop and its pacing, frame
// composition, the command table) is plain C++ and OpenGL, and a backend
// knows nothing of it beyond this header.
//
// Contract, for every backend:
// - All calls come from the one thread that calls PlatformOpen.
// - Window events reach the program as WindowMessage values passed to the
//   window procedure given to PlatformOpen, on this thread, from inside
//   PlatformDispatchEvent (one event per call), the window creators or
//   PlatformDestroyWindow; never during a frame.
// - Closing the window by any means other than PlatformDestroyWindow arrives
//   as MessageKind::Close; destroying it arrives as MessageKind::Destroy, and
//   afterwards the window receives no input.
// - Key-down events arrive as MessageKind::KeyDown with the key codes below,
//   repeating while a key is held; keys pressed with Alt held are left to the
//   window system (its menu and close keys). Menu selections arrive as
//   MessageKind::Command with the item's id. A size change of the drawing
//   area arrives as MessageKind::Size.
// - A press of the left or right mouse button in the drawing area arrives as
//   MessageKind::PointerDown with the button (PointerButton) and the point
//   in pixels of the drawing area, from its top-left corner, y downward: the
//   same pixels that PlatformClientSize counts. Other buttons send nothing.
// - While the left or right button is held after such a press, every move
//   of the pointer arrives as MessageKind::PointerMove with the buttons held
//   (PointerButton bits, or-ed) and the point, counted as for PointerDown;
//   also outside the drawing area (points beyond its edges, negative ones
//   included), since the window keeps the pointer while a button is held.
//   Moves without either button held are not sent at all: they would cost
//   an event each and mean nothing to the program. Releasing the left or
//   right button arrives as MessageKind::PointerUp with the button and the
//   point. A backend whose window system gives moves with the buttons as
//   flags (Win32's WM_MOUSEMOVE, a browser's pointer events) sends only the
//   moves with a button flag set; one whose system tells drags apart from
//   plain moves (FLTK's FL_DRAG) sends the drags.
// - A click in the window gives it the keyboard focus (a full-screen window
//   has no frame to click instead).
// - Once the quit event is posted, events queued behind it are never handled.
//
// Windows-shaped parts. The program began as a Win32 program, and a few
// values still cross the seam in Win32's terms; a backend for another
// window system maps or ignores them:
// - the show command (`showCommand`, kShowNormal): Win32's SW_* value for
//   how the first window is shown; the FLTK backend ignores it.
// - the instance (PlatformSetup::instance): the HINSTANCE that WinMain
//   receives, which Win32 needs for its window class and resources; null
//   elsewhere.
// - the resource id (MenuBar::resourceId): the menu resource that the Win32
//   backend loads; the others build the menu from MenuBar::items.
// - the text id of PlatformLocalizedText: the string's id in the Win32
//   string table; the others look the text up by its own wording.
// - the default placement (kDefaultPlacement): Win32's CW_USEDEFAULT,
//   asking the window system to place and size the window.
// - the virtual-key numbering (VirtualKey): Win32's VK_* codes, which the
//   Win32 backend passes on as they come and the others translate to.
#pragma once

#include <cstdint>

// Keys that the program acts on, numbered as virtual-key codes.
enum VirtualKey : uint32_t {
  KeyBackspace = 8,
  KeyReturn = 13,
  KeyShift = 16,    // either Shift key
  KeyControl = 17,  // either Ctrl key
  KeyEscape = 27,
  KeySpace = 32,
  KeyEnd = 35,
  KeyUp = 38,
  KeyDown = 40,
  KeyN = 78,  // the letter N, with or without Shift
  KeyF1 = 112,
};

// The mouse buttons that the program acts on; as bits, the buttons held
// during a PointerMove.
enum PointerButton : uint32_t {
  PointerLeft = 1,
  PointerRight = 2,
};

enum class MessageKind {
  Create,
  Size,
  Close,
  Destroy,
  KeyDown,
  Command,
  PointerDown,
  PointerMove,
  PointerUp,
};

struct WindowMessage {
  MessageKind kind;
  // The key code of KeyDown, the item id of Command, the PointerButton of
  // PointerDown and PointerUp, the PointerButton bits held of PointerMove,
  // else 0.
  uint32_t param;
  // Where the pointer is, for PointerDown, PointerMove and PointerUp: in
  // pixels of the drawing area from its top-left corner (y grows downward);
  // 0 for the other kinds.
  int32_t x = 0;
  int32_t y = 0;
};

// Handles one message of the program's window; answers 1.
using WindowProcedure = int (*)(const WindowMessage& message);

// How the first window is shown when the process was given no other wish
// (the show command of a normally started Windows program).
constexpr int kShowNormal = 1;

// Given as the position and size of a framed window, asks for the platform's
// default position and size (the value of Win32's CW_USEDEFAULT).
constexpr int kDefaultPlacement = INT32_MIN;

// One item of the flat menu bar: its command id and its UTF-8 caption.
struct MenuItem {
  uint32_t id;
  const char* caption;
};

// The framed window's menu bar. A backend with menu resources loads
// `resourceId` (built from the same items); the others build it from `items`.
struct MenuBar {
  uint32_t resourceId;
  const MenuItem* items;
  int itemCount;
};

enum class QuestionAnswer { Ok, Cancel };

enum class NoticeKind { Info, Warning, Error };

// What the backend keeps for the whole run.
struct PlatformSetup {
  void* instance;  // the Windows program instance; null elsewhere
  WindowProcedure windowProcedure;
};

// Connects to the window system. False (with nothing shown) when there is no
// display; `error` then holds a short reason for the user.
bool PlatformOpen(const PlatformSetup& setup, const char** error);

// Tells the user something outside the window: the usage text (Info), a file
// that cannot be read (Warning), why the program cannot run (Error). On a
// console it is one line or block on stdout (Info) or stderr; a program
// without a console shows a box. Works before PlatformOpen. Text is UTF-8.
void PlatformNotify(NoticeKind kind, const char* text);

// True when PlatformNotify shows boxes (in a proportional font, where texts
// read best in short lines), false when it prints to a console. Works before
// PlatformOpen.
bool PlatformNotifiesInBoxes();

// The program's own text `ownText` (UTF-8) in the user's language, from the
// platform's message catalog, or `ownText` itself where the catalog has no
// translation for it. `textId` names the text in the program's resources: a
// string of the Win32 string table (TextId, shell/text/text_ids.h), or a menu
// item's id for the item's caption. The Win32 backend reads its string
// table, and loads the menu resource, in the user's UI language; the FLTK
// backend looks `ownText` up in gettext's catalogs (LANGUAGE, LC_ALL,
// LC_MESSAGES, LANG); the offscreen backend in a table its caller fills; the
// browser backend in the same catalogs, built in, for the page's language.
// The result lives as long as the process.
const char* PlatformLocalizedText(uint32_t textId, const char* ownText);

// A modal OK/Cancel question with no owner window and no icon, centred on
// the screen. Cancel, Escape and closing the box answer Cancel. UTF-8 texts.
QuestionAnswer PlatformAskOkCancel(const char* text, const char* caption);

// A modal box with the OK button only and no icon, owned by the window and
// centred over it (frame on frame). When it closes, the keyboard focus goes
// back to the window. Texts are UTF-8.
void PlatformShowMessage(const char* text, const char* caption);

// A borderless window exactly the screen's size at its top-left corner,
// always on top (full screen, above panels and task bars, where the window
// system has such a state), with keyboard focus and no menu, shown as
// `showCommand` asks. `className` names the window class (the X class on
// X11). It is listed in task lists and window switchers like any
// application window, and gets the keyboard back when another window closes
// over it. False when no window could be made.
bool PlatformCreateFullScreenWindow(const char* className, const char* title, int showCommand);

// A framed window with a title bar and `menu`, whose outer frame
// (decorations included) is `width` x `height` at screen position (x, y).
// The size counts pixels at 96 dots per inch: where the window system scales
// windows (Windows at a higher DPI setting) it grows with the window's scale
// and follows it to a monitor of another scale. A frame that the window
// manager reports only later still gets the window fitted to it. With all
// four kDefaultPlacement the platform chooses position and size. False when
// no window could be made.
bool PlatformCreateFramedWindow(const char* className, const char* title, int showCommand, int x,
                                int y, int width, int height, const MenuBar& menu);

// Creates the window's double-buffered RGBA OpenGL context with a depth
// buffer of at least 16 bits and makes it current. False when it cannot.
bool PlatformCreateContext();

// The window system's own bitmap font, for a backend whose picture text is
// drawn in it (Win32: the window's GDI font): fills the `count` display
// lists from `listBase` on with the glyphs of the character codes from
// `firstChar` on, each list drawing its glyph at the raster position and
// advancing it by the glyph's width, and answers true. Needs the current
// context. False where the backend has no font of its own (X11, offscreen,
// browser) or could not make its glyphs: the text code above the seam
// (shell/text/bitmap_text.h) then fills the lists with its embedded font of
// the size that PlatformContentScale asks for.
bool PlatformBuildFontLists(uint32_t listBase, int firstChar, int count);

// Releases the context and everything tied to the window's drawing; none is
// current afterwards.
void PlatformDestroyContext();

// The size of the drawing area in pixels. False when there is no window or
// no current context; the outputs are then not written.
bool PlatformClientSize(int* width, int* height);

// Shows the frame just drawn.
void PlatformSwapBuffers();

// Destroys the window; the window procedure receives MessageKind::Destroy.
void PlatformDestroyWindow();

// Queues the quit event: PlatformDispatchEvent reports it once the events
// queued before it are dispatched.
void PlatformPostQuit(int exitCode);

// A 32-bit millisecond counter from a steady clock; wraps modulo 2^32.
uint32_t PlatformTickCount();

// True when an event (the quit event included) is waiting. Never blocks.
bool PlatformEventPending();

// Takes the next pending event and dispatches it. Returns false, with the
// exit code in `exitCode`, when that event is the quit event.
bool PlatformDispatchEvent(int* exitCode);

// Blocks until an event is waiting. (The browser backend, where nothing may
// block, returns at once.)
void PlatformWaitEvent();

// Blocks until an event is waiting or `timeoutMs` milliseconds have passed,
// whichever comes first; true when an event is waiting. The wait may end a
// little late, by the scheduler's latency, and without an event it may end
// early (the X connection's backend wakes for data that is no event), so a
// caller reads its clock after a wait that returned false. (The browser
// backend returns at once, saying whether an event is waiting.)
bool PlatformWaitEventTimeout(uint32_t timeoutMs);

// Asks the driver to show every swapped frame at the display's next refresh
// and no sooner (a swap interval of 1), so that drawing as fast as possible
// draws at the refresh rate. Needs the current context. False when the
// driver offers no way to ask; nothing changes then.
bool PlatformSyncSwapsToRefresh();

// False while nothing drawn in the window could be seen: the window is
// minimized, or (where the window system tells) entirely covered by other
// windows. The change arrives as an event, so a loop that blocks in
// PlatformWaitEvent while it is false wakes when the window shows again.
bool PlatformWindowOnScreen();

// How many pixels of the drawing area make one of the window system's
// logical units (a pixel at 96 dots per inch): 1 on an ordinary screen, 2 on
// one of twice the density (an X desktop scaled to 200 %, Windows at 192
// dpi, a browser's devicePixelRatio of 2). The text above the seam picks its
// font size by it. Needs the window; 1 before it exists.
float PlatformContentScale();

// False where the user has no keyboard for the keys the full-screen picture
// lists (a browser on a touch screen, whose page offers buttons for them
// instead): the full-screen window then leaves its key help out. True on the
// desktops.
bool PlatformHasKeyboard();
