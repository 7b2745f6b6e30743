#include "ui/maze_editing.h"

#include <optional>
#include <sstream>
#include <string>

#include "shell/file_names.h"
#include "shell/platform/platform.h"
#include "shell/program_state.h"
#include "shell/quoting.h"
#include "ui/viewport.h"

const char kMapReloadedNote[] = "The map changed on disk and was reloaded";

namespace {

MapFileVersion CurrentMapFile() {
  MapFileVersion version;
  version.exists = ReadWholeFile(MapFileName, &version.contents);
  return version;
}

// Loads `version` into the explorer, as LoadMaze loads a file.
void LoadVersion(const MapFileVersion& version) {
  std::istringstream map(version.contents);
  if (!version.exists) map.setstate(std::ios::failbit);
  Explorer.LoadMazeFrom(map);
  KnownMapFile = version;
}

// True when another program changed the map file since the program last
// read or wrote it; the explorer then holds the file's map, still waiting
// at start as it was (paused or not), and the status line says so. A file
// that went away is no map to reload: the next write makes it again.
bool ReloadIfChangedOnDisk() {
  const MapFileVersion current = CurrentMapFile();
  if (current == KnownMapFile) return false;
  if (!current.exists) {
    KnownMapFile = current;
    return false;
  }
  const int32_t paused = Explorer.paused;
  LoadVersion(current);
  Explorer.paused = paused;
  Explorer.editNote = kMapReloadedNote;
  return true;
}

bool MayEdit() { return Explorer.editMode && Explorer.IsWaitingAtStart(); }

std::optional<CycleDirection> DirectionOf(uint32_t button) {
  if (button == PointerLeft) return CycleDirection::Forward;
  if (button == PointerRight) return CycleDirection::Backward;
  return std::nullopt;
}

// The maze cell under pixel (x, y) of the window's drawing area, if any.
std::optional<MazeCell> CellUnder(int x, int y) {
  int width = 0;
  int height = 0;
  if (!PlatformClientSize(&width, &height)) return std::nullopt;
  return CellAtPoint(width, height, x, y);
}

void ReportWriteFailure(const std::string& reason) {
  if (MapWriteFailureReported) return;
  MapWriteFailureReported = true;
  const std::string warning =
      "cannot write the map file " + Quoted(MapFileName) + ": " + reason + "; the edit is undone";
  PlatformNotify(NoticeKind::Warning, warning.c_str());
}

}  // namespace

void LoadMapFile() {
  if (!Explorer.editMode) {
    Explorer.LoadMaze(MapFileName);
    return;
  }
  // The map is read from the very bytes that are remembered.
  LoadVersion(CurrentMapFile());
  Explorer.editNote = nullptr;
  LastMapCheckMs = PlatformTickCount();
}

void FollowMapFile() {
  if (!MayEdit()) return;
  const uint32_t now = PlatformTickCount();
  if (now - LastMapCheckMs < kMapCheckIntervalMs) return;
  LastMapCheckMs = now;
  ReloadIfChangedOnDisk();
}

void EditCellAtPoint(uint32_t button, int x, int y) {
  if (!MayEdit()) return;
  const std::optional<CycleDirection> direction = DirectionOf(button);
  if (!direction) return;
  const std::optional<MazeCell> cell = CellUnder(x, y);
  if (!cell) return;

  int32_t& code = Explorer.grid[cell->column + kMazeSide * cell->row];
  // The click means what it would do to the cell as the user saw it, also
  // when another program changed the file and its map is reloaded now.
  const int32_t aimedAt = CycledCode(code, *direction);
  Explorer.editNote = nullptr;
  ReloadIfChangedOnDisk();
  const int32_t before = code;
  code = aimedAt;
  std::string reason;
  if (Explorer.SaveMaze(MapFileName, &reason)) {
    KnownMapFile = MapFileVersion{true, Explorer.MapText()};
    MapWriteFailureReported = false;
    return;
  }
  code = before;
  ReportWriteFailure(reason);
}
