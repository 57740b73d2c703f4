#include "app/station_services.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "config/settings_store.h"
#include "platform/files.h"
#include "tests/support/temp_dir.h"
#include "tools/machine_sim/machine_sim.h"

namespace plotdesk {
namespace {

class Owner final : public TransferOwner {
 public:
  std::atomic<bool>& cancelFlag() override { return cancel; }
  void setProgress(int p) override { last = p; }
  std::atomic<bool> cancel{false};
  std::atomic<int> last{0};
};

class StationServices : public ::testing::Test {
 protected:
  void SetUp() override {
    SettingsStore store(home.path());
    ASSERT_TRUE(store.set_Ethernet_IP("127.0.0.1"));
    ASSERT_TRUE(store.set_File_Type(5));
    ASSERT_TRUE(writeFileAtomic(home.file("job.plt"), "IN;SP1;PU0,0;PD100,100;PU;"));
  }
  test::TempDir home;
  FakeClock clock;
};

TEST_F(StationServices, EngineAndLinkServeThePipeline) {
  MachineSimulator sim({});
  ASSERT_TRUE(sim.start());
  ASSERT_TRUE(SettingsStore(home.path()).set_Ethernet_Port(sim.port()));

  EngineDisposeFactory engines(home.slash());
  struct Collect final : DisposeOwner {
    void setProgress(int) override {}
    void addOutput(std::string item) override { items.push_back(item); }
    bool stopRequested() const override { return false; }
    std::vector<std::string> items;
  } collect;
  ASSERT_TRUE(createFolder(home.file("out")));
  ASSERT_TRUE(engines.create(1)->dispose({home.file("job.plt"), home.file("out"), "20110405_134501"}, collect));
  ASSERT_EQ(collect.items.size(), 1u);
  EXPECT_EQ(collect.items[0].rfind(home.file("out/job_20110405_134501_001.plt;"), 0), 0u);
  EXPECT_TRUE(engines.convertFileCode(home.file("job.plt")));

  MachineLinkFactory links(home.slash(), clock);
  Owner owner;
  EXPECT_EQ(links.create({0, home.file("job.plt"), 0}, owner), nullptr);  // no link: empty cause
  auto link = links.create({4, home.file("job.plt"), 26}, owner);
  ASSERT_TRUE(link);
  EXPECT_TRUE(link->transfer()) << link->message();
  ASSERT_EQ(sim.jobs().size(), 1u);
}

TEST_F(StationServices, PausingDuringTheCutEndWaitDoesNotRequeueTheJob) {
  MachineSimOptions options;
  options.cuttingTime = std::chrono::hours(1);
  MachineSimulator sim(options);
  ASSERT_TRUE(sim.start());
  ASSERT_TRUE(SettingsStore(home.path()).set_Ethernet_Port(sim.port()));
  MachineLinkFactory links(home.slash(), clock);
  Owner owner;
  auto link = links.create({4, home.file("job.plt"), 26}, owner);
  ASSERT_TRUE(link->transfer()) << link->message();
  std::jthread pause([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    owner.cancel = true;
  });
  std::string message;
  EXPECT_TRUE(link->waitForCutEnd([](const std::string&) {}, message));
  EXPECT_GT(sim.stateQueries(), 0);
}

}  // namespace
}  // namespace plotdesk
