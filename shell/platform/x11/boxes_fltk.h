// The FLTK backend's modal boxes: windows of the program's own (FLTK's
// message boxes carry an icon and open under the mouse pointer), centred
// where they are asked to open and kept there as the window manager frames
// them.
#pragma once

#include <FL/Fl_Window.H>

#include <vector>

// What a box opens centred over: the program's window, with the frame the
// window manager reports around it unless it is full screen; or the screen,
// when `window` is null.
struct BoxOwner {
  const Fl_Window* window = nullptr;
  bool fullScreen = false;
};

// Shows a modal box: the text, then a row of buttons with `labels` at the
// bottom right. The last button is the default and answers Return; Escape
// and the close button answer button 0. Waits until the box is closed and
// returns the index of the button pressed.
int RunModalBox(const char* text, const char* caption, const std::vector<const char*>& labels,
                const BoxOwner& owner);
