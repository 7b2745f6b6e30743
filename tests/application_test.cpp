// Start-up and tear-down against the offscreen platform: the full-screen
// question and the window it leads to, the order of the set-up, the failures
// that end the run early, the wall texture, and the exit code.
#include "shell/main/application.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "shell/app/frame_loop.h"
#include "shell/app/window.h"
#include "shell/platform/gl.h"
#include "shell/platform/offscreen/platform_offscreen.h"
#include "tests/bmp_fixture.h"
#include "tests/explorer_fixtures.h"
#include "tests/offscreen_program.h"
#include "ui/commands.h"

namespace {

using bmp_fixture::BmpFile;
using bmp_fixture::Rgb8;
using explorer_test::Grid;
using explorer_test::GridOf;
using explorer_test::MapText;
using explorer_test::ScratchDir;
using explorer_test::WallsWith;

const char kQuestion[] = "是否要工作在全屏模式?";
const char kQuestionCaption[] = "迷宫DEMO";
const char kTitle[] = "Pathwick --Demo Corvinder 2002-5-18";

const Grid kMap = WallsWith({{0, 0, Open}, {1, 0, Open}, {1, 1, Exit}});
const Grid kEditedMap = WallsWith({{0, 0, Open}, {0, 1, Exit}});

// 2 x 2: a row of 6 bytes padded to 8, so the upload must read with 4-byte rows.
const std::vector<Rgb8> kTexels = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {10, 20, 30}};

class ApplicationTest : public ::testing::Test {
 protected:
  void SetUp() override { Arrange(); }
  void TearDown() override { ResetProgram(); }

  // Fresh platform and files; options naming the map and the texture fixture.
  void Arrange() {
    ResetProgram();
    mapFile_ = dir_.Write("maze.txt", MapText(kMap));
    textureFile_ = dir_.Write("stone.bmp", BmpFile(2, 2, kTexels));
    options_.mapFile = mapFile_.c_str();
    options_.textureFile = textureFile_.c_str();
    // One frame, then Escape closes the window.
    offscreen::Get().onSwap = [] { offscreen::QueueMessage(MessageKind::KeyDown, KeyEscape); };
  }

  ScratchDir dir_;
  std::string mapFile_;
  std::string textureFile_;
  LaunchOptions options_;
};

// --- The window chosen at start ----------------------------------------------------

struct WindowCase {
  const char* name;
  WindowChoice choice;
  QuestionAnswer answer;
  bool asked;
  bool fullScreen;
};

std::ostream& operator<<(std::ostream& out, const WindowCase& c) { return out << c.name; }

const WindowCase kWindowCases[] = {
    {"cancel_gives_framed_window", WindowChoice::Ask, QuestionAnswer::Cancel, true, false},
    {"ok_gives_full_screen", WindowChoice::Ask, QuestionAnswer::Ok, true, true},
    {"framed_option_skips_question", WindowChoice::Framed, QuestionAnswer::Ok, false, false},
    {"full_screen_option_skips_question", WindowChoice::FullScreen, QuestionAnswer::Cancel, false,
     true},
};

class WindowChoiceTest : public ApplicationTest,
                         public ::testing::WithParamInterface<WindowCase> {};

TEST_P(WindowChoiceTest, OpensTheChosenWindowRunsAndTearsDown) {
  const WindowCase& c = GetParam();
  offscreen::Platform& platform = offscreen::Get();
  platform.answer = c.answer;
  options_.window = c.choice;
  options_.showCommand = 3;
  int instance = 0;
  App.AppInstance = &instance;

  EXPECT_EQ(RunApplication(options_), 1);

  EXPECT_EQ(platform.instance, &instance);
  EXPECT_EQ(platform.windowProcedure, &MainWindowProc);
  EXPECT_EQ(platform.className, "PathwickClass");
  EXPECT_EQ(platform.showCommand, 3);

  if (c.asked) {
    ASSERT_EQ(platform.questions.size(), 1u);
    EXPECT_EQ(platform.questions[0].text, kQuestion);
    EXPECT_EQ(platform.questions[0].caption, kQuestionCaption);
  } else {
    EXPECT_TRUE(platform.questions.empty());
  }
  EXPECT_EQ(platform.fullScreen, c.fullScreen);
  EXPECT_EQ(App.FullScreenMode, c.fullScreen);
  EXPECT_EQ(platform.title, kTitle);
  if (c.fullScreen) {
    EXPECT_TRUE(platform.menu.empty());
  } else {
    EXPECT_EQ(std::vector<int>({platform.windowX, platform.windowY, platform.windowWidth,
                                platform.windowHeight}),
              std::vector<int>({0, 0, 420, 420}));
    EXPECT_EQ(platform.menuResourceId, 101u);
    ASSERT_EQ(platform.menu.size(), static_cast<size_t>(kMenuItemCount));
    for (int i = 0; i < kMenuItemCount; ++i) {
      EXPECT_EQ(platform.menu[i].id, MainMenu[i].id);
      EXPECT_STREQ(platform.menu[i].caption, MainMenu[i].caption);
    }
  }
  // A frame was drawn, then Escape closed the window and everything went.
  EXPECT_EQ(platform.swaps, 1);
  EXPECT_FALSE(platform.windowExists);
  EXPECT_FALSE(platform.contextCurrent);
  EXPECT_EQ(App.TexturePixels, nullptr);
}

INSTANTIATE_TEST_SUITE_P(StartUp, WindowChoiceTest, ::testing::ValuesIn(kWindowCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ApplicationTest, GentleOptionAsksForRefreshSyncedSwapsWithTheContextCurrent) {
  struct Case {
    bool gentle;
    bool offered;  // whether the driver offers a swap interval
    bool synced;   // what the loop runs with
  };
  const Case cases[] = {{false, true, false}, {true, false, false}, {true, true, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "gentle " << c.gentle << ", offered " << c.offered);
    Arrange();
    offscreen::Platform& platform = offscreen::Get();
    platform.tickStep = 1;  // frames paced at 60 a second wait for the clock
    platform.offersSwapInterval = c.offered;
    options_.gentle = c.gentle;
    GentlePacing during;
    platform.onSwap = [&] {
      during = App.Gentle;
      offscreen::QueueMessage(MessageKind::KeyDown, KeyEscape);
    };

    EXPECT_EQ(RunApplication(options_), 1);

    EXPECT_EQ(during.on, c.gentle);
    EXPECT_EQ(during.swapsFollowRefresh, c.synced);
    EXPECT_EQ(platform.swapsSynced, c.synced);
  }
}

TEST_F(ApplicationTest, FramedWindowOfHeightZeroGetsThePlatformsPlacement) {
  offscreen::Platform& platform = offscreen::Get();
  EXPECT_EQ(CreateFramedWindow(kShowNormal, 10, 20, 300, 0, LocalizedMenuBar()), 1);
  EXPECT_EQ(std::vector<int>(
                {platform.windowX, platform.windowY, platform.windowWidth, platform.windowHeight}),
            std::vector<int>(4, kDefaultPlacement));
  EXPECT_FALSE(App.FullScreenMode);
}

// --- Order of the set-up -------------------------------------------------------------

TEST_F(ApplicationTest, LoadsTheMazeBeforeAsking) {
  offscreen::Platform& platform = offscreen::Get();
  bool asked = false;
  platform.onQuestion = [&] {
    asked = true;
    EXPECT_EQ(GridOf(App.Explorer), kMap);
    EXPECT_EQ(App.Explorer.state, Choosing);
    EXPECT_EQ(App.Explorer.paused, 1);
    EXPECT_FALSE(platform.windowExists);
  };

  RunApplication(options_);

  EXPECT_TRUE(asked);
}

TEST_F(ApplicationTest, FirstFrameHasFittedViewportAndCulling) {
  offscreen::Platform& platform = offscreen::Get();
  platform.clientWidth = 400;  // the context's default viewport would be 400 x 360
  platform.clientHeight = 360;
  std::vector<GLint> viewport(4);
  GLboolean culling = GL_FALSE;
  platform.onSwap = [&] {
    glGetIntegerv(GL_VIEWPORT, viewport.data());
    culling = glIsEnabled(GL_CULL_FACE);
    offscreen::QueueMessage(MessageKind::KeyDown, KeyEscape);
  };

  RunApplication(options_);

  EXPECT_EQ(viewport, (std::vector<GLint>{20, 0, 360, 360}));
  EXPECT_EQ(culling, GL_TRUE);
}

TEST_F(ApplicationTest, StartReloadsTheMapFileOfTheOptions) {
  offscreen::Platform& platform = offscreen::Get();
  platform.onSwap = [&] {
    if (platform.swaps > 1) return;
    dir_.Write("maze.txt", MapText(kEditedMap));
    offscreen::QueueMessage(MessageKind::KeyDown, KeyReturn);
    offscreen::QueueMessage(MessageKind::KeyDown, KeyEscape);
  };

  EXPECT_EQ(RunApplication(options_), 1);

  EXPECT_EQ(GridOf(App.Explorer), kEditedMap);
  EXPECT_EQ(App.Explorer.state, Choosing);
  EXPECT_EQ(App.Explorer.paused, 0);
}

// --- Failures ----------------------------------------------------------------------

TEST_F(ApplicationTest, FailuresEndTheRunWithAMessageAndCodeOne) {
  struct Case {
    const char* name;
    void (*arrange)(offscreen::Platform&);
    const char* error;
    bool asked;
  };
  const Case cases[] = {
      {"no display", [](offscreen::Platform& p) { p.displayAvailable = false; },
       "no display (test)", false},
      {"no window", [](offscreen::Platform& p) { p.windowFailsToOpen = true; },
       "cannot create the window", true},
      {"no context", [](offscreen::Platform& p) { p.contextFails = true; },
       "cannot create an OpenGL context for the window", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Arrange();
    offscreen::Platform& platform = offscreen::Get();
    c.arrange(platform);

    EXPECT_EQ(RunApplication(options_), 1);
    ASSERT_EQ(platform.notices.size(), 1u);
    EXPECT_EQ(platform.notices[0].first, NoticeKind::Error);
    EXPECT_EQ(platform.notices[0].second, c.error);

    EXPECT_EQ(platform.questions.size(), c.asked ? 1u : 0u);
    EXPECT_EQ(platform.swaps, 0);
    EXPECT_FALSE(platform.windowExists);
    EXPECT_FALSE(App.RenderingEnabled);
  }
}

// --- The wall texture -----------------------------------------------------------------

TEST_F(ApplicationTest, TextureIsLoadedForTheRunAndFreedAfter) {
  struct Case {
    const char* name;
    bool present;
    int size;  // width and height of the texture image
  };
  for (const Case& c : {Case{"present", true, 2}, Case{"missing", false, 0}}) {
    SCOPED_TRACE(c.name);
    Arrange();
    const std::string missing = dir_.PathOf("missing.bmp");
    if (!c.present) options_.textureFile = missing.c_str();
    offscreen::Platform& platform = offscreen::Get();
    bool hadPixels = false;
    GLint textureWidth = -1;
    platform.onSwap = [&] {
      hadPixels = App.TexturePixels != nullptr;
      glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &textureWidth);
      offscreen::QueueMessage(MessageKind::KeyDown, KeyEscape);
    };

    EXPECT_EQ(RunApplication(options_), 1);

    EXPECT_EQ(platform.swaps, 1);
    EXPECT_EQ(hadPixels, c.present);
    EXPECT_EQ(App.TextureInfo.biWidth, c.size);
    EXPECT_EQ(App.TextureInfo.biHeight, c.size);
    EXPECT_EQ(textureWidth, c.size);
    EXPECT_EQ(App.TexturePixels, nullptr);
  }
}

TEST_F(ApplicationTest, LoadWallTextureUploadsTheBitmapAsRgb) {
  offscreen::Get().windowExists = true;
  ASSERT_TRUE(PlatformCreateContext());

  LoadWallTexture(textureFile_.c_str());

  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  std::vector<uint8_t> texels(3 * kTexels.size());
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
  std::vector<uint8_t> expected;
  for (const Rgb8& p : kTexels) expected.insert(expected.end(), {p.r, p.g, p.b});
  EXPECT_EQ(texels, expected);
  // Without mipmaps, only a non-mipmap minifying filter makes the texture usable.
  GLint minFilter = 0;
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
  EXPECT_EQ(minFilter, GL_LINEAR);
}

}  // namespace
