// What the backends that keep their own event queue share (offscreen/ and
// web/): the queue, in which the quit event keeps its place, and the
// messages a window sends as it opens. The X11 and Win32 backends get both
// from their window systems.
#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <utility>

#include "shell/platform/platform.h"

// Events waiting to be dispatched, first in first out, and the quit event
// once PlatformPostQuit has queued it: events queued before it are
// dispatched first, and those queued after it wait behind it.
template <typename Event>
class EventQueue {
 public:
  void Push(Event event) { events_.push_back(std::move(event)); }

  // Queues the quit event behind the events waiting now.
  void PostQuit(int exitCode) {
    quit_ = exitCode;
    eventsBeforeQuit_ = events_.size();
  }

  // Whether an event, the quit event included, is waiting.
  bool Pending() const { return !events_.empty() || quit_.has_value(); }

  // Takes the next event into `event`. False when the quit event comes
  // first, or nothing is waiting: `exitCode` then gets the quit's code (0
  // without one), and the quit event is gone.
  bool Take(Event* event, int* exitCode) {
    if (events_.empty() || (quit_ && eventsBeforeQuit_ == 0)) {
      *exitCode = quit_.value_or(0);
      quit_.reset();
      return false;
    }
    *event = std::move(events_.front());
    events_.pop_front();
    if (quit_) --eventsBeforeQuit_;
    return true;
  }

  // The exit code of the quit event while it waits; none otherwise.
  std::optional<int> PostedQuit() const { return quit_; }

  // The events waiting, the quit event not counted.
  size_t size() const { return events_.size(); }

 private:
  std::deque<Event> events_;
  std::optional<int> quit_;
  size_t eventsBeforeQuit_ = 0;  // events still to dispatch before the quit event
};

// What a window sends `procedure` as it opens, once it exists: Create, then
// Size, so that the program fits its drawing to the drawing area before the
// first frame. Without a procedure (no PlatformOpen yet) nothing is sent.
inline void SendWindowOpened(WindowProcedure procedure) {
  if (procedure == nullptr) return;
  procedure(WindowMessage{MessageKind::Create, 0});
  procedure(WindowMessage{MessageKind::Size, 0});
}
