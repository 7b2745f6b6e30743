#include "ui/maze_editing.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "explorer/maze_generator.h"
#include "shell/app/program_state.h"
#include "shell/files/edit_lock.h"
#include "shell/files/file_names.h"
#include "shell/files/quoting.h"
#include "shell/platform/platform.h"
#include "ui/viewport.h"

const char kMapReloadedNote[] = "The map changed on disk and was reloaded";

namespace {

MapFileVersion CurrentMapFile() {
  MapFileVersion version;
  version.exists = ReadWholeFile(App.MapFileName, &version.contents);
  return version;
}

// Loads `version` into the explorer, as LoadMaze loads a file.
void LoadVersion(const MapFileVersion& version) {
  std::istringstream map(version.contents);
  if (!version.exists) map.setstate(std::ios::failbit);
  App.Explorer.LoadMazeFrom(map);
  App.KnownMapFile = version;
}

// True when another program changed the map file since the program last
// read or wrote it; the explorer then holds the file's map, still waiting
// at start as it was (paused or not), and the status line says so. A file
// that went away is no map to reload: the next write makes it again.
bool ReloadIfChangedOnDisk() {
  App.KnownMapStamp = StampOf(App.MapFileName);
  const MapFileVersion current = CurrentMapFile();
  if (current == App.KnownMapFile) return false;
  if (!current.exists) {
    App.KnownMapFile = current;
    return false;
  }
  const int32_t paused = App.Explorer.paused;
  LoadVersion(current);
  App.Explorer.paused = paused;
  App.Explorer.startNote = kMapReloadedNote;
  return true;
}

std::optional<CycleDirection> DirectionOf(uint32_t button) {
  if (button == PointerLeft) return CycleDirection::Forward;
  if (button == PointerRight) return CycleDirection::Backward;
  return std::nullopt;
}

struct DrawingArea {
  int width;
  int height;
};

std::optional<DrawingArea> CurrentDrawingArea() {
  DrawingArea area{};
  if (!PlatformClientSize(&area.width, &area.height)) return std::nullopt;
  return area;
}

// The grid index of the maze cell under pixel `point` of the drawing area,
// if any.
std::optional<int> CellUnder(const DrawingArea& area, PointerPoint point) {
  const std::optional<MazeCell> cell = CellAtPoint(area.width, area.height, point.x, point.y);
  if (!cell) return std::nullopt;
  return cell->column + kMazeSide * cell->row;
}

bool CanEdit() { return App.Explorer.editMode && App.Explorer.IsWaitingAtStart(); }

// A drag paints only while nothing can run the search: every command that
// resumes it comes as a message, before which the drag is written, so its
// cells never wait for a write once the search has marked the grid.
bool CanPaint() { return CanEdit() && App.Explorer.paused == 1; }

void ReportWriteFailure(const std::string& reason) {
  if (App.MapWriteFailureReported) return;
  App.MapWriteFailureReported = true;
  const std::string warning = "cannot write the map file " + Quoted(App.MapFileName) + ": " +
                              reason + "; the edit is undone";
  PlatformNotify(NoticeKind::Warning, warning.c_str());
}

// Writes the grid to the map file. When another program changed the file,
// its map is reloaded first and the `changes` get again the codes the user
// gave them (their `before` codes are then those of the file's map).
// Another window editing the same file waits meanwhile (EditLock): a write
// of its own between the reading and the writing here would be overwritten
// unseen. False, with the reason, when the file could not be written.
bool MergeAndSave(std::vector<PaintedCell>* changes, std::string* reason) {
  const EditLock lock(App.MapFileName);
  std::vector<int32_t> given;
  for (const PaintedCell& change : *changes) given.push_back(App.Explorer.grid[change.index]);
  if (ReloadIfChangedOnDisk()) {
    for (size_t i = 0; i < changes->size(); ++i) {
      PaintedCell& change = (*changes)[i];
      change.before = App.Explorer.grid[change.index];
      App.Explorer.grid[change.index] = given[i];
    }
  }
  if (!App.Explorer.SaveMaze(App.MapFileName, reason)) return false;
  App.KnownMapFile = MapFileVersion{true, MapFileText(App.Explorer.grid)};
  App.KnownMapStamp = StampOf(App.MapFileName);
  return true;
}

// Writes the grid to the map file, merged with the file where another
// program changed it (MergeAndSave): the changed cells keep the codes the
// user gave them, what a click or a drag meant on the map the user saw.
// When it cannot be written, the cells changed since the last write get
// their codes back, the last change first, and the warning shows once the
// lock is let go (a box would hold it while it is open). False when the file
// could not be written.
bool SaveOrUndo(std::vector<PaintedCell> changes) {
  std::string reason;
  if (MergeAndSave(&changes, &reason)) {
    App.MapWriteFailureReported = false;
    return true;
  }
  for (auto change = changes.rbegin(); change != changes.rend(); ++change) {
    App.Explorer.grid[change->index] = change->before;
  }
  ReportWriteFailure(reason);
  return false;
}

// The coordinate `step` of `steps` of the way from `from` to `to`. (Window
// systems report points beyond the drawing area in 16 bits or more.)
int Between(int from, int to, int step, int steps) {
  return from + static_cast<int>(static_cast<long long>(to - from) * step / steps);
}

}  // namespace

void LoadMapFile() {
  App.Explorer.startNote.clear();
  if (App.MapInMemory) {
    std::istringstream map(*App.MapInMemory);
    App.Explorer.LoadMazeFrom(map);
  } else if (!App.Explorer.editMode) {
    App.Explorer.LoadMaze(App.MapFileName);
  } else {
    // The map is read from the very bytes that are remembered.
    App.KnownMapStamp = StampOf(App.MapFileName);
    LoadVersion(CurrentMapFile());
  }
}

bool PutNewMaze(uint64_t seed) {
  int32_t maze[kCellCount];
  if (!GenerateMaze(MazeRequest{seed, kNewMazeExits, kNewMazeLoops}, maze)) return false;
  FinishPainting();
  if (!App.Explorer.editMode) {
    App.MapInMemory = MapFileText(maze);
    LoadMapFile();
  } else {
    // The file's map, without the search's marks, is what a failed write
    // leaves on the screen.
    LoadMapFile();
    std::vector<PaintedCell> changes;
    for (int index = 0; index < kCellCount; ++index) {
      if (App.Explorer.grid[index] == maze[index]) continue;
      changes.push_back({index, App.Explorer.grid[index]});
      App.Explorer.grid[index] = maze[index];
    }
    if (!SaveOrUndo(changes)) return false;
  }
  App.Explorer.startNote = "New maze, seed " + std::to_string(seed);
  return true;
}

void FollowMapFile() {
  // A drag's cells wait on the screen for their write, which reloads first.
  if (!CanEdit() || App.Drag || StampOf(App.MapFileName) == App.KnownMapStamp) return;
  ReloadIfChangedOnDisk();
}

void EditCellAtPoint(uint32_t button, int x, int y) {
  FinishPainting();
  if (!CanEdit()) return;
  const std::optional<CycleDirection> direction = DirectionOf(button);
  if (!direction) return;
  const std::optional<DrawingArea> area = CurrentDrawingArea();
  if (!area) return;
  const std::optional<int> cell = CellUnder(*area, PointerPoint{x, y});
  if (!cell) return;

  int32_t& code = App.Explorer.grid[*cell];
  const PaintedCell change{*cell, code};
  code = CycledCode(code, *direction);
  App.Explorer.startNote.clear();
  // A step held in front of its first decision said what it saw there; the
  // grid it saw is gone, and the status line asks for clicks again.
  if (App.Explorer.held) App.Explorer.SetPaused(true);
  App.Drag = Painting{button, code, PointerPoint{x, y}, cell, {}};
  SaveOrUndo({change});
}

void PaintCellAtPoint(uint32_t buttons, int x, int y) {
  if (!App.Drag) return;
  const std::optional<DrawingArea> area = CurrentDrawingArea();
  if ((buttons & App.Drag->button) == 0 || !CanPaint() || !area) {
    FinishPainting();
    return;
  }
  // The window system reports the pointer now and then, not at every pixel
  // (and a fast hand crosses a cell between two reports): every pixel on the
  // way from the last point is taken as passed over.
  const PointerPoint from = App.Drag->lastPoint;
  const int steps = std::max(std::abs(x - from.x), std::abs(y - from.y));
  for (int step = 1; step <= steps; ++step) {
    const PointerPoint point{Between(from.x, x, step, steps), Between(from.y, y, step, steps)};
    const std::optional<int> cell = CellUnder(*area, point);
    if (cell == App.Drag->lastCell) continue;
    App.Drag->lastCell = cell;
    if (!cell || App.Explorer.grid[*cell] == App.Drag->code) continue;
    App.Drag->unsaved.push_back({*cell, App.Explorer.grid[*cell]});
    App.Explorer.grid[*cell] = App.Drag->code;
  }
  App.Drag->lastPoint = PointerPoint{x, y};
}

void EndPainting(uint32_t button) {
  if (App.Drag && App.Drag->button == button) FinishPainting();
}

void SavePainting() {
  if (!App.Drag || App.Drag->unsaved.empty()) return;
  SaveOrUndo(App.Drag->unsaved);
  App.Drag->unsaved.clear();
}

void FinishPainting() {
  SavePainting();
  App.Drag.reset();
}
