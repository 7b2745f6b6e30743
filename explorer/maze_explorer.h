// The maze, the explorer that searches it, and the shared types of both.
//
// The explorer runs a depth-first search for an exit, animated one tick per
// frame. The search logic (this header, maze_explorer.cpp) uses no OpenGL and
// no window system; the drawing operations are defined in
// explorer_drawing.cpp, which only the program and the render tests link.
#pragma once

#include <cstdint>
#include <deque>
#include <istream>
#include <stack>
#include <string>

// Maze size: 10 columns by 10 rows, stored row by row.
constexpr int kMazeSide = 10;
constexpr int kCellCount = kMazeSide * kMazeSide;

// Where the drawing puts the maze, in scene units: the cell of column x, row
// y covers kMazeOrigin + kCellSize * x to the next multiple on the x axis,
// likewise on the y axis, so the maze fills 30..330.
constexpr int kMazeOrigin = 30;
constexpr int kCellSize = 30;

// Values of a grid cell that carry a meaning. The grid stores any int read
// from the map file; values without a name are neither passable nor blocked.
enum CellCode : int32_t {
  Wall = 0,     // blocked; also every position outside the grid
  Open = 1,     // passable; becomes Trail when entered
  DeadEnd = 2,  // blocked; backed out of after all four headings failed
  Trail = 3,    // blocked; entered by the explorer
  Marker = 8,   // neither passable nor blocked; only the map file sets it
  Exit = 9,     // passable; arriving on it ends the search
};

// One of the four directions, an index into HeadingTable.
using Heading = int32_t;

// The neighbour offset of a heading and the facing angle that goes with it.
struct HeadingStep {
  int32_t dx;     // column offset
  int32_t dy;     // row offset
  int32_t angle;  // degrees counter-clockwise from +x
};

// East, north, west, south: the order in which every cell is searched.
constexpr HeadingStep HeadingTable[4] = {
    {1, 0, 0},
    {0, 1, 90},
    {-1, 0, 180},
    {0, -1, 270},
};
constexpr Heading kLastHeading = 3;

// Where the explorer stands and how it faces.
struct Pose {
  int32_t x;         // column, 0..9
  int32_t y;         // row, 0..9 (row 0 is drawn at the bottom)
  int32_t heading;   // the Heading being tried or followed
  int32_t angle;     // facing, a multiple of 5 from 0 to 270, never wrapped
  int32_t progress;  // ticks moved toward the neighbour faced, 0..30
};

// The neighbouring pose one step along `step`: heading 0, same angle,
// progress 0. No bounds check; CellAt answers Wall outside the grid.
constexpr Pose operator+(const Pose& pose, const HeadingStep& step) {
  return Pose{pose.x + step.dx, pose.y + step.dy, 0, pose.angle, 0};
}

// The way back to the start: the start pose at the bottom, then one entry per
// cell entered. The top is the cell stood in (or being entered / returned to).
using PathStack = std::stack<Pose, std::deque<Pose>>;

enum ExplorerState : int32_t {
  Unloaded = 0,    // before the first LoadMaze: nothing to step
  Advancing = 1,   // moving forward into the cell on top of the path
  Choosing = 2,    // turning toward the heading, or probing the cell ahead
  FoundExit = 3,   // standing on an Exit cell; the search is over
  NoExit = 4,      // every way tried; the path stack is empty
  Retreating = 5,  // turning toward, then moving back to, the previous cell
};

// Ticks for one cell of movement; one tick is one scene unit.
constexpr int32_t kCellTicks = 30;
// Degrees turned per frame.
constexpr int32_t kTurnStep = 5;
// Capacity of the status message, terminating NUL included.
constexpr int kMessageSize = 256;

// The status messages, the explorer's one line of English.
extern const char kRestMessage[];
extern const char kTurnRightMessage[];
extern const char kCanMoveMessage[];
extern const char kNextHeadingMessage[];
extern const char kGoBackMessage[];
extern const char kFoundExitMessage[];
extern const char kNoExitMessage[];

// What the status line says in edit mode while the grid can be edited.
extern const char kEditMessage[];

// True for the two messages that say the search is over (the exit found, no
// exit); the first frame that shows one is the last frame of a search.
bool IsEndMessage(const char* message);

// The text of a map file holding `grid`: ten lines of ten numbers separated
// by one blank, row 0 (drawn at the bottom) first, each line ended as the
// system ends lines (CR LF on Windows). LoadMaze reads it back to the same
// grid.
std::string MapFileText(const int32_t (&grid)[kCellCount]);

// The way a click cycles a cell: forward (the left button) goes Wall, Open,
// Exit, Wall; backward (the right button) the other way.
enum class CycleDirection { Forward, Backward };

// The code that a click in `direction` gives a cell holding `code`. A code
// outside the cycle (the search's marks, a Marker, any other number)
// becomes Wall forward and Exit backward.
int32_t CycledCode(int32_t code, CycleDirection direction);

class MazeExplorer {
 public:
  virtual ~MazeExplorer() = default;

  // Reads the map file into the grid (cells up to the first failed read) and
  // puts the explorer on column 0, row 0, Choosing, paused. The name is
  // UTF-8. A path that is not a regular file reads as a missing file, so the
  // program never blocks on a FIFO. Always true.
  bool LoadMaze(const char* fileName);
  // LoadMaze from a stream that is already open, whatever its source (a
  // pipe, standard input), after a UTF-8 byte-order mark at its start. Reads
  // int by int as `>>` does, at most one per cell, up to the first failed
  // read; that cell and the ones after it keep their value. A number that
  // cannot fit an int is given up without reading its digits to their end.
  // Returns the number of cells filled.
  int LoadMazeFrom(std::istream& map);
  // Writes the grid as a map file (MapFileText) that LoadMaze reads back to
  // the same grid. The file is replaced safely (ReplaceFileContents): it holds the
  // old or the new grid, never a part. False, with the reason in `error`,
  // when it cannot be written; it is then as it was.
  bool SaveMaze(const char* fileName, std::string* error) const;
  // True from a load until the first tick that runs unpaused: the explorer
  // stands untouched on its start cell and the search has not changed the
  // grid since the load. Only then may the grid be edited.
  bool IsWaitingAtStart() const;
  // True in FoundExit and NoExit, which only a load leaves.
  bool IsOver() const;
  // Pauses (true) or resumes (false) the search; either ends a step and
  // forgets the steps asked for meanwhile.
  void SetPaused(bool isPaused);
  // Runs the search on to its next decision and holds it there: a paused
  // search resumes, a running one runs on, and the explorer pauses itself
  // right after the next tick that probes the cell ahead (or that ends the
  // search), holding that tick's message. A cell ahead that is neither
  // passable nor blocked (FacesUnknownCell) is a decision too: the step holds
  // in front of it, before the probe, saying what the search says of a
  // blocked cell there. Called while a step is under way, it asks for one
  // more: n calls pass n decisions. Does nothing before a load or once the
  // search is over.
  void StepToNextDecision();
  // The code of the cell at row y, column x; Wall outside the grid.
  int CellAt(int y, int x) const;
  // Replaces the message; a text over 255 characters is cut to 255.
  void SetMessage(const char* text);

  // One frame: Tick, then DrawStatus. False while paused.
  bool StepFrame();
  // The search part of a frame, without drawing: one turn, probe or move
  // unit (nothing while paused). False while paused.
  bool Tick();

  // Drawing into the current OpenGL context (explorer_drawing.cpp).
  void DrawScene() const;
  void DrawExplorer() const;
  void DrawStatus() const;
  void DrawTexturedQuad(int x1, int y1, int x2, int y2) const;

  PathStack path;
  int32_t grid[kCellCount] = {};
  Pose pose = {};
  ExplorerState state = Unloaded;
  int32_t paused = 0;
  char message[kMessageSize] = {};
  // Set by the --edit option: while the explorer waits at start, the status
  // line says how to edit instead of showing the pause message.
  bool editMode = false;
  // While the explorer waits at start, paused: a note the status line shows
  // instead of how to edit (edit mode) or the rest message, such as that the
  // map was reloaded or which new maze was drawn; empty for none.
  std::string startNote;
  // Whether a tick has run unpaused since the last load.
  bool movedSinceLoad = false;
  // The stepping layer (StepToNextDecision), which pauses the search at its
  // decisions and chooses what the status line says while it is held there;
  // it never changes what the search itself does or says at a tick.
  // Running to the next decision, then pausing.
  bool stepping = false;
  // Paused by a step: the status line keeps saying the decision instead of
  // the pause message.
  bool held = false;
  // Decisions that the step under way passes without holding: the steps
  // asked for while it ran.
  int queuedSteps = 0;
  // Held in front of a cell that is neither passable nor blocked, before
  // its probe: the next step runs that probe instead of holding again.
  bool heldBeforeProbe = false;

 private:
  // True when the next tick in Choosing is a probe: the explorer faces its
  // heading.
  bool FacesHeading() const;
  // True when the next tick in Choosing probes a cell that is neither
  // passable nor blocked (a Marker, an unknown code): the search never
  // decides there, it rocks in front of the cell.
  bool FacesUnknownCell() const;
  // What the search says when the cell it faces is blocked.
  const char* BlockedCellMessage() const;
  // A step has come to a decision: holds there (true) or, with further
  // steps asked for, passes it and runs on to the next (false).
  bool HoldsAtDecision();
  void StepChoosing();
  void StepAdvancing();
  void StepRetreating();
  // Turns 5 degrees toward `target`; true when the turn was clockwise, which
  // the Choosing state announces and the Retreating state does not.
  bool TurnToward(int32_t target);
  void BackOut();
};
