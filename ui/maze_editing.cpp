#include "ui/maze_editing.h"

#include <optional>
#include <string>

#include "shell/platform/platform.h"
#include "shell/program_state.h"
#include "ui/viewport.h"

bool MapWriteFailureReported = false;

namespace {

// The drag under way: the button that pressed, the code it paints, and the
// cell the pointer was last in (none while outside the maze).
struct Painting {
  uint32_t button;
  int32_t code;
  std::optional<int> lastCell;
};

std::optional<Painting> Drag;

std::optional<CycleDirection> DirectionOf(uint32_t button) {
  if (button == PointerLeft) return CycleDirection::Forward;
  if (button == PointerRight) return CycleDirection::Backward;
  return std::nullopt;
}

// The grid index of the maze cell under pixel (x, y) of the window's drawing
// area, if any.
std::optional<int> CellUnder(int x, int y) {
  int width = 0;
  int height = 0;
  if (!PlatformClientSize(&width, &height)) return std::nullopt;
  const std::optional<MazeCell> cell = CellAtPoint(width, height, x, y);
  if (!cell) return std::nullopt;
  return cell->column + kMazeSide * cell->row;
}

bool CanEdit() { return Explorer.editMode && Explorer.IsWaitingAtStart(); }

void ReportWriteFailure(const std::string& reason) {
  if (MapWriteFailureReported) return;
  MapWriteFailureReported = true;
  const std::string warning = std::string("cannot write the map file '") + MapFileName +
                              "': " + reason + "; the edit is undone";
  PlatformNotify(NoticeKind::Warning, warning.c_str());
}

// Gives the cell `code` and writes the file; when it cannot be written the
// cell gets its old code back.
void SetCell(int index, int32_t code) {
  int32_t& cell = Explorer.grid[index];
  const int32_t before = cell;
  cell = code;
  std::string reason;
  if (Explorer.SaveMaze(MapFileName, &reason)) {
    MapWriteFailureReported = false;
    return;
  }
  cell = before;
  ReportWriteFailure(reason);
}

}  // namespace

void EditCellAtPoint(uint32_t button, int x, int y) {
  Drag.reset();
  if (!CanEdit()) return;
  const std::optional<CycleDirection> direction = DirectionOf(button);
  if (!direction) return;
  const std::optional<int> cell = CellUnder(x, y);
  if (!cell) return;

  const int32_t code = CycledCode(Explorer.grid[*cell], *direction);
  SetCell(*cell, code);
  Drag = Painting{button, code, cell};
}

void PaintCellAtPoint(uint32_t buttons, int x, int y) {
  if (!Drag) return;
  if ((buttons & Drag->button) == 0 || !CanEdit()) {
    Drag.reset();
    return;
  }
  const std::optional<int> cell = CellUnder(x, y);
  if (cell == Drag->lastCell) return;
  Drag->lastCell = cell;
  if (cell && Explorer.grid[*cell] != Drag->code) SetCell(*cell, Drag->code);
}

void EndPainting(uint32_t button) {
  if (Drag && Drag->button == button) Drag.reset();
}

void CancelPainting() { Drag.reset(); }
