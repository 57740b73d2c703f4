// Single instance, program folder, clock and the loopback guard.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

#include "platform/clock.h"
#include "platform/net_guard.h"
#include "platform/program_folder.h"
#include "platform/single_instance.h"
#include "tests/support/temp_dir.h"

namespace plotdesk {
namespace {

class EnvVar {
 public:
  EnvVar(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) setenv(name, value, 1);
    else unsetenv(name);
  }
  ~EnvVar() {
    if (old_.empty()) unsetenv(name_);
    else setenv(name_, old_.c_str(), 1);
  }

 private:
  const char* name_;
  std::string old_;
};

TEST(SingleInstance, SecondHolderIsRefusedUntilTheFirstEnds) {
  test::TempDir dir;
  EnvVar runtime("XDG_RUNTIME_DIR", dir.path().c_str());
  int toParent[2], toChild[2];
  ASSERT_EQ(pipe(toParent), 0);
  ASSERT_EQ(pipe(toChild), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    SingleInstance held;
    auto got = held.acquire("plotdesk-test");
    char c = (got && *got) ? 'y' : 'n';
    (void)!write(toParent[1], &c, 1);
    (void)!read(toChild[0], &c, 1);  // hold until told
    _exit(0);
  }
  char c = 0;
  ASSERT_EQ(read(toParent[0], &c, 1), 1);
  ASSERT_EQ(c, 'y');
  SingleInstance second;
  auto refused = second.acquire("plotdesk-test");
  ASSERT_TRUE(refused);
  EXPECT_FALSE(*refused);
  (void)!write(toChild[1], "x", 1);
  int status = 0;
  waitpid(child, &status, 0);
  auto after = second.acquire("plotdesk-test");
  ASSERT_TRUE(after);
  EXPECT_TRUE(*after);
  for (int fd : {toParent[0], toParent[1], toChild[0], toChild[1]}) close(fd);
}

TEST(ProgramFolder, ResolutionOrder) {
  EnvVar h("PLOTDESK_HOME", "/srv/pd");
  EnvVar x("XDG_DATA_HOME", "/xdg");
  EnvVar home("HOME", "/home/op");
  EXPECT_EQ(resolveProgramFolder(std::string("/opt/station")), "/opt/station/");
  EXPECT_EQ(resolveProgramFolder(std::nullopt), "/srv/pd/");
  {
    EnvVar none("PLOTDESK_HOME", nullptr);
    EXPECT_EQ(resolveProgramFolder(std::nullopt), "/xdg/plotdesk/");
    EnvVar noXdg("XDG_DATA_HOME", nullptr);
    EXPECT_EQ(resolveProgramFolder(std::nullopt), "/home/op/.local/share/plotdesk/");
  }
  test::TempDir dir;
  auto made = prepareProgramFolder(dir.file("new/home"));
  ASSERT_TRUE(made);
  EXPECT_EQ(*made, dir.file("new/home") + "/");
  EXPECT_TRUE(folderExists(*made));
}

TEST(Clock, TimestampNameAndFakeSleeps) {
  EXPECT_EQ(timestampName({2011, 4, 5, 13, 45, 1}), "20110405_134501");
  FakeClock clock;
  auto before = clock.steadyNow();
  EXPECT_TRUE(clock.sleepFor(std::chrono::milliseconds(2000)));
  EXPECT_TRUE(clock.sleepFor(std::chrono::milliseconds(500)));
  EXPECT_EQ(clock.steadyNow() - before, std::chrono::milliseconds(2500));
  EXPECT_EQ(clock.sleeps().size(), 2u);
  std::stop_source stop;
  stop.request_stop();
  EXPECT_FALSE(clock.sleepFor(std::chrono::milliseconds(100), stop.get_token()));
}

TEST(Clock, RealSleepWakesOnStop) {
  std::stop_source stop;
  std::jthread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    stop.request_stop();
  });
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_FALSE(realClock().sleepFor(std::chrono::seconds(30), stop.get_token()));
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(10));
}

sockaddr_in v4(const char* ip) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(23);
  inet_pton(AF_INET, ip, &a.sin_addr);
  return a;
}

TEST(NetGuard, OnlyLoopbackWhenAsked) {
  const std::pair<const char*, bool> cases[] = {
      {"127.0.0.1", true}, {"127.9.8.7", true}, {"192.168.1.100", false}, {"10.0.0.1", false}, {"8.8.8.8", false}};
  EnvVar on("PLOTDESK_LOOPBACK_ONLY", "1");
  for (auto [ip, allowed] : cases) {
    sockaddr_in a = v4(ip);
    Status s = checkConnectAllowed(reinterpret_cast<sockaddr*>(&a), sizeof a);
    EXPECT_EQ(s.ok(), allowed) << ip;
    if (!allowed) {
      EXPECT_NE(s.error().find(ip), std::string::npos);
    }
  }
  sockaddr_in6 six{};
  six.sin6_family = AF_INET6;
  six.sin6_addr = in6addr_loopback;
  EXPECT_TRUE(checkConnectAllowed(reinterpret_cast<sockaddr*>(&six), sizeof six));
  // The guard fails before any packet leaves: no socket needed.
  sockaddr_in far = v4("192.168.1.100");
  EXPECT_FALSE(guardedConnect(-1, reinterpret_cast<sockaddr*>(&far), sizeof far));
  EnvVar off("PLOTDESK_LOOPBACK_ONLY", "0");
  EXPECT_TRUE(checkConnectAllowed(reinterpret_cast<sockaddr*>(&far), sizeof far));
}

}  // namespace
}  // namespace plotdesk
