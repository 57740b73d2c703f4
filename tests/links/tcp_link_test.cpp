// The TCP machine link against the in-process cutter simulator.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "links/tcp_machine_link.h"
#include "tests/links/link_fixture.h"
#include "tools/machine_sim/machine_sim.h"

namespace plotdesk::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

class TcpLinkTest : public LinkTest {
 protected:
  // Starts the simulator and points the settings at it.
  MachineSimulator& startMachine(MachineSimOptions options = {}, int timeoutSeconds = 3, bool oldMode = false) {
    machine_ = std::make_unique<MachineSimulator>(options, clock_);
    EXPECT_TRUE(machine_->start().ok());
    SettingsStore s = store();
    EXPECT_TRUE(s.set_Ethernet_IP("127.0.0.1").ok());
    EXPECT_TRUE(s.set_Ethernet_Port(machine_->port()).ok());
    EXPECT_TRUE(s.set_TimeOut_Enabled(timeoutSeconds > 0 ? 1 : 0).ok());
    EXPECT_TRUE(s.set_Time_Value(timeoutSeconds > 0 ? timeoutSeconds : 3).ok());
    EXPECT_TRUE(s.set_OldProram_Mode(oldMode ? 1 : 0).ok());
    return *machine_;
  }
  std::unique_ptr<MachineSimulator> machine_;
};

struct TransferCase {
  const char* name;
  MachineSimOptions machine;
  bool oldMode;
  int timeoutSeconds;
  long long fileSize;  // -1: no file
  bool ok;
  const char* message;
  int jobs;
  int blocks;  // of the finished job
  int errorCommands;
};

void PrintTo(const TransferCase& c, std::ostream* os) { *os << c.name; }

class TcpTransferTable : public TcpLinkTest, public ::testing::WithParamInterface<TransferCase> {};

TEST_P(TcpTransferTable, WireExchange) {
  const TransferCase& c = GetParam();
  MachineSimulator& machine = startMachine(c.machine, c.timeoutSeconds, c.oldMode);
  const std::string content = patternBytes(c.fileSize < 0 ? 0 : static_cast<size_t>(c.fileSize));
  const std::string path = c.fileSize < 0 ? file("missing.plt") : writeFile("job.plt", content);

  RecordingOwner owner;
  owner.cancelFlag() = true;  // a stale flag: every transfer clears it first
  TcpMachineLink link(owner, path, context());
  EXPECT_EQ(link.transfer(), c.ok);
  EXPECT_EQ(link.message(), c.message);
  EXPECT_EQ(owner.progress().front(), 1);
  EXPECT_EQ(owner.progress().back(), 0);
  ASSERT_TRUE(eventually([&] { return machine.errorCommands() == c.errorCommands; }));
  std::vector<SimJob> jobs = machine.jobs();
  ASSERT_EQ(static_cast<int>(jobs.size()), c.jobs);
  if (c.jobs == 1) {
    EXPECT_EQ(jobs[0].data, content);
    EXPECT_EQ(jobs[0].blocks, c.blocks);
    EXPECT_EQ(owner.progress()[owner.progress().size() - 2], 100);
  }
  if (c.machine.refuseStart) {
    EXPECT_EQ(machine.dataBytesReceived(), 0);
  }
}

MachineSimOptions refusing() {
  MachineSimOptions o;
  o.refuseStart = true;
  return o;
}
MachineSimOptions dropping(int blocks) {
  MachineSimOptions o;
  o.dropAfterBlocks = blocks;
  return o;
}
MachineSimOptions silent() {
  MachineSimOptions o;
  o.neverAcknowledge = true;
  return o;
}
MachineSimOptions junk() {
  MachineSimOptions o;
  o.garbageAnswers = true;
  return o;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TcpTransferTable,
    ::testing::Values(
        TransferCase{"TwoBlocks", {}, false, 3, 2048, true, "Print File OK.", 1, 2, 0},
        TransferCase{"ShortLastBlock", {}, false, 3, 4097, true, "Print File OK.", 1, 5, 0},
        TransferCase{"OldModeWithoutAcks", silent(), true, 3, 3000, true, "Print File OK.", 1, 3, 0},
        TransferCase{"EmptyFile", {}, false, 3, 0, false, "Error: Print File is Null!", 0, 0, 1},
        TransferCase{"MissingFile", {}, false, 3, -1, false, "Error: Print File is Null!", 0, 0, 1},
        TransferCase{"StartRefused", refusing(), false, 3, 2048, false, "Error: Machine Cut Running... ...", 0, 0, 0},
        TransferCase{"JunkAnswers", junk(), false, 3, 2048, false, "Error: Machine Cut Running... ...", 0, 0, 0},
        // The connection breaks after the second block: never a success.
        TransferCase{"DroppedMidway", dropping(2), false, 3, 5000, false, "Other Error!", 0, 0, 0},
        // No acknowledgement within the time limit: the data phase failed,
        // so the job is closed with the error command, not the end command.
        TransferCase{"AckTimeout", silent(), false, 1, 3000, false, "Other Error!", 0, 0, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TcpLinkTest, ConnectFailures) {
  // A port nobody listens on.
  MachineSimulator& machine = startMachine();
  const int port = machine.port();
  machine.stop();
  RecordingOwner owner;
  TcpMachineLink closed("127.0.0.1", port, writeFile("a.plt", "IN;"), context());
  EXPECT_FALSE(closed.transfer());
  EXPECT_EQ(closed.message(), "Connect machine fail!");
  // An address outside loopback is refused before any packet leaves.
  TcpMachineLink outside("192.0.2.1", 23, file("a.plt"), context());
  EXPECT_FALSE(outside.transfer());
  EXPECT_EQ(outside.message(), "Connect machine fail!");
}

TEST_F(TcpLinkTest, CancelMidTransferEndsQuicklyWithErrorCommand) {
  // The machine never acknowledges and there is no time limit: only the
  // operator's cancel can end the wait.
  MachineSimulator& machine = startMachine(silent(), 0);
  RecordingOwner owner;
  TcpMachineLink link(owner, writeFile("job.plt", patternBytes(5000)), context());
  std::atomic<bool> result{true};
  std::jthread worker([&] { result = link.transfer(); });
  ASSERT_TRUE(eventually([&] { return machine.dataBytesReceived() > 0; }));
  const auto cancelledAt = realClock().steadyNow();
  owner.cancelFlag() = true;
  worker.join();
  EXPECT_LT(realClock().steadyNow() - cancelledAt, std::chrono::seconds(1));
  EXPECT_FALSE(result);
  EXPECT_EQ(link.message(), "Error: Zuda Printing be Canceled whit User!");
  EXPECT_TRUE(eventually([&] { return machine.errorCommands() == 1; }));
  EXPECT_TRUE(machine.jobs().empty());
}

// A clock that sets the cancel flag while the link waits for the answer to
// its second link command (the end command).
class CancelAtEndClock final : public Clock {
 public:
  explicit CancelAtEndClock(std::atomic<bool>& flag) : flag_(flag) {}
  std::chrono::system_clock::time_point wallNow() override { return inner_.wallNow(); }
  std::chrono::steady_clock::time_point steadyNow() override { return inner_.steadyNow(); }
  bool sleepFor(Ms d, std::stop_token stop) override {
    if (d == Ms(500)) ++commands_;
    if (d == Ms(150) && commands_ == 2) flag_ = true;
    return inner_.sleepFor(d, stop);
  }

 private:
  FakeClock inner_;
  std::atomic<bool>& flag_;
  int commands_ = 0;
};

TEST_F(TcpLinkTest, AcceptedEndCommandIsSuccessDespiteLateCancel) {
  MachineSimulator& machine = startMachine();
  RecordingOwner owner;
  CancelAtEndClock clock(owner.cancelFlag());
  TcpMachineLink link(owner, writeFile("job.plt", patternBytes(3000)), LinkContext{home(), &clock});
  EXPECT_TRUE(link.transfer());
  EXPECT_EQ(link.message(), "Print File OK.");
  EXPECT_EQ(machine.jobs().size(), 1u);
}

TEST_F(TcpLinkTest, PausesFollowTheProtocol) {
  startMachine();
  RecordingOwner owner;
  TcpMachineLink link(owner, writeFile("job.plt", patternBytes(2048)), context());
  ASSERT_TRUE(link.transfer());
  using Ms = Clock::Ms;
  // start command, two blocks, end command, final pause
  EXPECT_THAT(clock_.sleeps(),
              ElementsAre(Ms(500), Ms(150), Ms(10), Ms(10), Ms(500), Ms(150), Ms(1000)));
}

struct StateCase {
  const char* name;
  MachineSimOptions machine;
  bool cutting;  // a job was just sent and the machine cuts it
  int state;
  const char* message;
};

void PrintTo(const StateCase& c, std::ostream* os) { *os << c.name; }

class TcpStateTable : public TcpLinkTest, public ::testing::WithParamInterface<StateCase> {};

TEST_P(TcpStateTable, Query) {
  const StateCase& c = GetParam();
  MachineSimOptions options = c.machine;
  options.cuttingTime = std::chrono::minutes(5);
  startMachine(options);
  if (c.cutting) {
    RecordingOwner owner;
    TcpMachineLink job(owner, writeFile("job.plt", "IN;PU0,0;"), context());
    ASSERT_TRUE(job.transfer());
  }
  RecordingOwner owner;
  TcpMachineLink link(owner, "", context());
  EXPECT_EQ(link.queryMachineState(), c.state);
  EXPECT_EQ(link.message(), c.message);
  EXPECT_EQ(link.resultByte(), c.state == kStateIdle);
  EXPECT_THAT(owner.progress(), ElementsAre(1, 30, 5, 70, 100, 0));
}

MachineSimOptions split() {
  MachineSimOptions o;
  o.splitStateReply = true;
  return o;
}

INSTANTIATE_TEST_SUITE_P(Cases, TcpStateTable,
                         ::testing::Values(StateCase{"Idle", {}, false, kStateIdle, ""},
                                           StateCase{"Cutting", {}, true, kStateBusy, ""},
                                           StateCase{"SplitReply", split(), false, kStateIdle, ""},
                                           StateCase{"SplitReplyCutting", split(), true, kStateBusy, ""},
                                           StateCase{"NoEcho", junk(), false, kStateError, "Other Error!_:_E"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TcpLinkTest, StateQueryUnreachable) {
  MachineSimulator& machine = startMachine();
  const int port = machine.port();
  machine.stop();
  // Unreachable reads as busy, so a poller keeps polling...
  TcpMachineLink ownerless("127.0.0.1", port, "", context());
  EXPECT_EQ(ownerless.queryMachineState(), kStateBusy);
  // ...unless the operator asked to stop.
  RecordingOwner owner;
  owner.cancelFlag() = true;
  SettingsStore s = store();
  ASSERT_TRUE(s.set_Ethernet_Port(port).ok());
  TcpMachineLink link(owner, "", context());
  EXPECT_EQ(link.queryMachineState(), kStateError);
  EXPECT_EQ(link.message(), "Error: Zuda Printing be Canceled whit User!");
}

TEST_F(TcpLinkTest, StateQueryWithCancelSetAsksNothing) {
  MachineSimulator& machine = startMachine();
  RecordingOwner owner;
  owner.cancelFlag() = true;  // a query does not clear the flag
  TcpMachineLink link(owner, "", context());
  EXPECT_EQ(link.queryMachineState(), kStateError);
  EXPECT_EQ(link.message(), "Error: Zuda Printing be Canceled whit User!");
  EXPECT_EQ(machine.stateQueries(), 0);
}

TEST_F(TcpLinkTest, FileOverNotice) {
  MachineSimulator& machine = startMachine();
  TcpMachineLink good("127.0.0.1", machine.port(), "", context());
  EXPECT_TRUE(good.fileOverNotice());
  EXPECT_TRUE(good.resultByte());
  machine.setOptions(junk());  // answers "0"
  TcpMachineLink bad("127.0.0.1", machine.port(), "", context());
  EXPECT_FALSE(bad.fileOverNotice());
}

TEST_F(TcpLinkTest, SettingsAreRead) {
  SettingsStore s = store();
  ASSERT_TRUE(s.set_Ethernet_IP("127.0.0.9").ok());
  ASSERT_TRUE(s.set_Ethernet_Port(4321).ok());
  ASSERT_TRUE(s.set_Time_Value(7).ok());
  RecordingOwner owner;
  TcpMachineLink limited(owner, "", context());
  EXPECT_EQ(limited.address(), "127.0.0.9");
  EXPECT_EQ(limited.port(), 4321);
  EXPECT_EQ(limited.timeLimitMs(), 7000);
  EXPECT_FALSE(limited.oldProgramMode());
  ASSERT_TRUE(s.set_TimeOut_Enabled(0).ok());
  ASSERT_TRUE(s.set_OldProram_Mode(1).ok());
  TcpMachineLink unlimited("127.0.0.2", 99, "", context());
  EXPECT_EQ(unlimited.address(), "127.0.0.2");
  EXPECT_EQ(unlimited.port(), 99);
  EXPECT_EQ(unlimited.timeLimitMs(), TimedSocket::kNoLimit);
  EXPECT_TRUE(unlimited.oldProgramMode());
}

struct NumberCase {
  const char* reply;
  std::optional<int> number;
};

TEST(StateNumber, Extraction) {
  const NumberCase cases[] = {
      {"?VR(580)\r\n0.0000\r\n>", 0},
      {"?VR(580) 1.0000", 1},
      {"?vr(580)2.5", 2},
      {"noise?VR(580)\r\n12\r\n", 12},
      {"?VR(580)-1.0", -1},
      {"?VR(580)- 3", 3},       // the sign must touch the digit
      {"?VR(580)x7y.3.", 7},    // other characters are skipped, one trailing point dropped
      {"?VR(580)\r\n>", std::nullopt},
      {"?VR(580).5", std::nullopt},  // a point before any digit ends the scan
      {"0.0000\r\n", std::nullopt},  // no echo
      {"?VR(58", std::nullopt},
      {"", std::nullopt},
  };
  for (const NumberCase& c : cases) {
    EXPECT_EQ(extractStateNumber(c.reply), c.number) << c.reply;
  }
}

}  // namespace
}  // namespace plotdesk::test
