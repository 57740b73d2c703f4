// The parallel link writes in-process to the printer device; tests name a
// capture file or a FIFO as the device.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "links/parallel_link.h"
#include "tests/links/link_fixture.h"

namespace plotdesk::test {
namespace {

class ParallelLinkTest : public LinkTest {};

TEST(ParallelDevices, Candidates) {
  EXPECT_EQ(parallelDeviceCandidates(1, ""), (std::vector<std::string>{"/dev/lp0", "/dev/usb/lp0"}));
  EXPECT_EQ(parallelDeviceCandidates(2, ""), (std::vector<std::string>{"/dev/lp1", "/dev/usb/lp1"}));
  EXPECT_EQ(parallelDeviceCandidates(2, "/tmp/capture"), (std::vector<std::string>{"/tmp/capture"}));
}

TEST_F(ParallelLinkTest, ResultsFollowWhatHappened) {
  const std::string device = writeFile("lp-capture", "");
  const std::string content = patternBytes(10000);
  const std::string path = writeFile("job.plt", content);
  SettingsStore s = store();

  ASSERT_TRUE(s.set_Parallel_Device(device).ok());
  RecordingOwner owner;
  owner.cancelFlag() = true;  // stale: cleared when the transfer starts
  auto link = makeMachineLink(kTransferParallel, owner, path, 10000, context());
  EXPECT_TRUE(link->transfer());
  EXPECT_EQ(link->message(), "");
  EXPECT_EQ(readFile(device).value(), content);
  EXPECT_EQ(owner.progress().front(), 1);
  EXPECT_EQ(owner.progress().back(), 0);

  auto noFile = makeMachineLink(kTransferParallel, owner, file("missing.plt"), 0, context());
  EXPECT_FALSE(noFile->transfer());
  EXPECT_EQ(noFile->message(), "Open Transfer-File Fail.");

  // A device that cannot be opened pauses the queue like the other open failures.
  ASSERT_TRUE(s.set_Parallel_Device(file("no-such-dir/lp0")).ok());
  auto noDevice = makeMachineLink(kTransferParallel, owner, path, 10000, context());
  EXPECT_FALSE(noDevice->transfer());
  EXPECT_EQ(noDevice->message(), "Parallel_Open_Fail");
  EXPECT_TRUE(isOpenFailure(noDevice->message()));
}

TEST_F(ParallelLinkTest, StalledDeviceHonoursCancel) {
  // A printer that takes nothing: a FIFO nobody reads.
  const std::string fifo = file("lp-fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  ASSERT_TRUE(store().set_Parallel_Device(fifo).ok());
  RecordingOwner owner;
  ParallelLink link(owner, writeFile("job.plt", patternBytes(1 << 20)), 1 << 20, context());
  std::atomic<bool> result{true};
  std::jthread worker([&] { result = link.transfer(); });
  ASSERT_TRUE(eventually([&] { return owner.progress().size() > 1; }));  // the pipe is filling
  owner.cancelFlag() = true;
  worker.join();
  ::close(reader);
  EXPECT_FALSE(result);
  EXPECT_EQ(link.message(), "File transfer cancelled by user.");
}

}  // namespace
}  // namespace plotdesk::test
