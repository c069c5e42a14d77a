#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <vector>

#include "platform/event.h"
#include "platform/thread.h"

namespace slk::platform {
namespace {

using namespace std::chrono_literals;

TEST(ManualResetEvent, StaysSetUntilReset) {
  ManualResetEvent event(false);
  EXPECT_FALSE(event.IsSet());
  EXPECT_FALSE(event.WaitFor(1ms));
  event.Set();
  event.Set();
  EXPECT_TRUE(event.IsSet());
  EXPECT_TRUE(event.WaitFor(0ms));
  event.Wait();
  event.Wait();  // a manual-reset event is not consumed by a wait
  event.Reset();
  EXPECT_FALSE(event.IsSet());
  EXPECT_TRUE(ManualResetEvent(true).IsSet());
}

TEST(ManualResetEvent, SetReleasesEveryWaiter) {
  ManualResetEvent gate(false);
  std::atomic<int> released = 0;
  {
    std::vector<Thread> waiters;
    for (int i = 0; i < 3; ++i)
      waiters.emplace_back([&] {
        gate.Wait();
        ++released;
      });
    std::this_thread::sleep_for(5ms);
    EXPECT_EQ(released, 0);
    gate.Set();
  }  // joined here
  EXPECT_EQ(released, 3);
}

TEST(Thread, DestructorAndMoveAssignmentJoin) {
  std::atomic<bool> first = false;
  std::atomic<bool> second = false;
  auto slowly = [](std::atomic<bool>& flag) {
    return [&flag] {
      std::this_thread::sleep_for(5ms);
      flag = true;
    };
  };
  {
    Thread a(slowly(first));
    a = Thread(slowly(second));  // the first one is joined before it is replaced
    EXPECT_TRUE(first);
    EXPECT_TRUE(a.Joinable());
  }
  EXPECT_TRUE(second);
  Thread idle;
  idle.Join();
  EXPECT_FALSE(idle.Joinable());
}

// A stand-in for the rendering thread and the shell around it. The "frame"
// reads and writes plain shared data with no lock; the user-interface side
// writes the same data only between PauseRendering and ResumeRendering, so
// ThreadSanitizer sees a race here exactly when the handshake is broken.
class RenderLoop {
 public:
  RenderLoop() : thread_([this] { Run(); }) {}
  ~RenderLoop() { Stop(); }

  void PauseRendering() {
    renderEnable_.Reset();
    frameDone.Wait();
  }
  void ResumeRendering() { renderEnable_.Set(); }

  // The orderly stop: after a pause the flag is raised and the thread let go;
  // it sees the flag before it starts another frame.
  void Stop() {
    if (!thread_.Joinable()) return;
    PauseRendering();
    stop_ = true;
    ResumeRendering();
    thread_.Join();
  }

  // Shared with the loop; touch only while paused or after Stop().
  std::vector<int> scene = std::vector<int>(64, 0);
  long frames = 0;
  long tornFrames = 0;
  std::atomic<bool> loseSurfaceOnce = false;
  std::atomic<long> frameCount = 0;  // for watching from outside
  ManualResetEvent frameDone{true};

 private:
  void Run() {
    for (;;) {
      BeginFrame(renderEnable_, frameDone);
      if (stop_) {
        frameDone.Set();
        return;
      }
      // The user-interface side always writes one value into every element;
      // a frame that sees two values ran while it was writing.
      for (int v : scene) tornFrames += v != scene.front() ? 1 : 0;
      scene.back() = scene.front();
      ++frames;
      ++frameCount;
      if (loseSurfaceOnce.exchange(false)) renderEnable_.Reset();
      frameDone.Set();
      std::this_thread::yield();
    }
  }

  ManualResetEvent renderEnable_{true};
  bool stop_ = false;  // written only while paused
  Thread thread_;
};

TEST(PauseHandshake, NoFrameRunsWhileThePauseHolds) {
  RenderLoop loop;
  long lastFrames = -1;
  long framesSeen = 0;
  const auto deadline = std::chrono::steady_clock::now() + 700ms;
  int cycle = 0;
  for (; cycle < 3000 && std::chrono::steady_clock::now() < deadline; ++cycle) {
    loop.PauseRendering();
    for (int& v : loop.scene) v = cycle;
    if (lastFrames >= 0 && loop.frames != lastFrames) ++framesSeen;
    lastFrames = loop.frames;
    std::this_thread::yield();
    ASSERT_EQ(loop.frames, lastFrames) << "a frame ran during the pause";
    loop.ResumeRendering();
    if (cycle % 7 == 0) loop.ResumeRendering();  // twice is harmless
    if (cycle % 5 == 0) std::this_thread::sleep_for(50us);
  }
  loop.Stop();
  EXPECT_EQ(loop.tornFrames, 0);
  EXPECT_GT(framesSeen, 0) << "the loop never ran between pauses";
  EXPECT_TRUE(loop.frameDone.IsSet());
}

TEST(PauseHandshake, ThreadThatStopsItselfIsStillPausedAndResumed) {
  RenderLoop loop;
  loop.loseSurfaceOnce = true;
  // The loop resets RenderEnable after its next frame and then stands still.
  while (loop.loseSurfaceOnce) std::this_thread::yield();
  long stalled = loop.frameCount;
  std::this_thread::sleep_for(10ms);
  EXPECT_EQ(loop.frameCount, stalled);
  loop.PauseRendering();  // completes although the thread stopped itself
  loop.ResumeRendering();
  const auto deadline = std::chrono::steady_clock::now() + 1s;
  while (loop.frameCount == stalled && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::yield();
  }
  EXPECT_GT(loop.frameCount, stalled);
}

TEST(PauseHandshake, StopEndsTheThreadBetweenFrames) {
  RenderLoop loop;
  std::this_thread::sleep_for(5ms);
  loop.Stop();
  long frames = loop.frames;
  EXPECT_TRUE(loop.frameDone.IsSet());
  std::this_thread::sleep_for(5ms);
  EXPECT_EQ(loop.frames, frames);
  loop.Stop();  // a second stop does nothing
}

}  // namespace
}  // namespace slk::platform
