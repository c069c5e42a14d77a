#pragma once
// Manual-reset events: a flag that stays set until someone resets it, with
// waits that block until it is set. The user-interface thread and the
// rendering thread hand work over with two of them (RenderEnable, FrameDone)
// instead of a lock; every Set, Reset and completed Wait passes through the
// event's mutex, so whatever one thread wrote before Set is visible to the
// thread whose Wait that Set released.

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace slk::platform {

class ManualResetEvent {
 public:
  explicit ManualResetEvent(bool initiallySet) : set_(initiallySet) {}
  ManualResetEvent(const ManualResetEvent&) = delete;
  ManualResetEvent& operator=(const ManualResetEvent&) = delete;

  // Sets the event and releases every waiter. Setting a set event is harmless.
  void Set();
  void Reset();
  // Blocks until the event is set; returns at once if it already is.
  void Wait() const;
  // False if the event was still not set when the time ran out.
  bool WaitFor(std::chrono::milliseconds timeout) const;
  bool IsSet() const;

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  bool set_;
};

// The rendering thread's side of the pause handshake, to be called at the top
// of every frame: waits for `renderEnable`, then resets `frameDone`.
//
// Waiting and resetting as two plain steps leaves a gap: a pause that starts
// between them resets `renderEnable`, finds `frameDone` still set from the
// previous frame and returns while the thread goes on to draw. So after the
// reset this looks at `renderEnable` once more; if a pause has begun, it sets
// `frameDone` again (no frame was started) and goes back to waiting. On return
// a frame may be drawn, and the pausing side's wait for `frameDone` does not
// return until the thread sets it. (While a pause holds, `frameDone` may thus
// read reset for a moment without any frame being drawn.)
void BeginFrame(const ManualResetEvent& renderEnable, ManualResetEvent& frameDone);

}  // namespace slk::platform
