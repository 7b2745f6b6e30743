// The platform seam: everything the program needs from a window system.
//
// One file per backend implements these functions (platform_fltk.cpp for
// Linux/X11, platform_win32.cpp for Windows; the tests link their own dummy
// backend). Everything above the seam (the frame loop, pacing, frame
// composition, the command table) is plain C++ and OpenGL.
//
// Contract, for every backend:
// - All calls come from the one thread that calls PlatformOpen.
// - Window events reach the program as WindowMessage values passed to
//   MainWindowProc (ui/commands.h), on this thread, from inside
//   PlatformDispatchEvent, the window creators, or PlatformDestroyWindow;
//   never during a frame.
// - Closing the window by any means other than PlatformDestroyWindow arrives
//   as MessageKind::Close; destroying it arrives as MessageKind::Destroy.
// - Key-down events arrive as MessageKind::KeyDown with the key codes below,
//   repeating while a key is held; menu selections as MessageKind::Command
//   with the item's id. A size change arrives as MessageKind::Size.
#pragma once

#include <cstdint>

// Keys that the program acts on, numbered as virtual-key codes.
enum VirtualKey : uint32_t {
  KeyReturn = 13,
  KeyShift = 16,    // either Shift key
  KeyControl = 17,  // either Ctrl key
  KeyEscape = 27,
  KeyEnd = 35,
  KeyUp = 38,
  KeyDown = 40,
  KeyF1 = 112,
};

enum class MessageKind { Create, Size, Close, Destroy, KeyDown, Command };

struct WindowMessage {
  MessageKind kind;
  uint32_t param;  // the key code of KeyDown, the item id of Command, else 0
};

// One item of the flat menu bar: its command id and its UTF-8 caption.
struct MenuItem {
  uint32_t id;
  const char* caption;
};

enum class QuestionAnswer { Ok, Cancel };

// Connects to the window system. False (with nothing shown) when there is no
// display; `error` then holds a short reason for the user.
bool PlatformOpen(const char** error);

// A modal OK/Cancel question with no owner window. Cancel, Escape and closing
// the box answer Cancel. Texts are UTF-8.
QuestionAnswer PlatformAskOkCancel(const char* text, const char* caption);

// A modal box with the OK button only, owned by the window. Texts are UTF-8.
void PlatformShowMessage(const char* text, const char* caption);

// A borderless window exactly the screen's size at its top-left corner,
// always on top, with keyboard focus. False when no window could be made.
bool PlatformCreateFullScreenWindow(const char* title);

// A framed window with a title bar and a menu bar of `itemCount` flat items,
// whose outer frame (decorations included) is `width` x `height` at screen
// position (x, y). False when no window could be made.
bool PlatformCreateFramedWindow(const char* title, int x, int y, int width, int height,
                                const MenuItem* items, int itemCount);

// Creates the window's double-buffered RGBA OpenGL context with a depth
// buffer of at least 16 bits and makes it current. False when it cannot.
bool PlatformCreateContext();

// Releases the context; none is current afterwards.
void PlatformDestroyContext();

// The size of the drawing area in pixels. False when there is no window or
// no current context; the outputs are then not written.
bool PlatformClientSize(int* width, int* height);

// Shows the frame just drawn.
void PlatformSwapBuffers();

// Destroys the window; MainWindowProc receives MessageKind::Destroy.
void PlatformDestroyWindow();

// Queues the quit event: once the events before it are dispatched,
// PlatformDispatchEvent reports it with this exit code.
void PlatformPostQuit(int exitCode);

// A 32-bit millisecond counter from a steady clock; wraps modulo 2^32.
uint32_t PlatformTickCount();

// True when an event (the quit event included) is waiting. Never blocks.
bool PlatformEventPending();

// Takes the next pending event and dispatches it. Returns false, with the
// exit code in `exitCode`, when that event is the quit event.
bool PlatformDispatchEvent(int* exitCode);

// Blocks until an event is waiting.
void PlatformWaitEvent();
