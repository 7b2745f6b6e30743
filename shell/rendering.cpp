#include "shell/rendering.h"

#include "shell/application.h"
#include "shell/bitmap_text.h"
#include "shell/gl.h"
#include "shell/platform.h"
#include "ui/commands.h"

int FullScreenMode = 0;

int CreateFullScreenWindow() {
  FullScreenMode = 1;
  return PlatformCreateFullScreenWindow(WindowTitle) ? 1 : 0;
}

int CreateFramedWindow(int x, int y, int width, int height) {
  FullScreenMode = 0;
  const bool created =
      PlatformCreateFramedWindow(WindowTitle, x, y, width, height, MainMenu, kMenuItemCount);
  return created ? 1 : 0;
}

int InitRendering() {
  if (!PlatformCreateContext()) return 0;
  glColor3f(1.0f, 1.0f, 1.0f);
  glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
  glClearDepth(1.0);
  glEnable(GL_DEPTH_TEST);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  BuildFont();
  return 1;
}

void ShutdownRendering() {
  DeleteFont();
  PlatformDestroyContext();
}
