#include "ui/commands.h"

#include "shell/frame_loop.h"
#include "shell/program_state.h"
#include "ui/viewport.h"

const MenuItem MainMenu[kMenuItemCount] = {
    {IDM_START, "开始"},     {IDM_PAUSE, "暂停"}, {IDM_RESUME, "继续"}, {IDM_SPEEDUP, "加速"},
    {IDM_SPEEDDOWN, "减速"}, {IDM_ABOUT, "关于"}, {IDM_EXIT, "退出"},   {IDM_FULLSPEED, "全速"},
};
const MenuBar MainMenuBar = {kMainMenuResourceId, MainMenu, kMenuItemCount};

int SpeedSetting = 100;

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
  Explorer.LoadMaze(MapFileName);
  Explorer.SetPaused(false);
}

void SpeedUp() {
  if (SpeedSetting <= kHighestSettingThatStepsUp) SpeedSetting += kSpeedStep;
  SetFrameRate(SpeedSetting);
}

void SpeedDown() {
  if (SpeedSetting >= kLowestSettingThatStepsDown) SpeedSetting -= kSpeedStep;
  SetFrameRate(SpeedSetting);
}

void FullSpeed() {
  SpeedSetting = kFullSpeedSetting;
  SetFrameRate(0);
}

// One row per command: its key, its menu item and what it does. A key and
// its menu item do exactly the same thing.
struct Command {
  uint32_t key;
  uint32_t menuId;
  void (*action)();
};

const Command kCommands[] = {
    {KeyReturn, IDM_START, Start},
    {KeyShift, IDM_PAUSE, [] { Explorer.SetPaused(true); }},
    {KeyControl, IDM_RESUME, [] { Explorer.SetPaused(false); }},
    {KeyEscape, IDM_EXIT, PlatformDestroyWindow},
    {KeyF1, IDM_ABOUT, [] { PlatformShowMessage(kAboutText, kAboutCaption); }},
    {KeyUp, IDM_SPEEDUP, SpeedUp},
    {KeyDown, IDM_SPEEDDOWN, SpeedDown},
    {KeyEnd, IDM_FULLSPEED, FullSpeed},
};

// The command of a key, or null for a key without one.
const Command* CommandForKey(uint32_t key) {
  for (const Command& command : kCommands) {
    if (command.key == key) return &command;
  }
  return nullptr;
}

// The command of a menu item id, or null for an id without one.
const Command* CommandForMenuId(uint32_t menuId) {
  for (const Command& command : kCommands) {
    if (command.menuId == menuId) return &command;
  }
  return nullptr;
}

void Run(const Command* command) {
  if (command != nullptr) command->action();
}

}  // namespace

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
      Run(CommandForKey(message.param));
      break;
    case MessageKind::Command:
      Run(CommandForMenuId(message.param));
      break;
  }
  return 1;
}
