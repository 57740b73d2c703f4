// The owner contract, the factory and the cut-end wait.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <deque>

#include "links/cut_end_wait.h"
#include "links/tcp_machine_link.h"
#include "platform/event_loop.h"
#include "tests/links/link_fixture.h"
#include "tools/machine_sim/machine_sim.h"

namespace plotdesk::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

TEST(CoalescedProgress, DeliversOnlyTheLatestValue) {
  FakeClock clock;
  HeadlessEventLoop loop(clock);
  std::vector<int> shown;
  LoopLinkOwner owner(loop, [&](int p) { shown.push_back(p); });
  std::jthread worker([&] {
    for (int p = 1; p <= 100; ++p) owner.setProgress(p);
  });
  worker.join();
  loop.runPending();
  EXPECT_THAT(shown, ElementsAre(100));
  owner.setProgress(0);
  loop.runPending();
  EXPECT_THAT(shown, ElementsAre(100, 0));
}

class FactoryTest : public LinkTest {};

TEST_F(FactoryTest, TypesWithoutALinkFailNamingIt) {
  const std::string path = writeFile("a.plt", "IN;");
  struct Case {
    int type;
    const char* names;  // empty: unknown type, empty message
  } cases[] = {{3, "controller link"}, {5, "IC machine link"}, {6, "Delta"}, {7, "FTP"}, {0, ""}, {8, ""}};
  for (const Case& c : cases) {
    RecordingOwner owner;
    owner.cancelFlag() = true;
    auto link = makeMachineLink(c.type, owner, path, 3, context());
    EXPECT_FALSE(link->transfer()) << c.type;
    if (*c.names) {
      EXPECT_THAT(link->message(), HasSubstr(c.names)) << c.type;
    } else {
      EXPECT_EQ(link->message(), "") << c.type;
    }
    EXPECT_FALSE(owner.cancelFlag().load());
  }
}

TEST(OpenFailure, ExactTexts) {
  EXPECT_TRUE(isOpenFailure("Serial_Open_Fail"));
  EXPECT_TRUE(isOpenFailure("Parallel_Open_Fail"));
  EXPECT_TRUE(isOpenFailure("Controller_Connect_Fail"));
  EXPECT_FALSE(isOpenFailure("Serial_Open_Fail "));
  EXPECT_FALSE(isOpenFailure("Connect machine fail!"));
  EXPECT_FALSE(isOpenFailure(""));
}

class CutEndWaitTest : public LinkTest {};

TEST_F(CutEndWaitTest, PollsUntilIdleOrError) {
  using Ms = Clock::Ms;
  struct Case {
    std::vector<int> answers;
    bool ok;
    const char* message;
    std::vector<Ms> sleeps;
  } cases[] = {
      {{1}, true, "", {Ms(1000), Ms(100)}},
      {{2, 2, 1}, true, "busy", {Ms(1000), Ms(100), Ms(1000), Ms(100), Ms(1000), Ms(100)}},
      {{2, 0}, false, "fault", {Ms(1000), Ms(100), Ms(1000), Ms(100)}},
  };
  const std::string record = writeFile("1.txt", "stale-text\n");
  for (const Case& c : cases) {
    FakeClock clock;
    std::deque<int> answers(c.answers.begin(), c.answers.end());
    std::vector<std::string> status;
    CutEndResult r = waitForCutEnd(
        [&] {
          int s = answers.front();
          answers.pop_front();
          return StateAnswer{s, s == 2 ? "busy" : s == 0 ? "fault" : ""};
        },
        clock, [&](const std::string& text) { status.push_back(text); }, record);
    EXPECT_EQ(r.ok, c.ok);
    EXPECT_EQ(r.message, c.message);
    EXPECT_EQ(clock.sleeps(), c.sleeps);
    EXPECT_THAT(status, ElementsAre("Check Machine Cut ... ..."));
    EXPECT_TRUE(answers.empty());
    // The trace file is rewritten from its start with the last answer.
    EXPECT_EQ(readFile(record).value().substr(0, 2), std::to_string(c.answers.back()) + "\n");
  }
  // Without the trace file, none is made.
  FakeClock clock;
  waitForCutEnd([] { return StateAnswer{1, ""}; }, clock, nullptr, file("absent.txt"));
  EXPECT_FALSE(fileExists(file("absent.txt")));
}

TEST_F(CutEndWaitTest, OnTheSimulatedMachine) {
  // The machine cuts each job for 5 s of (virtual) time.
  MachineSimOptions options;
  options.cuttingTime = std::chrono::seconds(5);
  MachineSimulator machine(options, clock_);
  ASSERT_TRUE(machine.start().ok());
  SettingsStore s = store();
  ASSERT_TRUE(s.set_Ethernet_IP("127.0.0.1").ok());
  ASSERT_TRUE(s.set_Ethernet_Port(machine.port()).ok());
  RecordingOwner owner;
  TcpMachineLink job(owner, writeFile("job.plt", "IN;PU0,0;PD100,0;"), context());
  ASSERT_TRUE(job.transfer());
  CutEndResult r = waitForTcpCutEnd(owner, context(), nullptr, file("1.txt"));
  EXPECT_TRUE(r.ok) << r.message;
  EXPECT_GE(machine.stateQueries(), 2);

  // The operator pausing the queue ends the wait, also when the machine
  // cannot be reached.
  ASSERT_TRUE(job.transfer());
  machine.stop();
  owner.cancelFlag() = true;
  r = waitForTcpCutEnd(owner, context(), nullptr, file("1.txt"));
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.message, "Error: Zuda Printing be Canceled whit User!");
}

}  // namespace
}  // namespace plotdesk::test
