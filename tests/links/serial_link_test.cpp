// The serial link: line settings mapped to termios (on a recording fake, as a
// pty cannot carry parity or modem lines), the block protocol, and a real pty.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <deque>

#include "links/serial_link.h"
#include "tests/links/link_fixture.h"
#include "tools/machine_sim/machine_sim.h"

namespace plotdesk::test {
namespace {

using ::testing::Contains;
using ::testing::Each;
using ::testing::Eq;

// Records what the link asks of the port. The device keeps the attributes it
// is given, except those in `refusedCflag`, which it silently drops.
class FakePort final : public SerialPortIo {
 public:
  struct State {
    std::mutex mu;
    std::vector<termios> set;
    int raisedLines = 0;
    std::string written;
    std::vector<size_t> writeSizes;
    bool openFails = false;
    tcflag_t refusedCflag = 0;
    std::deque<Result<int>> modem;  // answers to modem-status calls; the last repeats
    long writeBudget = -1;          // bytes accepted before writes fail; -1 unlimited
    std::function<void()> onModemPoll;
    bool closed = false;
    int drains = 0;
  };
  explicit FakePort(std::shared_ptr<State> s) : s_(std::move(s)) {}

  Status open(const std::string&) override {
    if (s_->openFails) return fail("no such port");
    return {};
  }
  Result<termios> getAttributes() override {
    std::lock_guard g(s_->mu);
    if (s_->set.empty()) {
      termios t{};
      t.c_cflag = CS8 | CREAD | HUPCL;
      t.c_iflag = ICRNL | IXON;
      t.c_oflag = OPOST | ONLCR;
      t.c_lflag = ECHO | ICANON | ISIG;
      cfsetospeed(&t, B9600);
      cfsetispeed(&t, B9600);
      return t;
    }
    termios t = s_->set.back();
    t.c_cflag &= ~s_->refusedCflag;
    return t;
  }
  Status setAttributes(const termios& t) override {
    std::lock_guard g(s_->mu);
    s_->set.push_back(t);
    return {};
  }
  Status raiseModemLines(int lines) override {
    s_->raisedLines |= lines;
    return {};
  }
  Result<int> modemStatus() override {
    if (s_->onModemPoll) s_->onModemPoll();
    std::lock_guard g(s_->mu);
    if (s_->modem.empty()) return TIOCM_CTS | TIOCM_DSR;
    Result<int> r = s_->modem.front();
    if (s_->modem.size() > 1) s_->modem.pop_front();
    return r;
  }
  Status discardQueues() override { return {}; }
  long writeSome(const void* data, size_t size, int) override {
    std::lock_guard g(s_->mu);
    if (s_->writeBudget == 0) return -1;
    if (s_->writeBudget > 0) size = std::min(size, static_cast<size_t>(s_->writeBudget));
    if (s_->writeBudget > 0) s_->writeBudget -= static_cast<long>(size);
    s_->written.append(static_cast<const char*>(data), size);
    s_->writeSizes.push_back(size);
    return static_cast<long>(size);
  }
  Result<int> outputPending() override { return 0; }
  Status drain() override {
    ++s_->drains;
    return {};
  }
  void discardOutput() override {}
  void close() override { s_->closed = true; }

 private:
  std::shared_ptr<State> s_;
};

class SerialLinkTest : public LinkTest {
 protected:
  SerialLinkTest() { EXPECT_TRUE(store().set_Serial_Comport("COM2").ok()); }
  // Runs one transfer of `content` on the fake port.
  bool run(const std::string& content, RecordingOwner& owner, std::string* message = nullptr) {
    SerialLink link(owner, writeFile("job.plt", content), 0, context(), std::make_unique<FakePort>(port_));
    EXPECT_EQ(link.devicePath(), "/dev/ttyS1");
    bool ok = link.transfer();
    if (message) *message = link.message();
    EXPECT_TRUE(port_->closed);
    return ok;
  }
  std::shared_ptr<FakePort::State> port_ = std::make_shared<FakePort::State>();
};

struct LineCase {
  const char* name;
  const char* baud;
  int parity;
  const char* dataBits;
  int stopBits;
  int handshake;
  bool opens;
  tcflag_t cflagLine;  // CSIZE|PARENB|PARODD|CMSPAR|CSTOPB|CRTSCTS bits expected
  tcflag_t iflagFlow;  // IXON|IXOFF expected
  speed_t speed;
};

void PrintTo(const LineCase& c, std::ostream* os) { *os << c.name; }

class SerialLineTable : public SerialLinkTest, public ::testing::WithParamInterface<LineCase> {};

TEST_P(SerialLineTable, MapsToTermios) {
  const LineCase& c = GetParam();
  SettingsStore s = store();
  ASSERT_TRUE(s.set_Serial_Baudrate(c.baud).ok());
  ASSERT_TRUE(s.set_Serial_Parity(c.parity).ok());
  ASSERT_TRUE(s.set_Serial_DataBits(c.dataBits).ok());
  ASSERT_TRUE(s.set_Serial_StopBits(c.stopBits).ok());
  ASSERT_TRUE(s.set_Serial_Protocol(c.handshake).ok());
  RecordingOwner owner;
  std::string message;
  EXPECT_EQ(run("IN;", owner, &message), c.opens);
  if (!c.opens) {
    EXPECT_EQ(message, "Serial_Open_Fail");
    EXPECT_TRUE(port_->written.empty());
    return;
  }
  ASSERT_EQ(port_->set.size(), 1u);
  const termios& t = port_->set[0];
  EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS), c.cflagLine);
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF), c.iflagFlow);
  EXPECT_EQ(cfgetospeed(&t), c.speed);
  EXPECT_EQ(cfgetispeed(&t), c.speed);
  // Raw, and the fields the line does not name keep their values.
  EXPECT_EQ(t.c_oflag & OPOST, 0u);
  EXPECT_EQ(t.c_iflag & ICRNL, 0u);
  EXPECT_EQ(t.c_lflag & (ECHO | ICANON | ISIG), 0u);
  EXPECT_EQ(t.c_cflag & (CREAD | CLOCAL), static_cast<tcflag_t>(CREAD | CLOCAL));
  EXPECT_EQ(t.c_cflag & HUPCL, static_cast<tcflag_t>(HUPCL));
  if (c.handshake == 3) {
    EXPECT_EQ(t.c_cc[VSTART], 0x11);
    EXPECT_EQ(t.c_cc[VSTOP], 0x13);
  }
  EXPECT_EQ(port_->raisedLines, TIOCM_DTR | TIOCM_RTS);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SerialLineTable,
    ::testing::Values(LineCase{"Defaults", "38400", 0, "8", 0, 0, true, CS8, 0, B38400},
                      LineCase{"OddTwoStopRtsCts", "9600", 1, "7", 2, 1, true, CS7 | PARENB | PARODD | CSTOPB | CRTSCTS, 0, B9600},
                      LineCase{"EvenDtrDsr", "115200", 2, "8", 0, 2, true, CS8 | PARENB, 0, B115200},
                      LineCase{"MarkXonXoff", "19200", 3, "6", 0, 3, true, CS6 | PARENB | PARODD | CMSPAR, IXON | IXOFF, B19200},
                      LineCase{"SpaceOneAndHalfStop", "1200", 4, "5", 1, 0, true, CS5 | PARENB | CMSPAR | CSTOPB, 0, B1200},
                      LineCase{"OneAndHalfStopWithEightBits", "9600", 0, "8", 1, 0, false, 0, 0, 0},
                      LineCase{"FourDataBits", "9600", 0, "4", 0, 0, false, 0, 0, 0},
                      LineCase{"UnknownRate", "12345", 0, "8", 0, 0, false, 0, 0, 0},
                      LineCase{"UnknownParity", "9600", 5, "8", 0, 0, false, 0, 0, 0},
                      LineCase{"UnknownHandshake", "9600", 0, "8", 0, 4, false, 0, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SerialLinkTest, DeviceDroppingASettingFailsTheOpen) {
  ASSERT_TRUE(store().set_Serial_Parity(2).ok());
  port_->refusedCflag = PARENB;
  RecordingOwner owner;
  std::string message;
  EXPECT_FALSE(run("IN;", owner, &message));
  EXPECT_EQ(message, "Serial_Open_Fail");
  port_->refusedCflag = 0;
  port_->openFails = true;
  EXPECT_FALSE(run("IN;", owner, &message));
  EXPECT_EQ(message, "Serial_Open_Fail");
  // Only the final pause of each attempt: nothing was sent.
  EXPECT_EQ(clock_.sleeps(), (std::vector<Clock::Ms>{Clock::Ms(1000), Clock::Ms(1000)}));
}

TEST_F(SerialLinkTest, BlocksArePaddedToFullSize) {
  struct Case {
    size_t size;
    size_t written;
  } cases[] = {{0, 0}, {1, 4096}, {4096, 4096}, {4097, 8192}};
  for (const Case& c : cases) {
    port_ = std::make_shared<FakePort::State>();
    RecordingOwner owner;
    const std::string content = patternBytes(c.size);
    std::string message = "x";
    EXPECT_TRUE(run(content, owner, &message)) << c.size;
    EXPECT_EQ(message, "");
    ASSERT_EQ(port_->written.size(), c.written) << c.size;
    EXPECT_EQ(port_->written.substr(0, c.size), content);
    EXPECT_THAT(port_->written.substr(c.size), Each(Eq('\0')));
    EXPECT_EQ(owner.progress().front(), 1);
    EXPECT_EQ(owner.progress().back(), 0);
    EXPECT_EQ(port_->drains, 1);
  }
}

TEST_F(SerialLinkTest, EmptyFilePauses) {
  RecordingOwner owner;
  EXPECT_TRUE(run("", owner));
  using Ms = Clock::Ms;
  EXPECT_EQ(clock_.sleeps(), (std::vector<Ms>{Ms(200), Ms(1000), Ms(1000)}));
}

TEST_F(SerialLinkTest, WriteFailures) {
  RecordingOwner owner;
  std::string message;
  // The port stops taking bytes within the first of three blocks.
  port_->writeBudget = 100;
  EXPECT_FALSE(run(patternBytes(9000), owner, &message));
  EXPECT_EQ(message, "File transfer failed(Transfer=$1000, Received=$64)");
  // Losing padding of the last block is harmless...
  port_ = std::make_shared<FakePort::State>();
  port_->writeBudget = 4096 + 50;
  EXPECT_TRUE(run(patternBytes(4096 + 10), owner, &message));
  // ...losing file bytes of the last block is not.
  port_ = std::make_shared<FakePort::State>();
  port_->writeBudget = 4096 + 5;
  EXPECT_FALSE(run(patternBytes(4096 + 10), owner, &message));
  EXPECT_EQ(message, "File transfer failed(Transfer=$a, Received=$5)");
}

TEST_F(SerialLinkTest, MissingFile) {
  RecordingOwner owner;
  SerialLink link(owner, file("nope.plt"), 0, context(), std::make_unique<FakePort>(port_));
  EXPECT_FALSE(link.transfer());
  EXPECT_EQ(link.message(), "Open Transfer-File Fail.");
}

TEST_F(SerialLinkTest, CancelWhileSending) {
  RecordingOwner owner;
  owner.onProgress = [&](int) {
    if (owner.progress().size() == 2) owner.cancelFlag() = true;  // after the first block
  };
  std::string message;
  EXPECT_FALSE(run(patternBytes(3 * 4096), owner, &message));
  EXPECT_EQ(message, "File transfer cancelled by user.");
  EXPECT_EQ(port_->written.size(), 4096u);
}

TEST_F(SerialLinkTest, ReadyWaitByHandshake) {
  using Ms = Clock::Ms;
  // RTS/CTS: CTS comes up on the third poll; the polls sleep 10 ms apart.
  ASSERT_TRUE(store().set_Serial_Protocol(1).ok());
  port_->modem = {Result<int>(0), Result<int>(fail("io")), Result<int>(TIOCM_CTS)};
  RecordingOwner owner;
  EXPECT_TRUE(run("IN;", owner));
  EXPECT_EQ(port_->written.size(), 4096u);
  EXPECT_EQ(clock_.sleeps()[0], Ms(10));
  EXPECT_EQ(clock_.sleeps()[1], Ms(10));
  EXPECT_EQ(clock_.sleeps()[2], Ms(200));

  // CTS never comes: the operator's cancel ends the wait, message empty.
  port_ = std::make_shared<FakePort::State>();
  port_->modem = {Result<int>(TIOCM_DSR)};
  int polls = 0;
  port_->onModemPoll = [&] {
    if (++polls == 5) owner.cancelFlag() = true;
  };
  std::string message = "x";
  EXPECT_FALSE(run("IN;", owner, &message));
  EXPECT_EQ(message, "");
  EXPECT_TRUE(port_->written.empty());

  // Xon/Xoff is ready at once, whatever the modem lines say.
  ASSERT_TRUE(store().set_Serial_Protocol(3).ok());
  port_ = std::make_shared<FakePort::State>();
  port_->modem = {Result<int>(0)};
  EXPECT_TRUE(run("IN;", owner));
  EXPECT_EQ(port_->written.size(), 4096u);
}

TEST_F(SerialLinkTest, DsrIsCheckedBeforeEachSmallWrite) {
  ASSERT_TRUE(store().set_Serial_Protocol(2).ok());
  // Ready, then DSR drops once in the middle of the block.
  port_->modem = {Result<int>(TIOCM_DSR), Result<int>(TIOCM_DSR), Result<int>(TIOCM_DSR), Result<int>(0),
                  Result<int>(TIOCM_DSR)};
  RecordingOwner owner;
  EXPECT_TRUE(run("IN;", owner));
  EXPECT_EQ(port_->written.size(), 4096u);
  EXPECT_THAT(port_->writeSizes, Each(Eq(64u)));
  EXPECT_THAT(clock_.sleeps(), Contains(Clock::Ms(10)));
}

TEST(SerialDevicePath, Names) {
  EXPECT_EQ(serialDevicePath("COM1"), "/dev/ttyS0");
  EXPECT_EQ(serialDevicePath("com3"), "/dev/ttyS2");
  EXPECT_EQ(serialDevicePath("/dev/ttyUSB0"), "/dev/ttyUSB0");
  EXPECT_EQ(serialDevicePath("ttyUSB1"), "/dev/ttyUSB1");
  EXPECT_EQ(serialDevicePath("COM0"), "/dev/COM0");
}

// The real port code on a pseudo terminal, through the link factory.
TEST_F(SerialLinkTest, PtyEndToEnd) {
  PtySink sink({}, std::chrono::milliseconds(100));
  ASSERT_TRUE(sink.start().ok());
  SettingsStore s = store();
  ASSERT_TRUE(s.set_Serial_Comport(sink.devicePath()).ok());
  const std::string content = patternBytes(4097);
  const std::string path = writeFile("job.plt", content);
  RecordingOwner owner;
  for (int job = 1; job <= 2; ++job) {  // the port opens again for the next job
    auto link = makeMachineLink(kTransferSerial, owner, path, 4097, context());
    EXPECT_TRUE(link->transfer()) << link->message();
    ASSERT_TRUE(eventually([&] { return sink.received().size() == 8192u * job; }));
  }
  const std::string got = sink.received().substr(0, 8192);
  EXPECT_EQ(got.substr(0, 4097), content);
  EXPECT_EQ(got.substr(4097), std::string(4095, '\0'));

  // A pty cannot carry parity: the open fails rather than send a wrong line.
  ASSERT_TRUE(s.set_Serial_Parity(2).ok());
  auto parity = makeMachineLink(kTransferSerial, owner, path, 4097, context());
  EXPECT_FALSE(parity->transfer());
  EXPECT_EQ(parity->message(), "Serial_Open_Fail");
  ASSERT_TRUE(s.set_Serial_Comport(file("no-such-tty")).ok());
  auto missing = makeMachineLink(kTransferSerial, owner, path, 4097, context());
  EXPECT_FALSE(missing->transfer());
  EXPECT_EQ(missing->message(), "Serial_Open_Fail");
}

}  // namespace
}  // namespace plotdesk::test
