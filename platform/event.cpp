#include "platform/event.h"

namespace slk::platform {

void ManualResetEvent::Set() {
  {
    std::lock_guard lock(mutex_);
    set_ = true;
  }
  changed_.notify_all();
}

void ManualResetEvent::Reset() {
  std::lock_guard lock(mutex_);
  set_ = false;
}

void ManualResetEvent::Wait() const {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return set_; });
}

bool ManualResetEvent::WaitFor(std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [this] { return set_; });
}

bool ManualResetEvent::IsSet() const {
  std::lock_guard lock(mutex_);
  return set_;
}

void BeginFrame(const ManualResetEvent& renderEnable, ManualResetEvent& frameDone) {
  for (;;) {
    renderEnable.Wait();
    frameDone.Reset();
    // Both events order their operations through their mutexes: if this still
    // sees the event set, the pausing side's Reset comes later, and so does
    // its wait for frameDone, which therefore sees our Reset.
    if (renderEnable.IsSet()) return;
    frameDone.Set();
  }
}

}  // namespace slk::platform
