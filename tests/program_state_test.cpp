// A second start of the program in the same process behaves as the first:
// ResetProgramState leaves nothing of a run behind. The test is the only one
// of its program, so that its first run starts from the process's own start.
#include "shell/app/program_state.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "shell/main/application.h"
#include "shell/platform/offscreen/platform_offscreen.h"
#include "tests/bmp_fixture.h"
#include "tests/explorer_fixtures.h"
#include "tests/offscreen_program.h"

namespace {

using explorer_test::MapText;
using explorer_test::ScratchDir;
using explorer_test::WallsWith;

// What a run showed and left: every frame's picture, the map file it edited,
// its exit code.
struct RunRecord {
  std::vector<std::vector<uint32_t>> pictures;
  std::string mapAfter;
  int exitCode = 0;
};

// The middle of the cell of `column`, `row` on the 360 x 360 drawing area.
int CellX(int column) { return 45 + 30 * column; }
int CellY(int row) { return 359 - (45 + 30 * row); }

// What a user does once frame `frame` has been shown.
using Script = std::function<void(int frame)>;

class ProgramRuns {
 public:
  ProgramRuns()
      : texture_(dir_.Write(
            "stone.bmp",
            bmp_fixture::BmpFile(2, 2, {{200, 0, 0}, {0, 200, 0}, {0, 0, 200}, {90, 90, 90}}))) {}

  // Runs the program in edit mode on a fresh copy of the map, the walls
  // textured or not, with the platform's clock moving a millisecond a read,
  // doing `script` after each frame.
  RunRecord Run(LaunchOptions options, bool textured, const Script& script) {
    RunRecord record;
    options.mapFile = dir_.Write(
        "maze" + std::to_string(++runs_) + ".txt",
        MapText(WallsWith({{0, 0, Open}, {1, 0, Open}, {2, 0, Open}, {2, 1, Open}, {2, 2, Exit}})));
    options.textureFile = textured ? texture_ : dir_.PathOf("missing.bmp");
    options.edit = true;
    offscreen::Platform& platform = offscreen::Get();
    platform.tickStep = 1;
    platform.onSwap = [&record, &script] {
      record.pictures.emplace_back();
      offscreen::ReadPicture(record.pictures.back());
      script(static_cast<int>(record.pictures.size()));
    };
    record.exitCode = RunApplication(options);
    std::ifstream map(options.mapFile, std::ios::binary);
    record.mapAfter.assign(std::istreambuf_iterator<char>(map), std::istreambuf_iterator<char>());
    return record;
  }

 private:
  ScratchDir dir_;
  std::string texture_;
  int runs_ = 0;
};

// The run compared: framed, no texture (so a texture kept from an earlier
// run would show); a speed step, a click that edits a cell, Start, a few
// frames of the search, Escape.
RunRecord ProbeRun(ProgramRuns& runs) {
  LaunchOptions options;
  options.window = WindowChoice::Framed;
  return runs.Run(options, false, [](int frame) {
    if (frame == 1) offscreen::QueueMessage(MessageKind::KeyDown, KeyUp);
    if (frame == 2) {
      offscreen::QueuePointer(MessageKind::PointerDown, PointerLeft, CellX(0), CellY(1));
      offscreen::QueuePointer(MessageKind::PointerUp, PointerLeft, CellX(0), CellY(1));
    }
    if (frame == 3) offscreen::QueueMessage(MessageKind::KeyDown, KeyReturn);
    if (frame == 12) offscreen::QueueMessage(MessageKind::KeyDown, KeyEscape);
  });
}

// A run that leaves as much changed as a run can: full screen, gentle
// pacing, the speed stepped down, the texture read, the explorer paused in
// the middle of its search, a drag still held and the instance set.
void ChangingRun(ProgramRuns& runs) {
  static int instance;
  App.AppInstance = &instance;
  LaunchOptions options;
  options.window = WindowChoice::FullScreen;
  options.gentle = true;
  const RunRecord record = runs.Run(options, true, [](int frame) {
    if (frame == 1) {
      for (int i = 0; i < 3; ++i) offscreen::QueueMessage(MessageKind::KeyDown, KeyDown);
      offscreen::QueuePointer(MessageKind::PointerDown, PointerRight, CellX(1), CellY(1));
      offscreen::QueuePointer(MessageKind::PointerMove, PointerRight, CellX(1), CellY(2));
    }
    if (frame == 2) offscreen::QueueMessage(MessageKind::KeyDown, KeyReturn);
    if (frame == 30) offscreen::QueueMessage(MessageKind::KeyDown, KeyShift);
    if (frame == 32) offscreen::QueueMessage(MessageKind::KeyDown, KeyEscape);
  });
  // The run did change what the probe would see.
  ASSERT_EQ(record.pictures.size(), 32u);
  ASSERT_TRUE(App.FullScreenMode && App.Gentle.on && App.Drag && App.SpeedSetting == 85);
}

TEST(ProgramStateTest, SecondStartAfterAResetBehavesAsTheFirst) {
  ProgramRuns runs;
  const RunRecord first = ProbeRun(runs);
  ASSERT_EQ(first.pictures.size(), 12u);
  ResetProgram();

  ChangingRun(runs);
  ResetProgram();
  const RunRecord again = ProbeRun(runs);

  EXPECT_EQ(again.exitCode, first.exitCode);
  EXPECT_EQ(again.mapAfter, first.mapAfter);
  ASSERT_EQ(again.pictures.size(), first.pictures.size());
  for (size_t i = 0; i < first.pictures.size(); ++i) {
    EXPECT_TRUE(again.pictures[i] == first.pictures[i]) << "frame " << i + 1 << " differs";
  }
}

}  // namespace
