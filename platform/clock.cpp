#include "platform/clock.h"

#include <cstdio>
#include <thread>

namespace plotdesk {

LocalTime Clock::localNow() { return toLocalTime(wallNow()); }

std::chrono::system_clock::time_point RealClock::wallNow() { return std::chrono::system_clock::now(); }
std::chrono::steady_clock::time_point RealClock::steadyNow() { return std::chrono::steady_clock::now(); }

bool RealClock::sleepFor(Ms duration, std::stop_token stop) {
  if (!stop.stop_possible()) {
    std::this_thread::sleep_for(duration);
    return true;
  }
  std::mutex m;
  std::condition_variable_any cv;
  std::unique_lock lock(m);
  return !cv.wait_for(lock, stop, duration, [] { return false; }) && !stop.stop_requested();
}

Clock& realClock() {
  static RealClock clock;
  return clock;
}

FakeClock::FakeClock(std::chrono::system_clock::time_point start) : wallStart_(start) {}

std::chrono::system_clock::time_point FakeClock::wallNow() {
  std::lock_guard g(mu_);
  return wallStart_ + offset_;
}
std::chrono::steady_clock::time_point FakeClock::steadyNow() {
  std::lock_guard g(mu_);
  return std::chrono::steady_clock::time_point{} + offset_;
}
bool FakeClock::sleepFor(Ms duration, std::stop_token stop) {
  if (stop.stop_requested()) return false;
  std::lock_guard g(mu_);
  sleeps_.push_back(duration);
  offset_ += duration;
  return true;
}
void FakeClock::advance(Ms duration) {
  std::lock_guard g(mu_);
  offset_ += duration;
}
std::vector<Clock::Ms> FakeClock::sleeps() const {
  std::lock_guard g(mu_);
  return sleeps_;
}
Clock::Ms FakeClock::totalSlept() const {
  std::lock_guard g(mu_);
  Ms total{0};
  for (auto s : sleeps_) total += s;
  return total;
}

LocalTime toLocalTime(std::chrono::system_clock::time_point t) {
  std::time_t tt = std::chrono::system_clock::to_time_t(t);
  std::tm tm{};
  localtime_r(&tt, &tm);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

std::string timestampName(const LocalTime& t) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d_%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute,
                t.second);
  return buf;
}

}  // namespace plotdesk
