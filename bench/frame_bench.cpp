// Frame-rate benchmark, on the offscreen platform with offscreen OSMesa contexts
// and the steady clock:
//  1. the program against its floor, uncapped, at the framed window's
//     420 x 420 and at a 1920 x 1080 full screen. The program runs whole,
//     its frame loop drawing every frame while the explorer searches the map
//     (restarted with the Return key whenever a search ends, so it never
//     stands still). The floor (floor_frame.h) draws the same OpenGL work
//     by hand and nothing else. The two take turns in rounds of about a
//     second within one run, so both meet the same machine and the same
//     load: absolute rates swing with both, the ratio program / floor is the
//     figure that carries over from run to run. The page faults per frame
//     of either side do not depend on the load;
//  2. how closely the frame loop's cap holds the rate it promises,
//     1000 / interval, with a callback that does nothing but count, and the
//     processor time the wait for the cap takes.
//
// Usage: pathwick_bench [DATA_DIR]   (DATA_DIR holds MazeMap.txt and
// Stone.BMP; by default the source tree's data folder)
#include <GL/osmesa.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/floor_frame.h"
#include "shell/app/frame_loop.h"
#include "shell/app/program_state.h"
#include "shell/main/application.h"
#include "shell/main/heap.h"
#include "shell/platform/gl.h"
#include "shell/platform/offscreen/platform_offscreen.h"
#include "shell/platform/platform.h"

namespace {

using Clock = std::chrono::steady_clock;

// Rounds for each window size, after one that warms up; in each round the
// program and the floor take kTurnsPerRound turns of kTurnTime each, so
// about a second each.
constexpr int kRounds = 7;
constexpr int kTurnsPerRound = 5;
constexpr Clock::duration kTurnTime = std::chrono::milliseconds(200);
// How long each rate of the cap runs.
constexpr Clock::duration kCapRunTime = std::chrono::seconds(2);

double SecondsBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

// Frames seen by a run of the cap, from the first frame on.
class FrameCount {
 public:
  explicit FrameCount(Clock::duration runTime) : runTime_(runTime) {}

  // Counts a frame; true once the run has lasted its time.
  bool Add() {
    const Clock::time_point now = Clock::now();
    if (frames_++ == 0) {
      first_ = now;
    } else {
      longestGapMs_ = std::max(longestGapMs_, 1000 * SecondsBetween(last_, now));
    }
    last_ = now;
    return last_ - first_ >= runTime_;
  }

  // The longest time between two frame starts.
  double longestGapMs() const { return longestGapMs_; }
  // 0 until two frames have been seen.
  double PerSecond() const {
    return frames_ < 2 ? 0.0 : (frames_ - 1) / SecondsBetween(first_, last_);
  }

 private:
  Clock::duration runTime_;
  int frames_ = 0;
  Clock::time_point first_;
  Clock::time_point last_;
  double longestGapMs_ = 0;
};

struct DrawCase {
  const char* label;
  int width, height;
  WindowChoice window;
};

// Minor page faults of the whole process so far: pages the system had to
// map in afresh, such as heap memory given back and touched again.
long MinorFaults() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_minflt;
}

// Frames drawn, the time they took and the page faults they caused.
struct Tally {
  int frames = 0;
  Clock::duration time{};
  long faults = 0;

  double PerSecond() const { return frames / std::chrono::duration<double>(time).count(); }
  double FaultsPerFrame() const { return static_cast<double>(faults) / frames; }
};

struct RoundFps {
  double program, floor;
  double programFaults, floorFaults;  // per frame
};

// Lets the program and the floor take turns of kTurnTime within one run of
// the program, so that both meet the same load. Runs at the end of each
// program frame: counts the frame and, once the program's turn has lasted
// kTurnTime, lends the floor its own context for a turn as long, then gives
// the program's context back. kTurnsPerRound turns of each make a round.
class TakingTurns {
 public:
  explicit TakingTurns(FloorRenderer* floor) : floor_(floor) {}

  // Counts the program frame that has just ended; false once every round is
  // done.
  bool ProgramFrameDone() {
    const Clock::time_point now = Clock::now();
    if (!started_) {
      // The first frame paid for the set-up and is not counted.
      started_ = true;
      turnStart_ = now;
      turnStartFaults_ = MinorFaults();
      return true;
    }
    ++program_.frames;
    if (now - turnStart_ < kTurnTime) return true;
    program_.time += now - turnStart_;
    program_.faults += MinorFaults() - turnStartFaults_;
    FloorTurn();
    if (++turns_ == kTurnsPerRound) EndRound();
    turnStart_ = Clock::now();
    turnStartFaults_ = MinorFaults();
    return static_cast<int>(rounds_.size()) < kRounds + 1;
  }

  // The rounds' rates, the first round (which warms the renderer up) left out.
  std::vector<RoundFps> CountedRounds() const {
    if (rounds_.empty()) return {};
    return std::vector<RoundFps>(rounds_.begin() + 1, rounds_.end());
  }

 private:
  void FloorTurn() {
    OSMesaContext programContext = OSMesaGetCurrentContext();
    GLint width = 0, height = 0, format = 0;
    void* buffer = nullptr;
    OSMesaGetColorBuffer(programContext, &width, &height, &format, &buffer);
    floor_->MakeCurrent();
    const long startFaults = MinorFaults();
    const Clock::time_point start = Clock::now();
    Clock::time_point now;
    do {
      floor_->DrawFrame();
      ++floorTally_.frames;
      now = Clock::now();
    } while (now - start < kTurnTime);
    floorTally_.time += now - start;
    floorTally_.faults += MinorFaults() - startFaults;
    OSMesaMakeCurrent(programContext, buffer, GL_UNSIGNED_BYTE, width, height);
  }

  void EndRound() {
    rounds_.push_back(RoundFps{program_.PerSecond(), floorTally_.PerSecond(),
                               program_.FaultsPerFrame(), floorTally_.FaultsPerFrame()});
    program_ = Tally();
    floorTally_ = Tally();
    turns_ = 0;
  }

  FloorRenderer* floor_;
  bool started_ = false;
  Clock::time_point turnStart_;
  long turnStartFaults_ = 0;
  int turns_ = 0;
  Tally program_;
  Tally floorTally_;
  std::vector<RoundFps> rounds_;
};

// Runs the program itself, its frame loop drawing every frame, steered by
// key as a user would (Return starts a search, again whenever one ends;
// Escape ends), taking turns with the floor. False when either could not
// draw.
bool RunRounds(const DrawCase& drawCase, const std::string& dataDir, const FloorScene& scene,
               std::vector<RoundFps>* rounds, std::string* renderer) {
  FloorRenderer floor(scene, drawCase.width, drawCase.height,
                      drawCase.window == WindowChoice::FullScreen);
  if (!floor.ok()) return false;
  TakingTurns turns(&floor);

  const std::string mapFile = dataDir + "/MazeMap.txt";
  const std::string textureFile = dataDir + "/Stone.BMP";
  ResetProgramState();
  offscreen::Reset();
  offscreen::Platform& platform = offscreen::Get();
  platform.realClock = true;
  platform.clientWidth = drawCase.width;
  platform.clientHeight = drawCase.height;
  bool quitting = false;
  platform.onSwap = [&] {
    if (quitting) return;
    if (renderer->empty()) *renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    if (!turns.ProgramFrameDone()) {
      offscreen::QueueMessage(MessageKind::KeyDown, KeyEscape);
      quitting = true;
    } else if (App.Explorer.paused != 0 || App.Explorer.state == FoundExit ||
               App.Explorer.state == NoExit) {
      offscreen::QueueMessage(MessageKind::KeyDown, KeyReturn);
    }
  };
  LaunchOptions options;
  options.window = drawCase.window;
  options.mapFile = mapFile.c_str();
  options.textureFile = textureFile.c_str();
  RunApplication(options);
  ResetProgramState();
  offscreen::Reset();
  *rounds = turns.CountedRounds();
  return static_cast<int>(rounds->size()) == kRounds;
}

struct Spread {
  double min, median, max;
};

Spread SpreadOf(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t middle = values.size() / 2;
  const double median =
      values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
  return Spread{values.front(), median, values.back()};
}

void PrintRounds(const char* label, const std::vector<RoundFps>& rounds) {
  std::vector<double> program, floor, ratio, programFaults, floorFaults;
  for (const RoundFps& round : rounds) {
    program.push_back(round.program);
    floor.push_back(round.floor);
    ratio.push_back(round.program / round.floor);
    programFaults.push_back(round.programFaults);
    floorFaults.push_back(round.floorFaults);
  }
  const Spread p = SpreadOf(program);
  const Spread f = SpreadOf(floor);
  const Spread r = SpreadOf(ratio);
  std::printf("%-22s %7.1f %7.1f %7.1f %7.1f %7.1f %7.1f %7.3f %7.3f %7.3f %9.1f %9.1f\n", label,
              p.min, p.median, p.max, f.min, f.median, f.max, r.min, r.median, r.max,
              SpreadOf(programFaults).max, SpreadOf(floorFaults).max);
}

bool ReportDrawing(const std::string& dataDir, const FloorScene& scene) {
  const DrawCase cases[] = {
      {"framed 420x420", 420, 420, WindowChoice::Framed},
      {"full screen 1920x1080", 1920, 1080, WindowChoice::FullScreen},
  };
  std::printf(
      "Drawing: the program against its floor, uncapped, offscreen; %d rounds, each %d turns of "
      "%.1f s for either\n",
      kRounds, kTurnsPerRound, std::chrono::duration<double>(kTurnTime).count());
  std::printf("%-22s %-23s %-23s %-23s %s\n", "", "program frames/s", "floor frames/s",
              "program / floor", "page faults/frame");
  std::printf("%-22s %7s %7s %7s %7s %7s %7s %7s %7s %7s %9s %9s\n", "window", "min", "median",
              "max", "min", "median", "max", "min", "median", "max", "program", "floor");
  std::string renderer;
  for (const DrawCase& drawCase : cases) {
    std::vector<RoundFps> rounds;
    if (!RunRounds(drawCase, dataDir, scene, &rounds, &renderer)) {
      std::fprintf(stderr, "pathwick_bench: cannot draw at %s\n", drawCase.label);
      return false;
    }
    PrintRounds(drawCase.label, rounds);
  }
  std::printf(
      "(renderer: %s; the ratio is the median of the rounds' ratios; page faults per frame: the "
      "round with the most)\n\n",
      renderer.c_str());
  return true;
}

// The cap's run: frames counted by a callback that does nothing else.
FrameCount capCount(kCapRunTime);

int CountFrame(int /*fps*/) {
  if (capCount.Add()) PlatformPostQuit(0);
  return 0;
}

// The processor time (user and system) the process has used so far.
double ProcessorSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void ReportCap() {
  std::printf("Frame-rate cap: the frame loop with a counting callback, %.0f s each\n",
              std::chrono::duration<double>(kCapRunTime).count());
  std::printf("%6s %12s %18s %18s %10s %12s %8s %14s\n", "rate", "interval ms", "promised 1000/ms",
              "measured frames/s", "shown FPS", "longest ms", "core %", "CPU us/frame");
  for (const int rate : {15, 100, 105}) {
    ResetProgramState();
    offscreen::Reset();
    offscreen::Get().realClock = true;
    App.RenderingEnabled = true;
    SetFrameRate(rate);
    capCount = FrameCount(kCapRunTime);
    const Clock::time_point start = Clock::now();
    const double startCpu = ProcessorSeconds();
    RunFrameLoop(CountFrame);
    const double cpu = ProcessorSeconds() - startCpu;
    const double seconds = SecondsBetween(start, Clock::now());
    std::printf("%6d %12u %18.2f %18.2f %10d %12.1f %8.1f %14.0f\n", rate, App.FrameIntervalMs,
                1000.0 / App.FrameIntervalMs, capCount.PerSecond(), App.CurrentFps,
                capCount.longestGapMs(), 100 * cpu / seconds,
                1e6 * cpu / (capCount.PerSecond() * seconds));
  }
  ResetProgramState();
  offscreen::Reset();
}

}  // namespace

int main(int argc, char** argv) {
  // As the program does at start.
  KeepFreedMemoryInHeap();
  const std::string dataDir = argc > 1 ? argv[1] : PATHWICK_DATA_DIR;
  FloorScene scene;
  std::string error;
  if (!LoadFloorScene(dataDir, &scene, &error)) {
    std::fprintf(stderr, "pathwick_bench: %s\n", error.c_str());
    return 1;
  }
  if (!ReportDrawing(dataDir, scene)) return 1;
  ReportCap();
  return 0;
}
