// Every global the program changes while it runs is defined here, each
// declared in the header of the code that owns it, so that ResetProgramState
// beside them can put every one back to the value it starts with.
#include "shell/app/program_state.h"

#include "shell/app/frame_loop.h"
#include "shell/app/window.h"
#include "shell/main/application.h"
#include "shell/text/bitmap_text.h"
#include "ui/commands.h"
#include "ui/maze_editing.h"

namespace {

constexpr int kStartSpeedSetting = 100;

}  // namespace

MazeExplorer Explorer;

void* AppInstance = nullptr;

const char WindowClassName[] = "PathwickClass";
const char WindowTitle[] = "Pathwick --Demo Corvinder 2002-5-18";

const char* MapFileName = kDefaultMapFileName;

unsigned char* TexturePixels = nullptr;
BitmapInfoHeader TextureInfo = {};

int FullScreenMode = 0;

uint32_t FontListBase = 0;

int RenderingEnabled = 0;
int CurrentFps = 0;
int FrameRateCapped = 0;
uint32_t FrameIntervalMs = 0;
int FrameRateCap = 0;
GentlePacing Gentle;

int SpeedSetting = kStartSpeedSetting;

bool MapWriteFailureReported = false;
MapFileVersion KnownMapFile;
FileStamp KnownMapStamp;
std::optional<Painting> Drag;

void ResetProgramState() {
  Explorer = MazeExplorer();
  AppInstance = nullptr;
  MapFileName = kDefaultMapFileName;
  delete[] TexturePixels;
  TexturePixels = nullptr;
  TextureInfo = BitmapInfoHeader{};
  FullScreenMode = 0;
  FontListBase = 0;
  RenderingEnabled = 0;
  CurrentFps = 0;
  FrameRateCapped = 0;
  FrameIntervalMs = 0;
  FrameRateCap = 0;
  Gentle = GentlePacing();
  SpeedSetting = kStartSpeedSetting;
  MapWriteFailureReported = false;
  KnownMapFile = MapFileVersion{};
  KnownMapStamp = FileStamp{};
  Drag.reset();
}
