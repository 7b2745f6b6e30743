// Frame-rate benchmark, on the dummy platform with an offscreen OSMesa
// context and the steady clock:
//  1. how many frames per second the whole program draws uncapped, at the
//     framed window's 420 x 420 and at a 1920 x 1080 full screen, while the
//     explorer searches the map (restarted with the Return key whenever a
//     search ends, so it never stands still);
//  2. how closely the frame loop's cap holds the rate it promises,
//     1000 / interval, with a callback that does nothing but count.
//
// Usage: pathwick_bench [DATA_DIR]   (DATA_DIR holds MazeMap.txt and
// Stone.BMP; by default the source tree's data folder)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "shell/application.h"
#include "shell/frame_loop.h"
#include "shell/gl.h"
#include "shell/platform.h"
#include "tests/test_platform.h"

namespace {

using Clock = std::chrono::steady_clock;

// How long each case runs.
constexpr std::chrono::seconds kRunTime{2};

double SecondsBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

// Frames seen by a run, from the first frame on: the set-up before it is not
// timed.
struct FrameCount {
  int frames = 0;
  Clock::time_point first;
  Clock::time_point last;
  double longestGapMs = 0;  // the longest time between two frame starts

  // Counts a frame; true once the run has lasted kRunTime.
  bool Add() {
    const Clock::time_point now = Clock::now();
    if (frames++ == 0) {
      first = now;
    } else {
      longestGapMs = std::max(longestGapMs, 1000 * SecondsBetween(last, now));
    }
    last = now;
    return last - first >= kRunTime;
  }
  double PerSecond() const { return (frames - 1) / SecondsBetween(first, last); }
};

struct DrawCase {
  const char* label;
  int width, height;
  WindowChoice window;
};

struct DrawResult {
  FrameCount count;
  int searches = 0;
  int shownFps = 0;
  std::string renderer;
};

// Runs the program itself, its frame loop drawing every frame, and steers it
// by key as a user would: Return starts a search (again), Escape ends.
DrawResult RunProgram(const DrawCase& drawCase, const std::string& dataDir) {
  const std::string mapFile = dataDir + "/MazeMap.txt";
  const std::string textureFile = dataDir + "/Stone.BMP";
  fake::Reset();
  fake::Platform& platform = fake::Get();
  platform.realClock = true;
  platform.clientWidth = drawCase.width;
  platform.clientHeight = drawCase.height;

  DrawResult result;
  bool quitting = false;
  platform.onSwap = [&] {
    if (result.count.frames == 0) {
      result.renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    }
    const bool timeUp = result.count.Add();
    if (quitting) return;
    if (timeUp) {
      fake::QueueMessage(MessageKind::KeyDown, KeyEscape);
      quitting = true;
    } else if (Explorer.paused != 0 || Explorer.state == FoundExit || Explorer.state == NoExit) {
      fake::QueueMessage(MessageKind::KeyDown, KeyReturn);
      ++result.searches;
    }
  };
  LaunchOptions options;
  options.window = drawCase.window;
  options.mapFile = mapFile.c_str();
  options.textureFile = textureFile.c_str();
  RunApplication(options);
  result.shownFps = CurrentFps;
  fake::Reset();
  return result;
}

void ReportDrawing(const std::string& dataDir) {
  const DrawCase cases[] = {
      {"framed 420x420", 420, 420, WindowChoice::Framed},
      {"full screen 1920x1080", 1920, 1080, WindowChoice::FullScreen},
  };
  std::printf("Drawing: the program's frames, uncapped, offscreen\n");
  std::printf("%-22s %8s %10s %10s %10s %9s\n", "window", "frames", "frames/s", "ms/frame",
              "shown FPS", "searches");
  std::string renderer;
  for (const DrawCase& drawCase : cases) {
    const DrawResult result = RunProgram(drawCase, dataDir);
    const double perSecond = result.count.PerSecond();
    std::printf("%-22s %8d %10.1f %10.3f %10d %9d\n", drawCase.label, result.count.frames,
                perSecond, 1000.0 / perSecond, result.shownFps, result.searches);
    renderer = result.renderer;
  }
  std::printf("(renderer: %s)\n\n", renderer.c_str());
}

// The cap's run: frames counted by a callback that does nothing else.
FrameCount capCount;

int CountFrame(int /*fps*/) {
  if (capCount.Add()) PlatformPostQuit(0);
  return 0;
}

void ReportCap() {
  std::printf("Frame-rate cap: the frame loop with a counting callback, %lld s each\n",
              static_cast<long long>(kRunTime.count()));
  std::printf("%6s %12s %18s %18s %10s %12s\n", "rate", "interval ms", "promised 1000/ms",
              "measured frames/s", "shown FPS", "longest ms");
  for (const int rate : {15, 100, 105}) {
    fake::Reset();
    fake::Get().realClock = true;
    RenderingEnabled = 1;
    SetFrameRate(rate);
    capCount = FrameCount();
    RunFrameLoop(CountFrame);
    std::printf("%6d %12u %18.2f %18.2f %10d %12.1f\n", rate, FrameIntervalMs,
                1000.0 / FrameIntervalMs, capCount.PerSecond(), CurrentFps, capCount.longestGapMs);
  }
  fake::Reset();
}

}  // namespace

int main(int argc, char** argv) {
  const std::string dataDir = argc > 1 ? argv[1] : PATHWICK_DATA_DIR;
  if (!std::ifstream(dataDir + "/MazeMap.txt")) {
    std::fprintf(stderr, "pathwick_bench: cannot read %s/MazeMap.txt\n", dataDir.c_str());
    return 1;
  }
  ReportDrawing(dataDir);
  ReportCap();
  return 0;
}
