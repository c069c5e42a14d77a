#pragma once
// A thread that cannot outlive its owner: started with a callable, joined by
// Join() or at the latest by the destructor. There is no way to kill it; a
// thread loop is ended by a flag it checks (see the rendering thread's stop).

#include <functional>
#include <thread>

namespace slk::platform {

class Thread {
 public:
  Thread() = default;
  explicit Thread(std::function<void()> body) : thread_(std::move(body)) {}
  Thread(Thread&&) noexcept = default;
  // Joins the thread this one held before taking over the other.
  Thread& operator=(Thread&& other) noexcept;
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;
  ~Thread();

  // True from the start until Join() returned.
  bool Joinable() const { return thread_.joinable(); }
  // Waits until the body has returned; does nothing if no thread was started,
  // it was joined already, or it is called from the thread itself.
  void Join();

 private:
  std::thread thread_;
};

}  // namespace slk::platform
