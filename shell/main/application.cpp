#include "shell/main/application.h"

#include "shell/app/frame_loop.h"
#include "shell/app/window.h"
#include "shell/platform/gl.h"
#include "shell/platform/platform.h"
#include "shell/text/text_ids.h"
#include "ui/commands.h"
#include "ui/maze_editing.h"
#include "ui/viewport.h"

// The program's own texts, shown in the user's language where a catalog has
// them (PlatformLocalizedText).
const char kFullScreenQuestion[] = "是否要工作在全屏模式?";
const char kFullScreenQuestionCaption[] = "迷宫DEMO";

namespace {

// The framed window's outer frame, at the screen's top-left corner.
constexpr int kFramedX = 0;
constexpr int kFramedY = 0;
constexpr int kFramedWidth = 420;
constexpr int kFramedHeight = 420;

constexpr int kExitCode = 1;

bool WantsFullScreen(WindowChoice choice) {
  if (choice == WindowChoice::Ask) {
    return PlatformAskOkCancel(
               PlatformLocalizedText(TextQuestion, kFullScreenQuestion),
               PlatformLocalizedText(TextQuestionCaption, kFullScreenQuestionCaption)) !=
           QuestionAnswer::Cancel;
  }
  return choice == WindowChoice::FullScreen;
}

bool Fail(const char* reason) {
  PlatformNotify(NoticeKind::Error, reason);
  return false;
}

}  // namespace

int CreateWindowFor(bool fullScreen, int showCommand) {
  if (fullScreen) return CreateFullScreenWindow(showCommand);
  return CreateFramedWindow(showCommand, kFramedX, kFramedY, kFramedWidth, kFramedHeight,
                            LocalizedMenuBar());
}

int StartRendering(const char* textureFile) {
  if (InitRendering() == 0) return 0;

  // Fixed rendering state and the wall texture.
  glEnable(GL_CULL_FACE);
  LoadWallTexture(textureFile);

  // The first fit that reaches OpenGL; earlier ones came before the context.
  App.RenderingEnabled = true;
  FitViewport();
  return 1;
}

void LoadWallTexture(const char* fileName) {
  // What the file holds replaces what an earlier call read; a file that
  // cannot be read leaves null pixels and a zero header (LoadBitmapFile
  // does not touch them then): the empty texture.
  unsigned char* pixels = nullptr;
  BitmapInfoHeader info{};
  LoadBitmapFile(fileName, &pixels, &info);
  App.TexturePixels.reset(pixels);
  App.TextureInfo = info;
  // Fills the default texture object; rows start on 4-byte boundaries, as in
  // the BMP pixel array, and the first row is the image's bottom row.
  glTexImage2D(GL_TEXTURE_2D, 0, 3, App.TextureInfo.biWidth, App.TextureInfo.biHeight, 0,
               GL_BGR_EXT, GL_UNSIGNED_BYTE, App.TexturePixels.get());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
}

bool StartApplication(const LaunchOptions& options) {
  // Initialise: the maze first, then the window system.
  // The map file is the one Return reloads and, in edit mode, the one the
  // edits are written to.
  App.MapFileName = options.mapFile.c_str();
  App.MapInMemory = options.mapText;
  App.Explorer.editMode = options.edit;
  LoadMapFile();

  const char* displayError = nullptr;
  if (!PlatformOpen(PlatformSetup{App.AppInstance, MainWindowProc}, &displayError)) {
    return Fail(displayError);
  }

  // Full screen, or the framed window with its menu.
  if (CreateWindowFor(WantsFullScreen(options.window), options.showCommand) == 0) {
    return Fail("cannot create the window");
  }
  if (StartRendering(options.textureFile.c_str()) == 0) {
    PlatformDestroyWindow();
    return Fail("cannot create an OpenGL context for the window");
  }
  return true;
}

void EndApplication() {
  App.TexturePixels.reset();
  ShutdownRendering();
}

int RunApplication(const LaunchOptions& options) {
  if (!StartApplication(options)) return kExitCode;
  if (options.gentle) App.Gentle = GentlePacing{true, PlatformSyncSwapsToRefresh()};
  // Loop until the window is destroyed.
  RunFrameLoop(options.frame);
  EndApplication();
  return kExitCode;
}
