#include "platform/thread.h"

namespace slk::platform {

Thread& Thread::operator=(Thread&& other) noexcept {
  if (this != &other) {
    Join();
    thread_ = std::move(other.thread_);
  }
  return *this;
}

Thread::~Thread() {
  // A body that drops its own Thread cannot join itself; let it run out.
  if (thread_.joinable() && thread_.get_id() == std::this_thread::get_id()) {
    thread_.detach();
    return;
  }
  Join();
}

void Thread::Join() {
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

}  // namespace slk::platform
