// `plotdesk send FILE` end to end, one case per link.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "links/send_command.h"
#include "tests/links/link_fixture.h"
#include "tools/machine_sim/machine_sim.h"

namespace plotdesk::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

class SendCommandTest : public LinkTest {
 protected:
  MachineSimulator& startMachine(MachineSimOptions options = {}) {
    machine_ = std::make_unique<MachineSimulator>(options, clock_);
    EXPECT_TRUE(machine_->start().ok());
    SettingsStore s = store();
    EXPECT_TRUE(s.set_Transfer_Type(4).ok());
    EXPECT_TRUE(s.set_Ethernet_IP("127.0.0.1").ok());
    EXPECT_TRUE(s.set_Ethernet_Port(machine_->port()).ok());
    return *machine_;
  }
  int send(const std::vector<std::string>& args) {
    out_.str("");
    err_.str("");
    return runSendCommand(args, home(), out_, err_, clock_);
  }
  std::unique_ptr<MachineSimulator> machine_;
  std::ostringstream out_, err_;
};

TEST_F(SendCommandTest, OneMegabyteOverTcp) {
  MachineSimulator& machine = startMachine();
  const std::string content = patternBytes(1 << 20);
  EXPECT_EQ(send({writeFile("big.plt", content)}), 0);
  EXPECT_EQ(out_.str(), "Print File OK.\n");
  EXPECT_THAT(err_.str(), HasSubstr("100%"));
  ASSERT_EQ(machine.jobs().size(), 1u);
  EXPECT_EQ(machine.jobs()[0].data, content);
  EXPECT_EQ(machine.jobs()[0].blocks, 1024);
  EXPECT_EQ(machine.startCommands(), 1);
  EXPECT_EQ(machine.errorCommands(), 0);
}

TEST_F(SendCommandTest, TcpFailures) {
  MachineSimOptions refuse;
  refuse.refuseStart = true;
  MachineSimulator& machine = startMachine(refuse);
  const std::string path = writeFile("big.plt", patternBytes(1 << 20));
  EXPECT_EQ(send({path}), 1);
  EXPECT_EQ(out_.str(), "Error: Machine Cut Running... ...\n");

  MachineSimOptions drop;
  drop.dropAfterBlocks = 300;
  machine.setOptions(drop);
  EXPECT_EQ(send({path}), 1);
  EXPECT_THAT(out_.str(), Not(HasSubstr("Print File OK.")));
  EXPECT_TRUE(machine.jobs().empty());
}

TEST_F(SendCommandTest, WaitsForTheCutWhenAsked) {
  MachineSimOptions options;
  options.cuttingTime = std::chrono::seconds(4);
  MachineSimulator& machine = startMachine(options);
  ASSERT_TRUE(store().set_IC_CutState(1).ok());
  EXPECT_EQ(send({writeFile("a.plt", "IN;PU0,0;PD40,40;")}), 0);
  EXPECT_THAT(err_.str(), HasSubstr("Check Machine Cut ... ..."));
  EXPECT_GE(machine.stateQueries(), 2);
}

TEST_F(SendCommandTest, SerialOverPty) {
  PtySink sink({}, std::chrono::milliseconds(100));
  ASSERT_TRUE(sink.start().ok());
  SettingsStore s = store();
  ASSERT_TRUE(s.set_Transfer_Type(2).ok());
  ASSERT_TRUE(s.set_Serial_Comport(sink.devicePath()).ok());
  const std::string content = patternBytes(4097);
  EXPECT_EQ(send({writeFile("a.plt", content)}), 0);
  EXPECT_EQ(out_.str(), "OK\n");
  ASSERT_TRUE(eventually([&] { return sink.received().size() >= 8192u; }));
  EXPECT_EQ(sink.received(), content + std::string(4095, '\0'));
}

TEST_F(SendCommandTest, ParallelToCaptureFile) {
  const std::string device = writeFile("lp0", "");
  SettingsStore s = store();
  ASSERT_TRUE(s.set_Transfer_Type(1).ok());
  ASSERT_TRUE(s.set_Parallel_Device(device).ok());
  EXPECT_EQ(send({writeFile("a.plt", "IN;PU0,0;")}), 0);
  EXPECT_EQ(readFile(device).value(), "IN;PU0,0;");
}

TEST_F(SendCommandTest, UsageAndMissingFile) {
  EXPECT_EQ(send({}), 2);
  EXPECT_THAT(err_.str(), HasSubstr("usage"));
  EXPECT_EQ(send({"a", "b"}), 2);
  EXPECT_EQ(send({file("missing.plt")}), 1);
  EXPECT_EQ(out_.str(), "Print File isn't Exist!\n");
}

}  // namespace
}  // namespace plotdesk::test
