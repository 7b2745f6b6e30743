#include "ui/commands.h"

#include "explorer/maze_generator.h"
#include "shell/app/frame_loop.h"
#include "shell/app/program_state.h"
#include "shell/text/text_ids.h"
#include "ui/maze_editing.h"
#include "ui/viewport.h"

namespace {

// The About box's own texts, shown in the user's language where a catalog
// has them (PlatformLocalizedText), as are the menu captions below.
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
  App.Explorer.SetPaused(false);
}

// Reloads the map and leaves the explorer waiting on its start cell: in edit
// mode the grid can be drawn again.
void Reset() { LoadMapFile(); }

void Pause() { App.Explorer.SetPaused(true); }

void Resume() { App.Explorer.SetPaused(false); }

void Step() { App.Explorer.StepToNextDecision(); }

void NewMaze() { PutNewMaze(SeedFromClock()); }

void SpeedUp() {
  if (App.SpeedSetting <= kHighestSettingThatStepsUp) App.SpeedSetting += kSpeedStep;
  SetFrameRate(App.SpeedSetting);
}

void SpeedDown() {
  if (App.SpeedSetting >= kLowestSettingThatStepsDown) App.SpeedSetting -= kSpeedStep;
  SetFrameRate(App.SpeedSetting);
}

void ShowAbout() {
  PlatformShowMessage(PlatformLocalizedText(TextAbout, kAboutText),
                      PlatformLocalizedText(TextAboutCaption, kAboutCaption));
}

void FullSpeed() {
  App.SpeedSetting = kFullSpeedSetting;
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

// The commands that have a key and no menu item.
constexpr Command kKeyOnlyCommands[] = {
    {KeySpace, 0, nullptr, Step},
    {KeyBackspace, 0, nullptr, Reset},
    {KeyN, 0, nullptr, NewMaze},
};

constexpr std::array<MenuItem, kMenuItemCount> MenuItemsOf(
    const Command (&commands)[kMenuItemCount]) {
  std::array<MenuItem, kMenuItemCount> items{};
  for (int i = 0; i < kMenuItemCount; ++i) items[i] = {commands[i].menuId, commands[i].caption};
  return items;
}

// The command whose menu id is `id`, or null.
const Command* FindMenuCommand(uint32_t id) {
  for (const Command& command : kCommands) {
    if (command.menuId == id) return &command;
  }
  return nullptr;
}

// The command of `key`, with or without a menu item, or null.
const Command* FindKeyCommand(uint32_t key) {
  for (const Command& command : kCommands) {
    if (command.key == key) return &command;
  }
  for (const Command& command : kKeyOnlyCommands) {
    if (command.key == key) return &command;
  }
  return nullptr;
}

void Run(const Command* command) {
  if (command != nullptr) command->action();
}

bool IsPointerMessage(MessageKind kind) {
  return kind == MessageKind::PointerDown || kind == MessageKind::PointerMove ||
         kind == MessageKind::PointerUp;
}

}  // namespace

const std::array<MenuItem, kMenuItemCount> MainMenu = MenuItemsOf(kCommands);

MenuBar LocalizedMenuBar() {
  static std::array<MenuItem, kMenuItemCount> items;
  for (int i = 0; i < kMenuItemCount; ++i) {
    items[i] = {MainMenu[i].id, PlatformLocalizedText(MainMenu[i].id, MainMenu[i].caption)};
  }
  return {kMainMenuResourceId, items.data(), kMenuItemCount};
}

int MainWindowProc(const WindowMessage& message) {
  // What a drag has painted reaches the file before any command acts.
  if (!IsPointerMessage(message.kind)) SavePainting();
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
      Run(FindKeyCommand(message.param));
      break;
    case MessageKind::Command:
      Run(FindMenuCommand(message.param));
      break;
    case MessageKind::PointerDown:
      EditCellAtPoint(message.param, message.x, message.y);
      break;
    case MessageKind::PointerMove:
      PaintCellAtPoint(message.param, message.x, message.y);
      break;
    case MessageKind::PointerUp:
      EndPainting(message.param);
      break;
  }
  return 1;
}
