#include "shell/platform/offscreen/platform_offscreen.h"

#include <GL/osmesa.h>

#include <chrono>
#include <thread>

namespace offscreen {
namespace {

Platform platform;
OSMesaContext context = nullptr;
std::vector<unsigned char> colourBuffer;

void ReleaseContext() {
  if (context != nullptr) OSMesaDestroyContext(context);
  context = nullptr;
  platform.contextCurrent = false;
}

}  // namespace

Platform& Get() { return platform; }

void Reset() {
  ReleaseContext();
  colourBuffer.clear();
  platform = Platform();
}

namespace {

// Messages of the window go to the procedure given to PlatformOpen; before
// PlatformOpen there is none to take them.
void Send(const WindowMessage& message) {
  if (platform.windowProcedure != nullptr) platform.windowProcedure(message);
}

void Send(MessageKind kind, uint32_t param = 0) { Send(WindowMessage{kind, param}); }

void QueueInput(const WindowMessage& message) {
  // Like a real window, a destroyed one receives no more input.
  platform.events.Push([message] {
    if (platform.windowExists) Send(message);
  });
}

}  // namespace

void QueueMessage(MessageKind kind, uint32_t param) { QueueInput(WindowMessage{kind, param}); }

void QueuePointer(MessageKind kind, uint32_t buttons, int x, int y) {
  QueueInput(WindowMessage{kind, buttons, x, y});
}

Rgb PixelAt(int x, int y) {
  const unsigned char* p = &colourBuffer[4 * (static_cast<size_t>(y) * platform.clientWidth + x)];
  return Rgb{p[0], p[1], p[2]};
}

void ReadPicture(std::vector<uint32_t>& picture) {
  const int width = platform.clientWidth;
  const int height = platform.clientHeight;
  picture.resize(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    uint32_t* out = &picture[static_cast<size_t>(y) * width];
    for (int x = 0; x < width; ++x) {
      const Rgb rgb = PixelAt(x, height - 1 - y);
      out[x] = uint32_t(rgb.r) << 16 | uint32_t(rgb.g) << 8 | uint32_t(rgb.b);
    }
  }
}

}  // namespace offscreen

using offscreen::platform;

bool PlatformOpen(const PlatformSetup& setup, const char** error) {
  if (!platform.displayAvailable) {
    *error = "no display (test)";
    return false;
  }
  platform.instance = setup.instance;
  platform.windowProcedure = setup.windowProcedure;
  return true;
}

void PlatformNotify(NoticeKind kind, const char* text) {
  platform.notices.emplace_back(kind, text);
}

bool PlatformNotifiesInBoxes() { return platform.notifiesInBoxes; }

const char* PlatformLocalizedText(uint32_t textId, const char* ownText) {
  platform.textsLookedUp[textId] = ownText;
  const auto found = platform.translations.find(ownText);
  return found == platform.translations.end() ? ownText : found->second.c_str();
}

QuestionAnswer PlatformAskOkCancel(const char* text, const char* caption) {
  platform.questions.push_back({text, caption});
  if (platform.onQuestion) platform.onQuestion();
  return platform.answer;
}

void PlatformShowMessage(const char* text, const char* caption) {
  platform.messages.push_back({text, caption});
  if (platform.onMessage) platform.onMessage();
}

namespace {

bool OpenWindow(const char* className, const char* title, int showCommand, bool fullScreen) {
  if (platform.windowFailsToOpen) return false;
  platform.windowExists = true;
  platform.fullScreen = fullScreen;
  platform.className = className;
  platform.title = title;
  platform.showCommand = showCommand;
  SendWindowOpened(platform.windowProcedure);
  return true;
}

}  // namespace

bool PlatformCreateFullScreenWindow(const char* className, const char* title, int showCommand) {
  return OpenWindow(className, title, showCommand, true);
}

bool PlatformCreateFramedWindow(const char* className, const char* title, int showCommand, int x,
                                int y, int width, int height, const MenuBar& menu) {
  platform.windowX = x;
  platform.windowY = y;
  platform.windowWidth = width;
  platform.windowHeight = height;
  platform.menuResourceId = menu.resourceId;
  platform.menu.assign(menu.items, menu.items + menu.itemCount);
  return OpenWindow(className, title, showCommand, false);
}

bool PlatformCreateContext() {
  if (platform.contextFails || !platform.windowExists) return false;
  offscreen::ReleaseContext();
  offscreen::context = OSMesaCreateContextExt(OSMESA_RGBA, 16, 0, 0, nullptr);
  if (offscreen::context == nullptr) return false;
  offscreen::colourBuffer.assign(
      4 * static_cast<size_t>(platform.clientWidth) * platform.clientHeight, 0);
  if (!OSMesaMakeCurrent(offscreen::context, offscreen::colourBuffer.data(), GL_UNSIGNED_BYTE,
                         platform.clientWidth, platform.clientHeight)) {
    offscreen::ReleaseContext();
    return false;
  }
  platform.contextCurrent = true;
  return true;
}

bool PlatformBuildFontLists(uint32_t listBase, int firstChar, int count) {
  return platform.ownFont && platform.ownFont(listBase, firstChar, count);
}

void PlatformDestroyContext() { offscreen::ReleaseContext(); }

bool PlatformClientSize(int* width, int* height) {
  if (!platform.windowExists || !platform.contextCurrent) return false;
  *width = platform.clientWidth;
  *height = platform.clientHeight;
  return true;
}

void PlatformSwapBuffers() {
  ++platform.swaps;
  if (platform.onSwap) platform.onSwap();
}

void PlatformDestroyWindow() {
  if (!platform.windowExists) return;
  platform.windowExists = false;
  offscreen::Send(MessageKind::Destroy);
}

void PlatformPostQuit(int exitCode) { platform.events.PostQuit(exitCode); }

uint32_t PlatformTickCount() {
  ++platform.tickReads;
  if (platform.onTick) platform.onTick();
  if (platform.realClock) {
    const auto sinceEpoch = std::chrono::steady_clock::now().time_since_epoch();
    // Truncated to 32 bits: the counter wraps like the platform's.
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch).count());
  }
  if (!platform.tickScript.empty()) {
    platform.tick = platform.tickScript.front();
    platform.tickScript.pop_front();
    return platform.tick;
  }
  const uint32_t now = platform.tick;
  platform.tick += platform.tickStep;
  return now;
}

bool PlatformEventPending() { return platform.events.Pending(); }

bool PlatformDispatchEvent(int* exitCode) {
  std::function<void()> event;
  if (!platform.events.Take(&event, exitCode)) return false;
  event();
  return true;
}

void PlatformWaitEvent() {
  ++platform.waits;
  if (platform.onWait) platform.onWait();
  if (!platform.events.Pending()) PlatformPostQuit(99);
}

bool PlatformWaitEventTimeout(uint32_t timeoutMs) {
  platform.timedWaits.push_back(timeoutMs);
  if (platform.onWait) platform.onWait();
  if (PlatformEventPending()) return true;
  // Nothing else can queue an event meanwhile: the caller's thread is this one.
  if (platform.realClock) {
    std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
  } else {
    platform.tick += timeoutMs;
  }
  return false;
}

bool PlatformSyncSwapsToRefresh() {
  // The swap interval belongs to the current context.
  platform.swapsSynced = platform.offersSwapInterval && platform.contextCurrent;
  return platform.swapsSynced;
}

bool PlatformWindowOnScreen() { return platform.onScreen; }

bool PlatformHasKeyboard() { return platform.hasKeyboard; }

float PlatformContentScale() { return platform.windowExists ? platform.contentScale : 1; }
