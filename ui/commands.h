// The window procedure and its command table: keys and menu items mapped to
// the same actions on the explorer, the frame-rate cap and the window.
#pragma once

#include <array>
#include <cstdint>

#include "shell/platform/platform.h"

// Menu item ids of the framed window's menu bar.
enum MenuId : uint32_t {
  IDM_START = 40001,
  IDM_PAUSE = 40002,
  IDM_EXIT = 40003,
  IDM_RESUME = 40004,
  IDM_ABOUT = 40005,
  IDM_SPEEDUP = 40006,
  IDM_SPEEDDOWN = 40007,
  IDM_FULLSPEED = 40008,
};

// The eight items of the menu bar, left to right, with the program's own
// captions, taken from the command table; and the menu bar made of them
// with the captions in the user's language (PlatformLocalizedText): menu
// resource 101 in the Windows build's resource script.
constexpr int kMenuItemCount = 8;
constexpr uint32_t kMainMenuResourceId = 101;
extern const std::array<MenuItem, kMenuItemCount> MainMenu;
MenuBar LocalizedMenuBar();

// Handles one window message; always answers 1.
int MainWindowProc(const WindowMessage& message);
