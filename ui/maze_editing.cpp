#include "ui/maze_editing.h"

#include <optional>
#include <string>

#include "shell/platform/platform.h"
#include "shell/program_state.h"
#include "shell/quoting.h"
#include "ui/viewport.h"

bool MapWriteFailureReported = false;

namespace {

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

void EditCellAtPoint(uint32_t button, int x, int y) {
  if (!Explorer.editMode || !Explorer.IsWaitingAtStart()) return;
  const std::optional<CycleDirection> direction = DirectionOf(button);
  if (!direction) return;
  const std::optional<MazeCell> cell = CellUnder(x, y);
  if (!cell) return;

  int32_t& code = Explorer.grid[cell->column + kMazeSide * cell->row];
  const int32_t before = code;
  code = CycledCode(before, *direction);
  std::string reason;
  if (Explorer.SaveMaze(MapFileName, &reason)) {
    MapWriteFailureReported = false;
    return;
  }
  code = before;
  ReportWriteFailure(reason);
}
