#pragma once
// Shared pieces of the link tests: a program folder with settings, a fake
// clock, an owner that records progress, and files of a given size.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "config/settings_store.h"
#include "links/machine_link.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "tests/support/temp_dir.h"

namespace plotdesk::test {

// No link test may reach a real machine, even when run outside ctest.
inline const bool kLoopbackOnlySet = [] { return ::setenv("PLOTDESK_LOOPBACK_ONLY", "1", 1) == 0; }();

class RecordingOwner final : public LinkOwner {
 public:
  std::atomic<bool>& cancelFlag() override { return cancel_; }
  void setProgress(int percent) override {
    std::function<void(int)> hook;
    {
      std::lock_guard g(mu_);
      progress_.push_back(percent);
      hook = onProgress;
    }
    if (hook) hook(percent);
  }
  std::vector<int> progress() const {
    std::lock_guard g(mu_);
    return progress_;
  }
  std::function<void(int)> onProgress;  // set before the transfer starts

 private:
  std::atomic<bool> cancel_{false};
  mutable std::mutex mu_;
  std::vector<int> progress_;
};

// Bytes 0..250 repeating, so misplaced or missing blocks show.
inline std::string patternBytes(size_t size) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>(i % 251);
  return s;
}

class LinkTest : public ::testing::Test {
 protected:
  LinkTest() { (void)createFolder(home()); }
  std::string home() const { return dir_.slash() + "home/"; }
  SettingsStore store() const { return SettingsStore(home()); }
  LinkContext context() { return LinkContext{home(), &clock_}; }
  std::string writeFile(const std::string& name, const std::string& content) {
    std::string path = dir_.file(name);
    EXPECT_TRUE(writeFileAtomic(path, content).ok());
    return path;
  }
  std::string file(const std::string& name) const { return dir_.file(name); }

  // Waits (in short real slices) until `done` holds or a few seconds pass.
  static bool eventually(const std::function<bool()>& done) {
    for (int i = 0; i < 300; ++i) {
      if (done()) return true;
      realClock().sleepFor(std::chrono::milliseconds(10));
    }
    return done();
  }

  TempDir dir_;
  FakeClock clock_;
};

}  // namespace plotdesk::test
