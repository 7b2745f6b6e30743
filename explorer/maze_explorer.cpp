#include "explorer/maze_explorer.h"

#include <cstring>
#include <fstream>
#include <limits>
#include <sstream>

#include "shell/files/file_names.h"
#include "shell/files/safe_replacement.h"

const char kRestMessage[] = "I think I must have a rest Z...ZZ.....";
const char kTurnRightMessage[] = "I like turn to Right first! :-)";
const char kCanMoveMessage[] = "I see next position can move";
const char kNextHeadingMessage[] = "Let me  try to next directory!";
const char kGoBackMessage[] = "There are no way ,I should go back now!";
const char kFoundExitMessage[] = "Ha ha! I find the maze's exit!! Yeah!";
const char kNoExitMessage[] = "It's so bad the maze has no exit!!";
const char kEditMessage[] = "Click cells to draw; Return runs the maze";

bool IsEndMessage(const char* message) {
  return std::strcmp(message, kFoundExitMessage) == 0 || std::strcmp(message, kNoExitMessage) == 0;
}

int32_t CycledCode(int32_t code, CycleDirection direction) {
  const bool forward = direction == CycleDirection::Forward;
  switch (code) {
    case Wall:
      return forward ? Open : Exit;
    case Open:
      return forward ? Exit : Wall;
    case Exit:
      return forward ? Wall : Open;
    default:
      return forward ? Wall : Exit;
  }
}

namespace {

#ifdef _WIN32
constexpr char kLineEnd[] = "\r\n";
#else
constexpr char kLineEnd[] = "\n";
#endif

int IndexOfColumnRow(int column, int row) { return column + kMazeSide * row; }

bool IsPassable(int code) { return code == Open || code == Exit; }

bool IsBlocked(int code) { return code == Wall || code == DeadEnd || code == Trail; }

// The heading that leads from `from` to the adjacent cell `to`.
Heading HeadingToward(const Pose& from, const Pose& to) {
  if (from.x == to.x) return from.y < to.y ? 1 : 3;
  return from.x < to.x ? 0 : 2;
}

// Skips a UTF-8 byte-order mark at the very start of the map, as editors on
// Windows write it. Part of one fails the stream, as its first byte would
// fail the first read.
void SkipByteOrderMark(std::istream& map) {
  constexpr unsigned char kMark[] = {0xEF, 0xBB, 0xBF};
  const std::istream::sentry sentry(map, /*noskipws=*/true);
  if (!sentry) return;
  std::streambuf& buffer = *map.rdbuf();
  try {
    if (buffer.sgetc() != kMark[0]) return;
    for (unsigned char byte : kMark) {
      if (buffer.sgetc() != byte) {
        map.setstate(std::ios::failbit);
        return;
      }
      buffer.sbumpc();
    }
  } catch (...) {  // the stream's source failed, as `>>` reports it
    map.setstate(std::ios::badbit);
  }
}

// Reads one int as `map >> *value` does, with the same result: whitespace
// skipped, an optional sign, decimal digits up to the first other character;
// a failed read, which leaves *value alone, when there is no digit or the
// number does not fit an int. Unlike `>>`, which reads a run of digits to its
// end, it gives up at the first digit that makes the number too large, so a
// long run costs no time. Leading zeros, which the number may still fit
// after, leave it 0 and are read however many there are.
bool ReadInt(std::istream& map, int* value) {
  const std::istream::sentry sentry(map);  // skips whitespace; fails at the end
  if (!sentry) return false;
  std::streambuf& buffer = *map.rdbuf();
  try {
    int c = buffer.sgetc();
    const bool negative = c == '-';
    if (negative || c == '+') c = buffer.snextc();
    const long long limit = negative ? -static_cast<long long>(std::numeric_limits<int>::min())
                                     : std::numeric_limits<int>::max();
    long long magnitude = 0;
    bool anyDigit = false;
    for (; c >= '0' && c <= '9'; c = buffer.snextc()) {
      anyDigit = true;
      magnitude = magnitude * 10 + (c - '0');
      if (magnitude > limit) {
        map.setstate(std::ios::failbit);
        return false;
      }
    }
    if (c == std::char_traits<char>::eof()) map.setstate(std::ios::eofbit);
    if (!anyDigit) {
      map.setstate(std::ios::failbit);
      return false;
    }
    *value = static_cast<int>(negative ? -magnitude : magnitude);
    return true;
  } catch (...) {  // the stream's source failed, as `>>` reports it
    map.setstate(std::ios::badbit);
    return false;
  }
}

}  // namespace

bool MazeExplorer::LoadMaze(const char* fileName) {
  // A file that cannot be opened leaves the stream failed, so no cell changes.
  std::ifstream in;
  OpenRegularFile(in, fileName);
  LoadMazeFrom(in);
  return true;
}

int MazeExplorer::LoadMazeFrom(std::istream& map) {
  SkipByteOrderMark(map);
  int filled = 0;
  for (int32_t& cell : grid) {
    // A failed read leaves the cell alone, and the stream failed.
    if (!ReadInt(map, &cell)) break;
    ++filled;
  }

  path = PathStack();
  pose = Pose{};
  state = Choosing;
  path.push(pose);
  movedSinceLoad = false;
  SetPaused(true);
  return filled;
}

std::string MapFileText(const int32_t (&grid)[kCellCount]) {
  std::ostringstream map;
  for (int row = 0; row < kMazeSide; ++row) {
    for (int column = 0; column < kMazeSide; ++column) {
      if (column > 0) map << ' ';
      map << grid[IndexOfColumnRow(column, row)];
    }
    map << kLineEnd;
  }
  return map.str();
}

bool MazeExplorer::SaveMaze(const char* fileName, std::string* error) const {
  return ReplaceFileContents(fileName, MapFileText(grid), error);
}

bool MazeExplorer::IsWaitingAtStart() const { return state != Unloaded && !movedSinceLoad; }

bool MazeExplorer::IsOver() const { return state == FoundExit || state == NoExit; }

void MazeExplorer::SetPaused(bool isPaused) {
  paused = isPaused ? 1 : 0;
  stepping = false;
  held = false;
  queuedSteps = 0;
  heldBeforeProbe = false;
}

void MazeExplorer::StepToNextDecision() {
  if (state == Unloaded || IsOver()) return;
  if (stepping) {
    ++queuedSteps;
    return;
  }
  const bool probeHeldInFrontOf = heldBeforeProbe;
  if (paused == 1) SetPaused(false);
  stepping = true;
  heldBeforeProbe = probeHeldInFrontOf;
}

bool MazeExplorer::FacesHeading() const { return pose.angle == HeadingTable[pose.heading].angle; }

bool MazeExplorer::FacesUnknownCell() const {
  if (state != Choosing || !FacesHeading()) return false;
  const Pose next = pose + HeadingTable[pose.heading];
  const int ahead = CellAt(next.y, next.x);
  return !IsPassable(ahead) && !IsBlocked(ahead);
}

// On the last heading the search backs out of the cell. It would give up
// instead on the start cell with no other entry on the path, but there the
// last heading faces the outside of the grid, a Wall.
const char* MazeExplorer::BlockedCellMessage() const {
  return pose.heading != kLastHeading ? kNextHeadingMessage : kGoBackMessage;
}

bool MazeExplorer::HoldsAtDecision() {
  if (queuedSteps > 0 && !IsOver()) {
    --queuedSteps;
    return false;
  }
  SetPaused(true);
  held = true;
  return true;
}

int MazeExplorer::CellAt(int y, int x) const {
  if (x < 0 || x >= kMazeSide || y < 0 || y >= kMazeSide) return Wall;
  return grid[IndexOfColumnRow(x, y)];
}

void MazeExplorer::SetMessage(const char* text) {
  // Looks no further than the message can hold: `text` need not end within
  // that many characters.
  size_t length = 0;
  while (length < kMessageSize - 1 && text[length] != '\0') ++length;
  std::memcpy(message, text, length);
  message[length] = '\0';
}

bool MazeExplorer::Tick() {
  if (paused == 1) {
    if (held) {
      // The decision stays on the status line; a search that the step ended
      // says so, as its own frames would.
      if (state == FoundExit) SetMessage(kFoundExitMessage);
      if (state == NoExit) SetMessage(kNoExitMessage);
    } else if (IsWaitingAtStart() && !startNote.empty()) {
      SetMessage(startNote.c_str());
    } else if (editMode && IsWaitingAtStart()) {
      SetMessage(kEditMessage);
    } else {
      SetMessage(kRestMessage);
    }
    return false;
  }
  if (stepping && FacesUnknownCell()) {
    if (heldBeforeProbe) {
      heldBeforeProbe = false;  // the step runs the probe it held in front of
    } else if (HoldsAtDecision()) {
      SetMessage(BlockedCellMessage());
      heldBeforeProbe = true;
      return false;
    }
  }
  if (state != Unloaded) movedSinceLoad = true;
  const bool decides = state == Choosing && FacesHeading() && !FacesUnknownCell();
  switch (state) {
    case Advancing:
      StepAdvancing();
      break;
    case Choosing:
      StepChoosing();
      break;
    case FoundExit:
      SetMessage(kFoundExitMessage);
      break;
    case NoExit:
      SetMessage(kNoExitMessage);
      break;
    case Retreating:
      StepRetreating();
      break;
    case Unloaded:
      break;
  }
  if (stepping && (decides || IsOver())) HoldsAtDecision();
  return true;
}

bool MazeExplorer::TurnToward(int32_t target) {
  if (target < pose.angle) {
    pose.angle -= kTurnStep;
    return true;
  }
  pose.angle += kTurnStep;
  return false;
}

void MazeExplorer::StepChoosing() {
  const HeadingStep& step = HeadingTable[pose.heading];
  if (!FacesHeading()) {
    if (TurnToward(step.angle)) SetMessage(kTurnRightMessage);
    return;
  }

  // Facing the heading: probe the cell ahead.
  const Pose next = pose + step;
  const int ahead = CellAt(next.y, next.x);
  if (IsPassable(ahead)) {
    SetMessage(kCanMoveMessage);
    if (ahead == Open) grid[IndexOfColumnRow(next.x, next.y)] = Trail;
    path.push(next);
    pose.progress = 1;
    state = Advancing;
  } else if (IsBlocked(ahead)) {
    if (pose.heading != kLastHeading) {
      SetMessage(kNextHeadingMessage);
      ++pose.heading;
    } else {
      BackOut();
    }
  } else {
    // Neither passable nor blocked (a Marker or an unknown code): the search
    // cannot get past it. The turning rule runs against heading 0's angle, so
    // the explorer rocks 5 degrees and back, and probes again.
    if (TurnToward(HeadingTable[0].angle)) SetMessage(kTurnRightMessage);
  }
}

// All four headings of the current cell are blocked: drop its entry and go
// back to the previous cell, or give up when there is none.
void MazeExplorer::BackOut() {
  path.pop();
  if (path.empty()) {
    state = NoExit;
    return;
  }
  SetMessage(kGoBackMessage);
  grid[IndexOfColumnRow(pose.x, pose.y)] = DeadEnd;
  state = Retreating;
  pose.heading = HeadingToward(pose, path.top());
  pose.progress = 1;
}

void MazeExplorer::StepAdvancing() {
  if (pose.progress != kCellTicks) {
    ++pose.progress;
    return;
  }
  // Arrived: stand on the cell just entered, whose entry holds heading 0 and
  // progress 0, and search it unless it is the exit.
  pose = path.top();
  state = CellAt(pose.y, pose.x) == Exit ? FoundExit : Choosing;
}

void MazeExplorer::StepRetreating() {
  const int32_t target = HeadingTable[pose.heading].angle;
  if (pose.angle != target) {
    TurnToward(target);  // silent in both directions
    return;
  }
  if (pose.progress != kCellTicks) {
    ++pose.progress;
    return;
  }
  // Back on the previous cell, facing the way it was first entered; search it
  // again from heading 0.
  pose = path.top();
  state = Choosing;
}
