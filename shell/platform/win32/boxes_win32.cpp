// The Win32 backend's message boxes: notices, the question and the About
// box, with their UTF-8 texts shown through the wide-character calls, and
// the hook that centres a box over its owner window.
#include <windows.h>

#include <algorithm>

#include "shell/files/file_names.h"
#include "shell/platform/platform.h"
#include "shell/platform/win32/win32_backend.h"

using win32::AppWindow;

namespace {

const char kNoticeCaption[] = "Pathwick";

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

}  // namespace

// A GUI program has no console: every notice is a box.
void PlatformNotify(NoticeKind kind, const char* text) {
  // Owned by the window while there is one, so that the box shows above it
  // also in full screen, where the window stays on top of everything else.
  // (A destroyed window's handle would make the box fail: none then.)
  const HWND owner = IsWindow(AppWindow.MainWindow) ? AppWindow.MainWindow : nullptr;
  ShowBox(owner, text, kNoticeCaption, MB_OK | NoticeIcon(kind));
}

bool PlatformNotifiesInBoxes() { return true; }

QuestionAnswer PlatformAskOkCancel(const char* text, const char* caption) {
  const int answer = ShowBox(nullptr, text, caption, MB_OKCANCEL);
  return answer == IDCANCEL ? QuestionAnswer::Cancel : QuestionAnswer::Ok;
}

void PlatformShowMessage(const char* text, const char* caption) {
  ShowBox(AppWindow.MainWindow, text, caption, MB_OK);
}
