#pragma once
// Every wait and every reading of the time goes through a Clock, so tests can
// run on virtual time.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <mutex>
#include <stop_token>
#include <string>
#include <vector>

namespace plotdesk {

struct LocalTime {
  int year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

class Clock {
 public:
  using Ms = std::chrono::milliseconds;
  virtual ~Clock() = default;
  virtual std::chrono::system_clock::time_point wallNow() = 0;
  virtual std::chrono::steady_clock::time_point steadyNow() = 0;
  // Waits `duration`; returns false when `stop` was requested first.
  virtual bool sleepFor(Ms duration, std::stop_token stop = {}) = 0;
  LocalTime localNow();
};

// Real time; sleeps wake early on a stop request.
class RealClock final : public Clock {
 public:
  std::chrono::system_clock::time_point wallNow() override;
  std::chrono::steady_clock::time_point steadyNow() override;
  bool sleepFor(Ms duration, std::stop_token stop = {}) override;
};

// Process-wide real clock.
Clock& realClock();

// Virtual time for tests: a sleep advances the time at once and is recorded.
class FakeClock final : public Clock {
 public:
  explicit FakeClock(std::chrono::system_clock::time_point start =
                         std::chrono::system_clock::time_point{std::chrono::seconds(1302011101)});
  std::chrono::system_clock::time_point wallNow() override;
  std::chrono::steady_clock::time_point steadyNow() override;
  bool sleepFor(Ms duration, std::stop_token stop = {}) override;
  void advance(Ms duration);
  std::vector<Ms> sleeps() const;
  Ms totalSlept() const;

 private:
  mutable std::mutex mu_;
  Ms offset_{0};
  std::chrono::system_clock::time_point wallStart_;
  std::vector<Ms> sleeps_;
};

LocalTime toLocalTime(std::chrono::system_clock::time_point t);
// "%04d%02d%02d_%02d%02d%02d", e.g. 20110405_134501.
std::string timestampName(const LocalTime& t);

}  // namespace plotdesk
