// ResetProgramState puts every global that the program changes back to the
// value it has when the process starts.
#include "shell/app/program_state.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>

#include "shell/app/frame_loop.h"
#include "shell/app/window.h"
#include "shell/main/application.h"
#include "shell/text/bitmap_text.h"
#include "tests/explorer_fixtures.h"
#include "ui/commands.h"
#include "ui/maze_editing.h"

namespace {

using explorer_test::Snapshot;
using explorer_test::TakeSnapshot;

// The globals other than the explorer. All are constant-initialised, so they
// hold their start values when this file's own initialisation reads them,
// before any test has run.
struct Globals {
  void* appInstance;
  const void* mapFileName;  // compared as addresses, not as strings
  const void* texturePixels;
  int32_t textureWidth, textureHeight;
  int fullScreenMode;
  uint32_t fontListBase;
  int renderingEnabled, currentFps, frameRateCapped;
  uint32_t frameIntervalMs;
  bool gentle, swapsFollowRefresh;
  int speedSetting;
  bool mapWriteFailureReported;
  bool dragging;
};

Globals ReadGlobals() {
  return Globals{AppInstance,
                 MapFileName,
                 TexturePixels,
                 TextureInfo.biWidth,
                 TextureInfo.biHeight,
                 FullScreenMode,
                 FontListBase,
                 RenderingEnabled,
                 CurrentFps,
                 FrameRateCapped,
                 FrameIntervalMs,
                 Gentle.on,
                 Gentle.swapsFollowRefresh,
                 SpeedSetting,
                 MapWriteFailureReported,
                 Drag.has_value()};
}

const Globals kAtStart = ReadGlobals();

const char kOtherMapFile[] = "other.txt";

// Every global away from its start value, as a run of the program leaves
// them or worse: the texture still allocated, the explorer mid-search.
void ChangeEveryGlobal() {
  static int instance;
  AppInstance = &instance;
  MapFileName = kOtherMapFile;
  TexturePixels = new unsigned char[12];
  TextureInfo.biWidth = 2;
  TextureInfo.biHeight = 2;
  FullScreenMode = 1;
  FontListBase = 7;
  RenderingEnabled = 1;
  CurrentFps = 60;
  FrameRateCapped = 1;
  FrameIntervalMs = 20;
  Gentle = GentlePacing{true, true};
  SpeedSetting = 50;
  MapWriteFailureReported = true;
  KnownMapFile = MapFileVersion{true, "1 9\n"};
  KnownMapStamp = FileStamp{7, 3, std::filesystem::file_time_type::clock::now()};
  Drag = Painting{PointerLeft, Open, {45, 314}, 0, {{1, Wall}}};
  Explorer.grid[0] = Open;
  Explorer.path.push(Pose{0, 0, 1, 90, 0});
  Explorer.pose = Pose{0, 0, 1, 90, 12};
  Explorer.state = Advancing;
  Explorer.paused = 1;
  Explorer.SetMessage(kGoBackMessage);
  Explorer.editMode = true;
  Explorer.startNote = kMapReloadedNote;
  Explorer.queuedSteps = 2;
  Explorer.heldBeforeProbe = true;
  MapInMemory = "1 1 9";
  Explorer.movedSinceLoad = true;
  Explorer.stepping = true;
  Explorer.held = true;
}

TEST(ResetProgramStateTest, PutsEveryGlobalBackToItsStartValue) {
  ChangeEveryGlobal();

  ResetProgramState();

  const Globals now = ReadGlobals();
  EXPECT_EQ(now.appInstance, kAtStart.appInstance);
  EXPECT_EQ(now.mapFileName, kAtStart.mapFileName);
  EXPECT_EQ(now.texturePixels, kAtStart.texturePixels);
  EXPECT_EQ(now.textureWidth, kAtStart.textureWidth);
  EXPECT_EQ(now.textureHeight, kAtStart.textureHeight);
  EXPECT_EQ(now.fullScreenMode, kAtStart.fullScreenMode);
  EXPECT_EQ(now.fontListBase, kAtStart.fontListBase);
  EXPECT_EQ(now.renderingEnabled, kAtStart.renderingEnabled);
  EXPECT_EQ(now.currentFps, kAtStart.currentFps);
  EXPECT_EQ(now.frameRateCapped, kAtStart.frameRateCapped);
  EXPECT_EQ(now.frameIntervalMs, kAtStart.frameIntervalMs);
  EXPECT_EQ(now.gentle, kAtStart.gentle);
  EXPECT_EQ(now.swapsFollowRefresh, kAtStart.swapsFollowRefresh);
  EXPECT_EQ(now.speedSetting, kAtStart.speedSetting);
  EXPECT_EQ(now.mapWriteFailureReported, kAtStart.mapWriteFailureReported);
  // Not constant-initialised, so not read before the tests: they start empty.
  EXPECT_TRUE(KnownMapFile == MapFileVersion{});
  EXPECT_TRUE(KnownMapStamp == FileStamp{});
  EXPECT_EQ(now.dragging, kAtStart.dragging);
  const MazeExplorer fresh;
  const Snapshot expected = TakeSnapshot(fresh);
  const Snapshot actual = TakeSnapshot(Explorer);
  EXPECT_EQ(actual.path, expected.path);
  EXPECT_EQ(actual.grid, expected.grid);
  EXPECT_EQ(actual.pose, expected.pose);
  EXPECT_EQ(actual.state, expected.state);
  EXPECT_EQ(actual.paused, expected.paused);
  EXPECT_EQ(actual.message, expected.message);
  EXPECT_EQ(Explorer.editMode, fresh.editMode);
  EXPECT_EQ(Explorer.movedSinceLoad, fresh.movedSinceLoad);
  EXPECT_EQ(Explorer.startNote, fresh.startNote);
  EXPECT_EQ(Explorer.queuedSteps, fresh.queuedSteps);
  EXPECT_EQ(Explorer.heldBeforeProbe, fresh.heldBeforeProbe);
  EXPECT_FALSE(MapInMemory);
  EXPECT_EQ(Explorer.stepping, fresh.stepping);
  EXPECT_EQ(Explorer.held, fresh.held);
}

}  // namespace
