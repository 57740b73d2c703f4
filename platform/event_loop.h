#pragma once
// The toolkit-free event loop that windows, the pipeline, watchers and servers
// run on. Calls posted from any thread run on the loop's thread in FIFO order.
#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <mutex>

#include "platform/clock.h"

namespace plotdesk {

class EventLoop {
 public:
  using Task = std::function<void()>;
  virtual ~EventLoop() = default;
  virtual void post(Task task) = 0;  // thread-safe
  // Starts (or restarts) timer `id`; `fn` runs on the loop thread every `period`.
  virtual void startTimer(int id, std::chrono::milliseconds period, Task fn) = 0;
  virtual void stopTimer(int id) = 0;
  // Calls `fn` on the loop thread when `fd` becomes readable.
  virtual void watchReadable(int fd, Task fn) = 0;
  virtual void unwatch(int fd) = 0;
  virtual void quit(int code = 0) = 0;  // thread-safe
  virtual int run() = 0;
};

// poll(2) + eventfd loop with timers measured on an injectable clock.
class HeadlessEventLoop final : public EventLoop {
 public:
  explicit HeadlessEventLoop(Clock& clock = realClock());
  ~HeadlessEventLoop() override;
  HeadlessEventLoop(const HeadlessEventLoop&) = delete;
  HeadlessEventLoop& operator=(const HeadlessEventLoop&) = delete;

  void post(Task task) override;
  void startTimer(int id, std::chrono::milliseconds period, Task fn) override;
  void stopTimer(int id) override;
  void watchReadable(int fd, Task fn) override;
  void unwatch(int fd) override;
  void quit(int code = 0) override;
  int run() override;

  // Runs posted calls and due timers without waiting; returns how many ran.
  // Tests on a FakeClock advance the clock and call this.
  int runPending();
  // Waits at most `maxWait` for work, then runs what is pending.
  int runOnce(std::chrono::milliseconds maxWait);
  bool quitRequested() const { return quit_.load(); }

 private:
  struct Timer {
    std::chrono::milliseconds period;
    std::chrono::steady_clock::time_point due;
    Task fn;
    unsigned generation;
  };
  void wake();

  Clock& clock_;
  int eventFd_ = -1;
  std::mutex mu_;
  std::deque<Task> posted_;
  std::map<int, Timer> timers_;
  std::map<int, Task> watches_;
  unsigned generation_ = 0;
  std::atomic<bool> quit_{false};
  std::atomic<int> exitCode_{0};
};

}  // namespace plotdesk
