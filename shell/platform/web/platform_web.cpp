// The browser backend: a canvas with WebGL under emscripten's legacy GL
// emulation (completed by web_gl.cpp), the page's own boxes and menu bar
// (web/page.js), and a queue of window messages that the page's input fills
// and the frame loop serves between frames.
#include "shell/platform/web/platform_web.h"

#include <emscripten.h>

#include <map>
#include <string>
#include <utility>

#include "shell/platform/platform.h"
#include "shell/platform/web/web_gl.h"
#include "shell/platform/window_events.h"

namespace {

WindowProcedure windowProcedure = nullptr;
bool windowExists = false;
bool contextCurrent = false;
bool boxOpen = false;
uint32_t clockMs = 0;

// The quit event keeps its place: events queued after it are never served.
EventQueue<WindowMessage> events;

void (*questionAnswered)(QuestionAnswer) = nullptr;

// --- The page (web/page.js) ----------------------------------------------------

EM_JS(void, PageNotify, (int kind, const char* text), { Page.notify(kind, UTF8ToString(text)); });
EM_JS(bool, PageConfirm, (const char* text, const char* caption),
      { return confirm(UTF8ToString(caption) + "\n\n" + UTF8ToString(text)); });
EM_JS(void, PageAsk, (const char* text, const char* caption),
      { Page.ask(UTF8ToString(text), UTF8ToString(caption)); });
EM_JS(void, PageShowMessage, (const char* text, const char* caption),
      { Page.showMessage(UTF8ToString(text), UTF8ToString(caption)); });
EM_JS(void, PageOpenWindow, (bool fullScreen, const char* title),
      { Page.openWindow(fullScreen, UTF8ToString(title)); });
EM_JS(void, PageAddMenuItem, (uint32_t id, const char* caption),
      { Page.addMenuItem(id, UTF8ToString(caption)); });
EM_JS(void, PageCloseWindow, (), { Page.closeWindow(); });
EM_JS(int, PageCanvasWidth, (), { return Page.canvas.width; });
EM_JS(bool, PageTouchScreen, (), { return Page.touchScreen(); });
EM_JS(int, PageCanvasHeight, (), { return Page.canvas.height; });
EM_JS(int, PageLocalizedSize, (const char* ownText), {
  const text = Page.localized(UTF8ToString(ownText));
  return text ? lengthBytesUTF8(text) + 1 : -1;
});
EM_JS(void, PageCopyLocalized, (const char* ownText, char* out, int size),
      { stringToUTF8(Page.localized(UTF8ToString(ownText)), out, size); });
EM_JS(double, PageContentScale, (), { return window.devicePixelRatio || 1; });
EM_JS(void, PageShowEnded, (), { Page.showEnded(); });
EM_JS(void, PageShowHeld, (), { Page.showHeld(); });
EM_JS(void, PageShowStatus, (const char* text), { Page.showStatus(UTF8ToString(text)); });
EM_JS(bool, PageHasOptionJs, (const char* name), { return Page.hasOption(UTF8ToString(name)); });
EM_JS(long, PageNumberOptionJs, (const char* name),
      { return Page.numberOption(UTF8ToString(name)); });
EM_JS(void, PageSetMapFile, (const char* path), { Page.setMapFile(UTF8ToString(path)); });
EM_JS(bool, PageRestoreMap, (), { return Page.restoreMap(); });
EM_JS(bool, PageStoreMap, (), { return Page.storeMap(); });

}  // namespace

// In web/library_page.js, which brings in the part of the runtime it needs.
extern "C" bool PageCreateContext();

namespace {

void Queue(const WindowMessage& message) {
  // Like a real window, a destroyed one receives no more input.
  if (windowExists) events.Push(message);
}

}  // namespace

// --- Input from the page ---------------------------------------------------------

extern "C" {

EMSCRIPTEN_KEEPALIVE void WebKeyDown(uint32_t key) { Queue({MessageKind::KeyDown, key}); }

EMSCRIPTEN_KEEPALIVE void WebCommand(uint32_t id) { Queue({MessageKind::Command, id}); }

EMSCRIPTEN_KEEPALIVE void WebPointerDown(uint32_t button, int32_t x, int32_t y) {
  Queue({MessageKind::PointerDown, button, x, y});
}

EMSCRIPTEN_KEEPALIVE void WebPointerMove(uint32_t buttons, int32_t x, int32_t y) {
  Queue({MessageKind::PointerMove, buttons, x, y});
}

EMSCRIPTEN_KEEPALIVE void WebPointerUp(uint32_t button, int32_t x, int32_t y) {
  Queue({MessageKind::PointerUp, button, x, y});
}

EMSCRIPTEN_KEEPALIVE void WebSize() { Queue({MessageKind::Size, 0}); }

EMSCRIPTEN_KEEPALIVE void WebMessageClosed() { boxOpen = false; }

EMSCRIPTEN_KEEPALIVE void WebQuestionAnswered(bool ok) {
  boxOpen = false;
  if (questionAnswered == nullptr) return;
  questionAnswered(ok ? QuestionAnswer::Ok : QuestionAnswer::Cancel);
}

}  // extern "C"

namespace web {

void SetClock(uint32_t milliseconds) { clockMs = milliseconds; }

bool BoxOpen() { return boxOpen; }

void AskOkCancel(const char* text, const char* caption, void (*answered)(QuestionAnswer)) {
  questionAnswered = answered;
  boxOpen = true;
  PageAsk(text, caption);
}

void QueueKeyDown(uint32_t key) { Queue({MessageKind::KeyDown, key}); }

bool PageHasOption(const char* name) { return PageHasOptionJs(name); }

long PageNumberOption(const char* name) { return PageNumberOptionJs(name); }

void SetMapFile(const char* path) { PageSetMapFile(path); }

bool RestoreStoredMap() { return PageRestoreMap(); }

bool StoreMap() { return PageStoreMap(); }

void ShowEnded() { PageShowEnded(); }

void ShowHeld() { PageShowHeld(); }

void ShowStatus(const char* text) { PageShowStatus(text); }

}  // namespace web

// --- The seam ----------------------------------------------------------------------

bool PlatformOpen(const PlatformSetup& setup, const char** /*error: a page always opens*/) {
  windowProcedure = setup.windowProcedure;
  return true;
}

void PlatformNotify(NoticeKind kind, const char* text) { PageNotify(static_cast<int>(kind), text); }

// The page shows notices in lines of its own, in a proportional font.
bool PlatformNotifiesInBoxes() { return true; }

// The page's language (web/page.js) picks the catalog, the desktop's own,
// built in. Each text found is kept for the rest of the run.
const char* PlatformLocalizedText(uint32_t, const char* ownText) {
  static std::map<std::string, std::string> found;
  const auto known = found.find(ownText);
  if (known != found.end()) return known->second.c_str();
  const int size = PageLocalizedSize(ownText);
  if (size < 0) return ownText;
  std::string text(static_cast<size_t>(size), '\0');
  PageCopyLocalized(ownText, text.data(), size);
  text.resize(static_cast<size_t>(size - 1));
  return found.emplace(ownText, std::move(text)).first->second.c_str();
}

// The browser's start asks through web::AskOkCancel, before the program
// starts; a question asked while it runs gets the browser's own blocking box.
QuestionAnswer PlatformAskOkCancel(const char* text, const char* caption) {
  return PageConfirm(text, caption) ? QuestionAnswer::Ok : QuestionAnswer::Cancel;
}

// The page's box cannot block: until it is closed, no event is served and
// no frame runs (web::BoxOpen), which is what a modal box means here.
void PlatformShowMessage(const char* text, const char* caption) {
  boxOpen = true;
  PageShowMessage(text, caption);
}

namespace {

bool OpenWindow(const char* title, bool fullScreen) {
  windowExists = true;
  PageOpenWindow(fullScreen, title);
  SendWindowOpened(windowProcedure);
  return true;
}

}  // namespace

// The canvas covers the browser's page (and the screen, once the browser is
// full screen); the class name and show command mean nothing to a page.
bool PlatformCreateFullScreenWindow(const char* /*className*/, const char* title,
                                    int /*showCommand*/) {
  return OpenWindow(title, true);
}

// The canvas is the window's drawing area, 420 x 420 CSS pixels (less on a
// narrow screen), its drawing buffer that times the device's pixel ratio;
// the menu bar stands above it as the page's buttons.
bool PlatformCreateFramedWindow(const char* /*className*/, const char* title, int /*showCommand*/,
                                int /*x*/, int /*y*/, int /*width*/, int /*height*/,
                                const MenuBar& menu) {
  for (int i = 0; i < menu.itemCount; ++i) PageAddMenuItem(menu.items[i].id, menu.items[i].caption);
  return OpenWindow(title, false);
}

bool PlatformCreateContext() {
  if (!windowExists || !PageCreateContext()) return false;
  contextCurrent = true;
  WebGlStart();
  return true;
}

// A page has no bitmap font of its own: the text code draws its embedded one.
bool PlatformBuildFontLists(uint32_t, int, int) { return false; }

void PlatformDestroyContext() {
  if (contextCurrent) WebGlStop();
  contextCurrent = false;
}

bool PlatformClientSize(int* width, int* height) {
  if (!windowExists || !contextCurrent) return false;
  *width = PageCanvasWidth();
  *height = PageCanvasHeight();
  return true;
}

// The browser shows what was drawn once the animation frame's callback
// returns.
void PlatformSwapBuffers() {}

void PlatformDestroyWindow() {
  if (!windowExists) return;
  windowExists = false;
  PageCloseWindow();
  windowProcedure(WindowMessage{MessageKind::Destroy, 0});
}

void PlatformPostQuit(int exitCode) { events.PostQuit(exitCode); }

uint32_t PlatformTickCount() { return clockMs; }

bool PlatformEventPending() { return !boxOpen && events.Pending(); }

bool PlatformDispatchEvent(int* exitCode) {
  WindowMessage message{MessageKind::Create, 0};
  if (!events.Take(&message, exitCode)) {
    // The events behind the quit event go with the run: a program started
    // again on the page begins with none.
    events = EventQueue<WindowMessage>();
    return false;
  }
  windowProcedure(message);
  return true;
}

// Events come from the browser between two animation frames, never while
// the program runs; the browser's start never waits here.
void PlatformWaitEvent() {}

// The browser calls the frame loop's parts once per animation frame and runs
// a frame only when it is due, so nothing ever waits for a frame here.
bool PlatformWaitEventTimeout(uint32_t) { return PlatformEventPending(); }

// Animation frames already follow the display's refresh.
bool PlatformSyncSwapsToRefresh() { return true; }

// A hidden page gets no animation frames: the browser stops drawing itself.
bool PlatformWindowOnScreen() { return true; }

// A touch screen gets the page's Step and Back buttons instead of key help.
bool PlatformHasKeyboard() { return !PageTouchScreen(); }

// The browser's device pixel ratio: the canvas's drawing buffer has that
// many pixels to each CSS pixel of its size.
float PlatformContentScale() {
  return windowExists ? static_cast<float>(PageContentScale()) : 1.0f;
}
