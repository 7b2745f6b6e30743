// The browser backend's part beyond the seam, for the browser build's start
// (main_web.cpp). The page (web/page.js) shows the program's boxes, its menu
// bar and canvas, and hands the browser's input to the backend, which queues
// it as window messages until the frame loop serves them. Nothing here
// blocks: the browser drives the loop, one pass per display refresh.
#pragma once

#include <cstdint>

#include "shell/platform/platform.h"

namespace web {

// What PlatformTickCount answers until the next call: the time of the
// display refresh being served, or a scripted clock.
void SetClock(uint32_t milliseconds);

// True while a box of the page is open: events wait in the queue and no
// frame runs until it is closed, as while a modal box is open on the desktop.
bool BoxOpen();

// Asks `text` in a box of the page with OK and Cancel; `answered` gets the
// answer once the user gives it. OK also asks the browser for full screen,
// as the click is the gesture it needs for that.
void AskOkCancel(const char* text, const char* caption, void (*answered)(QuestionAnswer));

// Queues a key-down message, as the page does for the keys it hears.
void QueueKeyDown(uint32_t key);

// The page's address query: whether it has `name` (as in "?edit"), and the
// whole number given to it (as in "?frames=600"), 0 when none is.
bool PageHasOption(const char* name);
long PageNumberOption(const char* name);

// The map file that the page opens maps into, saves to disk and keeps in
// the browser's storage.
void SetMapFile(const char* path);
// Writes the map kept in the browser's storage to the map file; false when
// none is kept there.
bool RestoreStoredMap();
// Keeps the map file in the browser's storage, when it differs from what is
// kept there. False when the storage refuses it: the map file then holds
// the map kept there again (or the shipped one, when none is), and the page
// says why.
bool StoreMap();

// Says on the page that the program has ended, with a way to start it again.
void ShowEnded();

// Marks the page as holding its last frame (the test mode's end).
void ShowHeld();

// Puts the status line's text (UTF-8) into the page's live region, which
// screen readers read out as it changes.
void ShowStatus(const char* text);

}  // namespace web
