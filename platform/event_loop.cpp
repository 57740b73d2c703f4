#include "platform/event_loop.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace plotdesk {

HeadlessEventLoop::HeadlessEventLoop(Clock& clock) : clock_(clock) {
  eventFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

HeadlessEventLoop::~HeadlessEventLoop() {
  if (eventFd_ >= 0) ::close(eventFd_);
}

void HeadlessEventLoop::wake() {
  if (eventFd_ < 0) return;
  uint64_t one = 1;
  while (::write(eventFd_, &one, sizeof one) < 0 && errno == EINTR) {
  }
}

void HeadlessEventLoop::post(Task task) {
  {
    std::lock_guard g(mu_);
    posted_.push_back(std::move(task));
  }
  wake();
}

void HeadlessEventLoop::startTimer(int id, std::chrono::milliseconds period, Task fn) {
  std::lock_guard g(mu_);
  timers_[id] = Timer{period, clock_.steadyNow() + period, std::move(fn), ++generation_};
}

void HeadlessEventLoop::stopTimer(int id) {
  std::lock_guard g(mu_);
  timers_.erase(id);
}

void HeadlessEventLoop::watchReadable(int fd, Task fn) {
  std::lock_guard g(mu_);
  watches_[fd] = std::move(fn);
}

void HeadlessEventLoop::unwatch(int fd) {
  std::lock_guard g(mu_);
  watches_.erase(fd);
}

void HeadlessEventLoop::quit(int code) {
  exitCode_ = code;
  quit_ = true;
  wake();
}

int HeadlessEventLoop::runPending() {
  int ran = 0;
  // Posted calls first, in order; calls posted while running wait for the next pass.
  std::deque<Task> batch;
  {
    std::lock_guard g(mu_);
    batch.swap(posted_);
  }
  for (auto& t : batch) {
    t();
    ++ran;
  }
  // Due timers, each at most once per pass.
  auto now = clock_.steadyNow();
  std::vector<std::pair<int, unsigned>> due;
  {
    std::lock_guard g(mu_);
    for (auto& [id, timer] : timers_) {
      if (timer.due <= now) due.emplace_back(id, timer.generation);
    }
  }
  for (auto [id, gen] : due) {
    Task fn;
    {
      std::lock_guard g(mu_);
      auto it = timers_.find(id);
      if (it == timers_.end() || it->second.generation != gen) continue;
      // Keep the cadence; after a long stall, fire once and resume from now.
      it->second.due += it->second.period;
      if (it->second.due <= now) it->second.due = now + it->second.period;
      fn = it->second.fn;
    }
    fn();
    ++ran;
  }
  return ran;
}

int HeadlessEventLoop::runOnce(std::chrono::milliseconds maxWait) {
  std::vector<pollfd> fds;
  std::chrono::milliseconds wait = maxWait;
  {
    std::lock_guard g(mu_);
    if (!posted_.empty()) wait = std::chrono::milliseconds(0);
    auto now = clock_.steadyNow();
    for (auto& [id, timer] : timers_) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(timer.due - now);
      if (left < wait) wait = left < std::chrono::milliseconds(0) ? std::chrono::milliseconds(0) : left;
    }
    fds.push_back({eventFd_, POLLIN, 0});
    for (auto& [fd, fn] : watches_) fds.push_back({fd, POLLIN, 0});
  }
  int n = ::poll(fds.data(), fds.size(), static_cast<int>(wait.count()));
  int ran = 0;
  if (n > 0) {
    if (fds[0].revents & POLLIN) {
      uint64_t v;
      while (::read(eventFd_, &v, sizeof v) > 0) {
      }
    }
    for (size_t i = 1; i < fds.size(); ++i) {
      if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      Task fn;
      {
        std::lock_guard g(mu_);
        auto it = watches_.find(fds[i].fd);
        if (it == watches_.end()) continue;
        fn = it->second;
      }
      fn();
      ++ran;
    }
  }
  return ran + runPending();
}

int HeadlessEventLoop::run() {
  while (!quit_) runOnce(std::chrono::milliseconds(1000));
  // Calls posted before quit still run, so no report is lost.
  runPending();
  return exitCode_;
}

}  // namespace plotdesk
