// The pause handshake built on these (BeginFrame) is tested on the real
// rendering thread in tests/display/render_thread_test.cpp.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <vector>

#include "platform/event.h"
#include "platform/thread.h"

namespace slk::platform {
namespace {

using namespace std::chrono_literals;

TEST(ManualResetEvent, StaysSetUntilResetAndReleasesEveryWaiter) {
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

}  // namespace
}  // namespace slk::platform
