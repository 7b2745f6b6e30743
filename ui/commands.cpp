#include "ui/commands.h"

#include "shell/frame_loop.h"
#include "shell/program_state.h"
#include "ui/maze_editing.h"
#include "ui/viewport.h"

namespace {

const char kAboutText[] = "迷宫搜索Demo\n 用OpenGL加速\n\n   Orlanvey 2002-5-18";
const char kAboutCaption[] = "迷宫搜索Demo";

constexpr int kSpeedStep = 5;
// Speed up steps only from settings up to this one, so the top setting is
// 105; speed down only from settings down to this one, so the bottom is 15.
constexpr int kHighestSettingThatStepsUp = 100;
constexpr int kLowestSettingThatStepsDown = 20;
constexpr int kFullSpeedSetting = 100;

void Start() {
  LoadMapFile();
  Explorer.SetPaused(false);
}

void Pause() { Explorer.SetPaused(true); }

void Resume() { Explorer.SetPaused(false); }

void SpeedUp() {
  if (SpeedSetting <= kHighestSettingThatStepsUp) SpeedSetting += kSpeedStep;
  SetFrameRate(SpeedSetting);
}

void SpeedDown() {
  if (SpeedSetting >= kLowestSettingThatStepsDown) SpeedSetting -= kSpeedStep;
  SetFrameRate(SpeedSetting);
}

void ShowAbout() { PlatformShowMessage(kAboutText, kAboutCaption); }

void FullSpeed() {
  SpeedSetting = kFullSpeedSetting;
  SetFrameRate(0);
}

// One row per command: its key, its menu item (id and UTF-8 caption) and
// what it does, in the order of the menu bar. A key and its menu item do
// exactly the same thing.
struct Command {
  uint32_t key;
  uint32_t menuId;
  const char* caption;
  void (*action)();
};

constexpr Command kCommands[kMenuItemCount] = {
    {KeyReturn, IDM_START, "开始", Start},
    {KeyShift, IDM_PAUSE, "暂停", Pause},
    {KeyControl, IDM_RESUME, "继续", Resume},
    {KeyUp, IDM_SPEEDUP, "加速", SpeedUp},
    {KeyDown, IDM_SPEEDDOWN, "减速", SpeedDown},
    {KeyF1, IDM_ABOUT, "关于", ShowAbout},
    {KeyEscape, IDM_EXIT, "退出", PlatformDestroyWindow},
    {KeyEnd, IDM_FULLSPEED, "全速", FullSpeed},
};

constexpr std::array<MenuItem, kMenuItemCount> MenuItemsOf(
    const Command (&commands)[kMenuItemCount]) {
  std::array<MenuItem, kMenuItemCount> items{};
  for (int i = 0; i < kMenuItemCount; ++i) items[i] = {commands[i].menuId, commands[i].caption};
  return items;
}

// The command whose key or menu id (`field`) is `value`, or null.
const Command* FindCommand(uint32_t Command::*field, uint32_t value) {
  for (const Command& command : kCommands) {
    if (command.*field == value) return &command;
  }
  return nullptr;
}

void Run(const Command* command) {
  if (command != nullptr) command->action();
}

}  // namespace

const std::array<MenuItem, kMenuItemCount> MainMenu = MenuItemsOf(kCommands);
const MenuBar MainMenuBar = {kMainMenuResourceId, MainMenu.data(), kMenuItemCount};

int MainWindowProc(const WindowMessage& message) {
  switch (message.kind) {
    case MessageKind::Create:
    case MessageKind::Size:
      FitViewport();
      break;
    case MessageKind::Close:
      PlatformDestroyWindow();
      break;
    case MessageKind::Destroy:
      PlatformPostQuit(0);
      break;
    case MessageKind::KeyDown:
      Run(FindCommand(&Command::key, message.param));
      break;
    case MessageKind::Command:
      Run(FindCommand(&Command::menuId, message.param));
      break;
    case MessageKind::PointerDown:
      EditCellAtPoint(message.param, message.x, message.y);
      break;
  }
  return 1;
}
