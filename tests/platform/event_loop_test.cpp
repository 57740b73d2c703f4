#include "platform/event_loop.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <thread>
#include <vector>

namespace plotdesk {
namespace {

TEST(EventLoop, PostedCallsRunOnTheLoopThreadInOrder) {
  HeadlessEventLoop loop;
  std::vector<int> seen;  // touched only on the loop thread
  std::thread::id loopThread;
  constexpr int kPerThread = 200;
  std::jthread runner([&] {
    loopThread = std::this_thread::get_id();
    loop.run();
  });
  {
    std::vector<std::jthread> posters;
    for (int t = 0; t < 2; ++t) {
      posters.emplace_back([&, t] {
        for (int i = 0; i < kPerThread; ++i) {
          loop.post([&, t, i] {
            EXPECT_EQ(std::this_thread::get_id(), loopThread);
            seen.push_back(t * 100000 + i);
          });
        }
      });
    }
  }
  loop.post([&] { loop.quit(7); });
  runner.join();
  ASSERT_EQ(seen.size(), 2u * kPerThread);
  // FIFO per posting thread.
  int last[2] = {-1, -1};
  for (int v : seen) {
    int t = v / 100000, i = v % 100000;
    EXPECT_GT(i, last[t]);
    last[t] = i;
  }
}

TEST(EventLoop, TimersFollowTheInjectedClock) {
  FakeClock clock;
  HeadlessEventLoop loop(clock);
  int ticks = 0, other = 0;
  loop.startTimer(1, std::chrono::milliseconds(300), [&] { ++ticks; });
  loop.startTimer(2, std::chrono::milliseconds(1000), [&] { ++other; });
  loop.runPending();
  EXPECT_EQ(ticks, 0);
  for (int i = 0; i < 10; ++i) {
    clock.advance(std::chrono::milliseconds(300));
    loop.runPending();
  }
  EXPECT_EQ(ticks, 10);
  EXPECT_EQ(other, 3);
  loop.stopTimer(1);
  clock.advance(std::chrono::milliseconds(300));
  loop.runPending();
  EXPECT_EQ(ticks, 10);
}

TEST(EventLoop, ReadableDescriptorsAndQuitFromAnotherThread) {
  HeadlessEventLoop loop;
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  std::string got;
  loop.watchReadable(fds[0], [&] {
    char buf[16];
    ssize_t n = read(fds[0], buf, sizeof buf);
    if (n > 0) got.append(buf, static_cast<size_t>(n));
    if (got == "ping") loop.quit(0);
  });
  std::jthread writer([&] { (void)!write(fds[1], "ping", 4); });
  EXPECT_EQ(loop.run(), 0);
  EXPECT_EQ(got, "ping");
  close(fds[0]);
  close(fds[1]);
}

}  // namespace
}  // namespace plotdesk
