// The FLTK backend's boxes and notices: the question, the About box (see
// boxes_fltk.h), and the notices (help, version, warnings), which X11 prints
// on stdout and stderr rather than showing in boxes.

#include "shell/platform/x11/boxes_fltk.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Return_Button.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>

#include "shell/platform/platform.h"
#include "shell/platform/x11/window_manager.h"

namespace {

// The modal boxes: text size, margins and buttons, in pixels at 96 dpi,
// multiplied by ScreenScale().
constexpr int kBoxTextSize = 14;
constexpr int kBoxMargin = 20;
constexpr int kBoxMinWidth = 240;
constexpr int kButtonWidth = 90;
constexpr int kButtonHeight = 28;
constexpr int kButtonGap = 10;

struct Rectangle {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// The owner's window on the screen, its frame included where the window
// manager reports one. A full-screen window has none, whatever the manager
// may still report from before (awesome).
Rectangle OuterRectangle(const BoxOwner& owner) {
  const Window xid = fl_xid(owner.window);
  const FrameExtents frame =
      owner.fullScreen ? FrameExtents{} : ReadFrameExtents(xid).value_or(FrameExtents{});
  int x = 0;
  int y = 0;
  ScreenPosition(xid, &x, &y);
  return Rectangle{x - frame.left, y - frame.top, owner.window->w() + frame.left + frame.right,
                   owner.window->h() + frame.top + frame.bottom};
}

// The top-left corner of a box of width x height centred over the owner's
// window (frame included), or on the screen without one. The box's own
// frame is not known before it is shown: BoxCentring moves it then.
void CentreBox(const BoxOwner& owner, int width, int height, int* x, int* y) {
  Rectangle area;
  if (owner.window != nullptr) {
    area = OuterRectangle(owner);
  } else {
    Fl::screen_xywh(area.x, area.y, area.width, area.height, 0);
  }
  *x = area.x + (area.width - width) / 2;
  *y = area.y + (area.height - height) / 2;
}

// The frame the window manager last put around a box. The boxes look alike
// to it, so the next box opens centred with that frame and seldom moves.
FrameExtents LastBoxFrame;

// Keeps a box centred as its frame becomes known: the box itself where the
// window manager reports no frames, its frame where it does. Some managers
// report a frame in steps (awesome: none while it takes the window on, and
// at times its border before its title bar), so each new frame centres the
// box again, until the user has moved it. Some place the frame, not the
// box, where the box asked to be (i3); a move after mapping is what they
// carry out for the box.
class BoxCentring {
 public:
  // (x, y): the box's top-left corner from CentreBox.
  BoxCentring(int x, int y)
      : x_(x),
        y_(y),
        framesReported_(WindowManagerSupports("_NET_FRAME_EXTENTS")),
        deadline_(std::chrono::steady_clock::now() + kWindowManagerTimeout) {}

  // Looks at the box again; it never waits.
  void Follow(Fl_Window* box) {
    if (!following_) return;
    const Window xid = fl_xid(box);
    const std::optional<FrameExtents> frame = FrameOf(xid);
    if (!frame) {
      // Not mapped yet, or its frame not yet reported: the box stays where
      // it asked to be if that takes too long.
      if (!centred_ && std::chrono::steady_clock::now() >= deadline_) following_ = false;
      return;
    }
    if (centred_ && *frame == centredFor_) return;
    int nowX = 0;
    int nowY = 0;
    ScreenPosition(xid, &nowX, &nowY);
    if (centred_ && !WherePlaced(nowX, nowY, *frame)) {
      following_ = false;  // the user has moved it
      return;
    }
    Place(box, xid, *frame, nowX, nowY);
  }

  // Whether the box may still move: events are then waited for only
  // briefly, so that it is looked at again soon.
  bool AwaitsFrame() const { return following_ && !centred_; }

 private:
  // The box's frame once it is mapped: none, until it is reported, where
  // the manager does not report frames.
  std::optional<FrameExtents> FrameOf(Window xid) const {
    if (!IsMapped(xid)) return std::nullopt;
    const std::optional<FrameExtents> frame = ReadFrameExtents(xid);
    if (!frame && !framesReported_) return FrameExtents{};
    return frame;
  }

  // Whether the box at (nowX, nowY), with its new `frame`, is where it was
  // put: the box, or its frame's corner, has stayed (a manager may keep
  // either while it changes the frame).
  bool WherePlaced(int nowX, int nowY, const FrameExtents& frame) const {
    const bool boxStayed = nowX == placedX_ && nowY == placedY_;
    const bool frameStayed = nowX - frame.left == placedX_ - centredFor_.left &&
                             nowY - frame.top == placedY_ - centredFor_.top;
    return boxStayed || frameStayed;
  }

  void Place(Fl_Window* box, Window xid, const FrameExtents& frame, int nowX, int nowY) {
    placedX_ = x_ + frame.CentringShiftX();
    placedY_ = y_ + frame.CentringShiftY();
    centred_ = true;
    centredFor_ = frame;
    LastBoxFrame = frame;
    if (nowX == placedX_ && nowY == placedY_) return;
    box->position(placedX_, placedY_);
    // FLTK may skip a move it believes done (its idea of the position may be
    // stale): ask for it directly.
    XMoveWindow(fl_display, xid, placedX_, placedY_);
    XFlush(fl_display);
  }

  int x_;
  int y_;
  bool framesReported_;
  std::chrono::steady_clock::time_point deadline_;
  bool following_ = true;
  bool centred_ = false;
  FrameExtents centredFor_;  // the frame it was last centred with
  int placedX_ = 0;
  int placedY_ = 0;
};

// Escape and the close button answer button 0. The box's user data is the
// answer.
void OnBoxClose(Fl_Widget* box, void* answer) {
  *static_cast<int*>(answer) = 0;
  box->hide();
}

void OnBoxButton(Fl_Widget* button, long index) {
  Fl_Window* box = button->window();
  *static_cast<int*>(box->user_data()) = static_cast<int>(index);
  box->hide();
}

// Ends a message with a newline unless it has one.
void PrintLine(std::FILE* stream, const char* prefix, const char* text) {
  const size_t length = std::strlen(text);
  const bool endsLine = length > 0 && text[length - 1] == '\n';
  std::fprintf(stream, "%s%s%s", prefix, text, endsLine ? "" : "\n");
}

}  // namespace

int RunModalBox(const char* text, const char* caption, const std::vector<const char*>& labels,
                const BoxOwner& owner) {
  const int scale = ScreenScale();
  const int textSize = kBoxTextSize * scale;
  const int margin = kBoxMargin * scale;
  const int buttonWidth = kButtonWidth * scale;
  const int buttonHeight = kButtonHeight * scale;
  const int buttonGap = kButtonGap * scale;
  int textWidth = 0;
  int textHeight = 0;
  fl_font(FL_HELVETICA, textSize);
  fl_measure(text, textWidth, textHeight, 0);
  const int count = static_cast<int>(labels.size());
  const int buttonsWidth = count * buttonWidth + (count - 1) * buttonGap;
  const int width = std::max({kBoxMinWidth * scale, textWidth, buttonsWidth}) + 2 * margin;
  const int height = textHeight + buttonHeight + 3 * margin;
  int x = 0;
  int y = 0;
  CentreBox(owner, width, height, &x, &y);

  int answer = 0;
  Fl_Window box(x + LastBoxFrame.CentringShiftX(), y + LastBoxFrame.CentringShiftY(), width,
                height);
  box.copy_label(caption);
  box.callback(OnBoxClose, &answer);
  // The window owns its children and deletes them with itself.
  auto* textBox = new Fl_Box(margin, margin, width - 2 * margin, textHeight, text);
  textBox->labelfont(FL_HELVETICA);
  textBox->labelsize(textSize);
  textBox->align(FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_INSIDE);
  const int buttonY = height - margin - buttonHeight;
  for (int i = 0; i < count; ++i) {
    const int buttonX = width - margin - buttonsWidth + i * (buttonWidth + buttonGap);
    Fl_Button* button =
        i == count - 1
            ? new Fl_Return_Button(buttonX, buttonY, buttonWidth, buttonHeight, labels[i])
            : new Fl_Button(buttonX, buttonY, buttonWidth, buttonHeight, labels[i]);
    button->labelsize(textSize);
    button->callback(OnBoxButton, static_cast<long>(i));
  }
  box.end();

  box.set_modal();
  box.show();
  SetTitleProperties(fl_xid(&box), box.label());
  FocusWithoutWindowManager(fl_xid(&box));
  BoxCentring centring(x, y);
  while (box.shown()) {
    centring.Follow(&box);
    if (centring.AwaitsFrame()) {
      Fl::wait(std::chrono::duration<double>(kWindowManagerPoll).count());
    } else {
      Fl::wait();
    }
  }
  return answer;
}

void PlatformNotify(NoticeKind kind, const char* text) {
  if (kind == NoticeKind::Info) {
    PrintLine(stdout, "", text);
  } else {
    PrintLine(stderr, "pathwick: ", text);
  }
}

bool PlatformNotifiesInBoxes() { return false; }

QuestionAnswer PlatformAskOkCancel(const char* text, const char* caption) {
  // The buttons speak the question's language: the catalogs translate them
  // as they translate the question (the text id is for Windows, whose own
  // buttons are in the system's language).
  const int button =
      RunModalBox(text, caption,
                  {PlatformLocalizedText(0, "取消"), PlatformLocalizedText(0, "确定")}, BoxOwner{});
  return button == 0 ? QuestionAnswer::Cancel : QuestionAnswer::Ok;
}
