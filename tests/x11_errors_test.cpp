// The X errors the Linux program lets pass, on an X server of its own
// (Xvfb): focus asked for a window that is no longer mapped. Xlib's own
// handler would end the process, and with it this test.

// gtest before Xlib, whose macros (None, Bool) would break its templates.
// clang-format off
#include <gtest/gtest.h>
#include <FL/Fl.H>
#include <FL/x.H>
#include <X11/Xlib.h>
// clang-format on
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "shell/platform/x11/window_manager.h"

namespace {

// An Xvfb of the test's own, on a display it chooses itself (-displayfd),
// ended with the test.
class PrivateXServer {
 public:
  PrivateXServer() {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      // The server ends with the test, also when Xlib ends the test.
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      const int nowhere = open("/dev/null", O_WRONLY);
      dup2(nowhere, STDOUT_FILENO);
      dup2(nowhere, STDERR_FILENO);
      close(pipeEnds[0]);
      const std::string fd = std::to_string(pipeEnds[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-screen", "0",
             "320x240x24", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(pipeEnds[1]);
    // Xvfb writes the display's number and a line end once it serves.
    std::string number;
    char c = 0;
    while (read(pipeEnds[0], &c, 1) == 1 && c != '\n') number += c;
    close(pipeEnds[0]);
    if (!number.empty()) display_ = ":" + number;
  }
  ~PrivateXServer() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  PrivateXServer(const PrivateXServer&) = delete;
  PrivateXServer& operator=(const PrivateXServer&) = delete;

  // Empty when the server did not start.
  const std::string& Display() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

TEST(X11ErrorsTest, FocusForAWindowUnmappedMeanwhileIsNoFatalError) {
  PrivateXServer server;
  ASSERT_FALSE(server.Display().empty()) << "Xvfb did not start";
  ::Display* display = XOpenDisplay(server.Display().c_str());
  ASSERT_NE(display, nullptr);
  fl_open_display(display);
  TolerateVanishedWindows();
  // What the server sees when the window manager unmaps the window between
  // GiveInputFocus's check and its request: focus for an unmapped window.
  const Window window = XCreateSimpleWindow(display, RootOfScreen(), 0, 0, 10, 10, 0, 0, 0);
  XSetInputFocus(display, window, RevertToParent, CurrentTime);
  SyncWithServer();

  // Still here, and the connection still serves.
  Window focus = None;
  int revertTo = 0;
  XGetInputFocus(display, &focus, &revertTo);
  EXPECT_NE(focus, window);
  XDestroyWindow(display, window);
  XCloseDisplay(display);
}

}  // namespace
