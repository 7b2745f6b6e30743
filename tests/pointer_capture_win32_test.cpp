// pointer-capture-test: the Win32 backend's pointer capture against the seam's
// contract.
//
// Opens a framed window through the platform seam and sends its window
// procedure the mouse messages of a few presses, drags and releases, then
// compares the pointer messages that reach the program with those the seam
// promises: a release that the window makes itself once the last button is
// up reports nothing more, while a capture that someone else ends (another
// window takes it, or ReleaseCapture is called outside the backend) reports
// both buttons released. Prints every case that differs and exits with 1; 0
// when all hold. Run under Wine by the wine_e2e test.
#include <windows.h>

#include <cstdio>
#include <functional>
#include <vector>

#include "shell/platform/platform.h"

namespace {

std::vector<WindowMessage> Received;

int RecordPointerMessages(const WindowMessage& message) {
  if (message.kind == MessageKind::PointerDown || message.kind == MessageKind::PointerMove ||
      message.kind == MessageKind::PointerUp) {
    Received.push_back(message);
  }
  return 0;
}

LPARAM At(int x, int y) { return MAKELPARAM(x, y); }

struct Case {
  const char* name;
  // What happens to the window, the test's own calls included.
  std::function<void(HWND window, HWND other)> act;
  std::vector<WindowMessage> expected;
  bool capturedAfter;  // whether the window still holds the pointer afterwards
};

const char* KindName(MessageKind kind) {
  switch (kind) {
    case MessageKind::PointerDown:
      return "PointerDown";
    case MessageKind::PointerMove:
      return "PointerMove";
    case MessageKind::PointerUp:
      return "PointerUp";
    default:
      return "other";
  }
}

void PrintMessages(const char* label, const std::vector<WindowMessage>& messages) {
  std::printf("  %s:", label);
  for (const WindowMessage& message : messages) {
    std::printf(" %s(%u @ %d,%d)", KindName(message.kind), message.param, message.x, message.y);
  }
  std::printf("\n");
}

bool SameMessages(const std::vector<WindowMessage>& a, const std::vector<WindowMessage>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].kind != b[i].kind || a[i].param != b[i].param || a[i].x != b[i].x ||
        a[i].y != b[i].y) {
      return false;
    }
  }
  return true;
}

std::vector<Case> Cases() {
  using K = MessageKind;
  return {
      {"a drag released by its own button",
       [](HWND window, HWND) {
         SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, At(10, 20));
         SendMessageA(window, WM_MOUSEMOVE, MK_LBUTTON, At(30, 40));
         SendMessageA(window, WM_LBUTTONUP, 0, At(31, 41));
       },
       {{K::PointerDown, PointerLeft, 10, 20},
        {K::PointerMove, PointerLeft, 30, 40},
        {K::PointerUp, PointerLeft, 31, 41}},
       false},
      {"both buttons, the pointer kept until the last is released",
       [](HWND window, HWND) {
         SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, At(5, 6));
         SendMessageA(window, WM_RBUTTONDOWN, MK_LBUTTON | MK_RBUTTON, At(7, 8));
         SendMessageA(window, WM_LBUTTONUP, MK_RBUTTON, At(9, 10));
         SendMessageA(window, WM_MOUSEMOVE, MK_RBUTTON, At(-4, 300));
         SendMessageA(window, WM_RBUTTONUP, 0, At(-5, 301));
       },
       {{K::PointerDown, PointerLeft, 5, 6},
        {K::PointerDown, PointerRight, 7, 8},
        {K::PointerUp, PointerLeft, 9, 10},
        {K::PointerMove, PointerRight, -4, 300},
        {K::PointerUp, PointerRight, -5, 301}},
       false},
      {"the pointer taken by another window",
       [](HWND window, HWND other) {
         SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, At(10, 20));
         SetCapture(other);
         ReleaseCapture();
       },
       {{K::PointerDown, PointerLeft, 10, 20},
        {K::PointerUp, PointerLeft, 0, 0},
        {K::PointerUp, PointerRight, 0, 0}},
       false},
      {"the pointer released from outside the backend",
       [](HWND window, HWND) {
         SendMessageA(window, WM_RBUTTONDOWN, MK_RBUTTON, At(10, 20));
         ReleaseCapture();
       },
       {{K::PointerDown, PointerRight, 10, 20},
        {K::PointerUp, PointerLeft, 0, 0},
        {K::PointerUp, PointerRight, 0, 0}},
       false},
      {"a second press while the pointer is held",
       [](HWND window, HWND) {
         SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, At(1, 2));
         SendMessageA(window, WM_RBUTTONDOWN, MK_LBUTTON | MK_RBUTTON, At(3, 4));
       },
       {{K::PointerDown, PointerLeft, 1, 2}, {K::PointerDown, PointerRight, 3, 4}},
       true},
  };
}

}  // namespace

int main() {
  const PlatformSetup setup{GetModuleHandleA(nullptr), RecordPointerMessages};
  const MenuBar noMenu{0, nullptr, 0};
  if (!PlatformOpen(setup, nullptr) ||
      !PlatformCreateFramedWindow("PathwickPointerTest", "pointer capture", SW_SHOWNORMAL, 0, 0,
                                  300, 300, noMenu)) {
    std::printf("no window\n");
    return 1;
  }
  const HWND window = FindWindowA("PathwickPointerTest", nullptr);
  const HWND other = CreateWindowExA(0, "STATIC", "other", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                     GetModuleHandleA(nullptr), nullptr);
  if (window == nullptr || other == nullptr) {
    std::printf("no window handle\n");
    return 1;
  }
  int failures = 0;
  for (const Case& test : Cases()) {
    Received.clear();
    test.act(window, other);
    const bool captured = GetCapture() == window;
    if (!SameMessages(Received, test.expected) || captured != test.capturedAfter) {
      ++failures;
      std::printf("%s:\n", test.name);
      PrintMessages("expected", test.expected);
      PrintMessages("received", Received);
      std::printf("  the window %s the pointer\n", captured ? "holds" : "does not hold");
    }
    // The next case starts with no capture and no button held.
    if (GetCapture() != nullptr) {
      SendMessageA(window, WM_LBUTTONUP, 0, At(0, 0));
      SendMessageA(window, WM_RBUTTONUP, 0, At(0, 0));
    }
  }
  DestroyWindow(other);
  PlatformDestroyWindow();
  std::printf("%d of %zu cases differ\n", failures, Cases().size());
  return failures == 0 ? 0 : 1;
}
