#include "shell/app/window.h"

#include "shell/app/program_state.h"
#include "shell/platform/gl.h"
#include "shell/text/bitmap_text.h"

int CreateFullScreenWindow(int showCommand) {
  App.FullScreenMode = true;
  return PlatformCreateFullScreenWindow(WindowClassName, WindowTitle, showCommand) ? 1 : 0;
}

int CreateFramedWindow(int showCommand, int x, int y, int width, int height, const MenuBar& menu) {
  App.FullScreenMode = false;
  if (height == 0) x = y = width = height = kDefaultPlacement;
  const bool created = PlatformCreateFramedWindow(WindowClassName, WindowTitle, showCommand, x, y,
                                                  width, height, menu);
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
