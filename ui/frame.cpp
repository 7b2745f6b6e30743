#include "ui/frame.h"

#include <cstdio>

#include "shell/application.h"
#include "shell/bitmap_text.h"
#include "shell/gl.h"
#include "shell/platform.h"
#include "shell/rendering.h"

namespace {

const char kKeyLabel[] = "Key: ";
const char kKeyHelpFirst[] = "<Return>:Start | <SHIFT>:Pause | <CTRL>:Resume | <ESC>:Exit";
const char kKeyHelpSecond[] = "<UP>:Speed Up | <DOWN>:Speed down | <End>: Full speed";

// Full screen: key help at the top, title line at the bottom.
void DrawFullScreenText(const char* titleLine) {
  glColor3f(0.0f, 1.0f, 0.0f);
  DrawString(kKeyLabel, 0, 350);
  DrawString(kKeyHelpFirst, 50, 350);
  DrawString(kKeyHelpSecond, 50, 335);
  glColor3f(1.0f, 0.0f, 1.0f);
  DrawString(titleLine, 0, 0);
}

// Framed window: the title line takes the top row; the menu shows the keys.
void DrawFramedText(const char* titleLine) {
  glColor3f(1.0f, 0.0f, 1.0f);
  DrawString(titleLine, 0, 350);
}

}  // namespace

void FormatTitleLine(char (&line)[kTitleLineSize], int fps) {
  std::snprintf(line, sizeof line, "%s ---FPS: %d", WindowTitle, fps);
}

int DrawFrame(int fps) {
  char titleLine[kTitleLineSize];
  FormatTitleLine(titleLine, fps);

  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  // Red for the status line that StepFrame draws.
  glColor3f(1.0f, 0.0f, 0.0f);
  Explorer.StepFrame();
  Explorer.DrawScene();
  if (FullScreenMode != 0) {
    DrawFullScreenText(titleLine);
  } else {
    DrawFramedText(titleLine);
  }
  PlatformSwapBuffers();
  return fps;
}
