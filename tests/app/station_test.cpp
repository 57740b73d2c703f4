// The headless station as operators run it: the real program against the
// cutter simulator on loopback.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "config/settings_store.h"
#include "platform/files.h"
#include "tests/support/temp_dir.h"
#include "tools/machine_sim/machine_sim.h"

extern char** environ;

namespace plotdesk {
namespace {

using namespace std::chrono_literals;

class Station {
 public:
  Station(const std::string& home, const std::string& logPath) : log_(logPath) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::string bin = PLOTDESK_BINARY;
    const char* argv[] = {bin.c_str(), "--home", home.c_str(), "--headless", "--mode", "server", nullptr};
    ok_ = posix_spawn(&pid_, bin.c_str(), &actions, nullptr, const_cast<char**>(argv), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Station() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  bool started() const { return ok_; }
  std::string log() const {
    auto text = readFile(log_);
    return text ? *text : "";
  }
  template <class F>
  bool waitFor(F done, std::chrono::seconds limit = 30s) const {
    auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(20ms);
    }
    return true;
  }
  bool logHas(const std::string& text, std::chrono::seconds limit = 30s) const {
    return waitFor([&] { return log().find(text) != std::string::npos; }, limit);
  }
  // SIGTERM, then the exit code (-1 when it did not end in time).
  int terminate() {
    kill(pid_, SIGTERM);
    int status = 0;
    for (int i = 0; i < 1500; ++i) {
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(10ms);
    }
    return -1;
  }

 private:
  std::string log_;
  pid_t pid_ = -1;
  bool ok_ = false;
};

class StationTest : public ::testing::Test {
 protected:
  void configure(int port, bool timeLimit) {
    SettingsStore store(home.path());
    ASSERT_TRUE(store.set_Transfer_Type(4));
    ASSERT_TRUE(store.set_Ethernet_IP("127.0.0.1"));
    ASSERT_TRUE(store.set_Ethernet_Port(port));
    ASSERT_TRUE(store.set_TimeOut_Enabled(timeLimit ? 1 : 0));
    ASSERT_TRUE(store.set_SoftwareMutex(0));
    ASSERT_TRUE(store.set_Dispose_DelayTime(0));
    ASSERT_TRUE(store.set_Transfer_DelayTime(0));
    ASSERT_TRUE(store.set_File_Type(5));
  }
  test::TempDir home;
  test::TempDir logs;
};

TEST_F(StationTest, DroppedFileIsDisposedSentAndRecorded) {
  MachineSimulator sim({});
  ASSERT_TRUE(sim.start());
  configure(sim.port(), true);
  Station station(home.path(), logs.file("station.log"));
  ASSERT_TRUE(station.started());
  ASSERT_TRUE(station.logHas("stop with Ctrl-C")) << station.log();
  ASSERT_TRUE(writeFileAtomic(home.file("Watcher_Folder/a.plt"), "IN;SP1;PU0,0;PD400,0,400,400;PU;"));
  ASSERT_TRUE(station.waitFor([&] { return sim.jobs().size() == 1; })) << station.log();
  ASSERT_TRUE(station.logHas(": OK")) << station.log();
  EXPECT_EQ(station.terminate(), 0);
  std::string log = station.log();
  EXPECT_NE(log.find("new job /a.plt"), std::string::npos) << log;
  EXPECT_NE(log.find("sent /a_"), std::string::npos) << log;
  EXPECT_NE(log.find("plotdesk: stopped"), std::string::npos) << log;
  EXPECT_NE(sim.jobs()[0].data.find("PD400,0,400,400"), std::string::npos);
  EXPECT_TRUE(fileExists(home.file("Watcher_Folder/QKTCC.TXT")));
}

TEST_F(StationTest, StopDuringASendKeepsTheJob) {
  MachineSimOptions options;
  options.neverAcknowledge = true;
  MachineSimulator sim(options);
  ASSERT_TRUE(sim.start());
  configure(sim.port(), false);
  Station station(home.path(), logs.file("station.log"));
  ASSERT_TRUE(station.logHas("stop with Ctrl-C")) << station.log();
  ASSERT_TRUE(writeFileAtomic(home.file("Watcher_Folder/b.plt"), "IN;SP1;PU0,0;PD100,100;PU;"));
  ASSERT_TRUE(station.logHas("is printing")) << station.log();
  ASSERT_TRUE(station.waitFor([&] { return sim.dataBytesReceived() > 0; })) << station.log();
  EXPECT_EQ(station.terminate(), 0) << station.log();
  EXPECT_EQ(station.log().find(": OK"), std::string::npos);
  auto left = scanFolder(home.file("DisposeFile_Folder"), false);
  ASSERT_TRUE(left);
  ASSERT_EQ(left->size(), 1u) << station.log();
  EXPECT_EQ((*left)[0].relative.rfind("/b_", 0), 0u);
}

}  // namespace
}  // namespace plotdesk
