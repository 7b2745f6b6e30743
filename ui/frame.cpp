#include "ui/frame.h"

#include <cstdio>

#include "shell/app/program_state.h"
#include "shell/app/window.h"
#include "shell/platform/gl.h"
#include "shell/platform/platform.h"
#include "shell/text/bitmap_text.h"
#include "ui/maze_editing.h"

namespace {

const char kKeyLabel[] = "Key: ";
const char kKeyHelpFirst[] = "<Return>:Start | <SHIFT>:Pause | <CTRL>:Resume | <ESC>:Exit";
const char kKeyHelpSecond[] = "<UP>:Speed Up | <DOWN>:Speed down | <End>: Full speed";

// Where each text's baseline starts, in scene units. Full screen puts the
// key help in the top rows and the title line at the bottom; the framed
// window puts the title line in the top row.
struct TextPosition {
  int x;
  int y;
};
constexpr TextPosition kKeyLabelAt = {0, 350};
constexpr TextPosition kKeyHelpFirstAt = {50, 350};
constexpr TextPosition kKeyHelpSecondAt = {50, 335};
constexpr TextPosition kFullScreenTitleAt = {0, 0};
constexpr TextPosition kFramedTitleAt = {0, 350};

void DrawText(const char* text, TextPosition at) { DrawString(text, at.x, at.y); }

// Full screen: key help at the top (where there is a keyboard to press the
// keys), title line at the bottom.
void DrawFullScreenText(const char* titleLine) {
  if (PlatformHasKeyboard()) {
    glColor3f(0.0f, 1.0f, 0.0f);
    DrawText(kKeyLabel, kKeyLabelAt);
    DrawText(kKeyHelpFirst, kKeyHelpFirstAt);
    DrawText(kKeyHelpSecond, kKeyHelpSecondAt);
  }
  glColor3f(1.0f, 0.0f, 1.0f);
  DrawText(titleLine, kFullScreenTitleAt);
}

// Framed window: the title line takes the top row. No key help is drawn;
// the menu bar offers the commands.
void DrawFramedText(const char* titleLine) {
  glColor3f(1.0f, 0.0f, 1.0f);
  DrawText(titleLine, kFramedTitleAt);
}

}  // namespace

void FormatTitleLine(char (&line)[kTitleLineSize], int fps) {
  std::snprintf(line, sizeof line, "%s ---FPS: %d", WindowTitle, fps);
}

int DrawFrame(int fps) {
  char titleLine[kTitleLineSize];
  FormatTitleLine(titleLine, fps);

  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  // A map being edited follows changes that another program makes to it.
  FollowMapFile();
  // Red for the status line that StepFrame draws.
  glColor3f(1.0f, 0.0f, 0.0f);
  App.Explorer.StepFrame();
  App.Explorer.DrawScene();
  if (App.FullScreenMode) {
    DrawFullScreenText(titleLine);
  } else {
    DrawFramedText(titleLine);
  }
  PlatformSwapBuffers();
  return fps;
}
