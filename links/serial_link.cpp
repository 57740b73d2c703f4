#include "links/serial_link.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>

#include "config/settings_store.h"
#include "platform/numbers.h"

namespace plotdesk {

namespace {

struct Rate {
  int bps;
  speed_t code;
};
constexpr std::array<Rate, 30> kRates{{
    {50, B50},       {75, B75},         {110, B110},       {134, B134},       {150, B150},
    {200, B200},     {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
    {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600}, {115200, B115200}, {230400, B230400}, {460800, B460800}, {500000, B500000},
    {576000, B576000}, {921600, B921600}, {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
}};

constexpr tcflag_t kLineBits = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;

std::string errnoText(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

class PosixSerialPort final : public SerialPortIo {
 public:
  ~PosixSerialPort() override { close(); }

  Status open(const std::string& path) override {
    close();
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) return fail(errnoText("open"));
    if (!::isatty(fd_)) {
      close();
      return fail(path + " is not a serial device");
    }
    // Another process holding the port would interleave its bytes with ours.
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
      Status s = fail(errnoText("lock"));
      close();
      return s;
    }
    if (::ioctl(fd_, TIOCEXCL) != 0) {
      Status s = fail(errnoText("exclusive mode"));
      close();
      return s;
    }
    return {};
  }

  Result<termios> getAttributes() override {
    termios t{};
    if (::tcgetattr(fd_, &t) != 0) return fail(errnoText("tcgetattr"));
    return t;
  }

  Status setAttributes(const termios& t) override {
    if (::tcsetattr(fd_, TCSANOW, &t) != 0) return fail(errnoText("tcsetattr"));
    return {};
  }

  Status raiseModemLines(int lines) override {
    if (::ioctl(fd_, TIOCMBIS, &lines) == 0) return {};
    // Ptys and some adapters have no modem lines; there is nothing to raise.
    if (errno == ENOTTY || errno == EINVAL) return {};
    return fail(errnoText("modem lines"));
  }

  Result<int> modemStatus() override {
    int bits = 0;
    if (::ioctl(fd_, TIOCMGET, &bits) != 0) return fail(errnoText("modem status"));
    return bits;
  }

  Status discardQueues() override {
    if (::tcflush(fd_, TCIOFLUSH) != 0) return fail(errnoText("tcflush"));
    return {};
  }

  long writeSome(const void* data, size_t size, int waitMs) override {
    pollfd p{fd_, POLLOUT, 0};
    int r = ::poll(&p, 1, waitMs);
    if (r < 0) return errno == EINTR ? 0 : -1;
    if (r == 0) return 0;
    ssize_t n = ::write(fd_, data, size);
    if (n < 0) return errno == EAGAIN || errno == EINTR ? 0 : -1;
    return static_cast<long>(n);
  }

  Result<int> outputPending() override {
    int n = 0;
    if (::ioctl(fd_, TIOCOUTQ, &n) != 0) return fail(errnoText("output queue"));
    return n;
  }

  Status drain() override {
    if (::tcdrain(fd_) != 0) return fail(errnoText("tcdrain"));
    return {};
  }

  void discardOutput() override { (void)::tcflush(fd_, TCOFLUSH); }

  void close() override {
    if (fd_ >= 0) {
      // Exclusive mode outlives our handle while anyone else keeps the tty
      // open; give it back so the next job can open the port.
      (void)::ioctl(fd_, TIOCNXCL);
      ::close(fd_);  // also drops the lock
      fd_ = -1;
    }
  }

 private:
  int fd_ = -1;
};

struct FileHandle {
  int fd = -1;
  ~FileHandle() {
    if (fd >= 0) ::close(fd);
  }
};

// Reads until `size` bytes or the end of the file; -1 on a read error.
long readFull(int fd, char* data, size_t size) {
  size_t got = 0;
  while (got < size) {
    ssize_t n = ::read(fd, data + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  return static_cast<long>(got);
}

}  // namespace

std::unique_ptr<SerialPortIo> makePosixSerialPort() { return std::make_unique<PosixSerialPort>(); }

std::string serialDevicePath(const std::string& comport) {
  if (!comport.empty() && comport[0] == '/') return comport;
  if (comport.size() > 3 && std::toupper(static_cast<unsigned char>(comport[0])) == 'C' &&
      std::toupper(static_cast<unsigned char>(comport[1])) == 'O' &&
      std::toupper(static_cast<unsigned char>(comport[2])) == 'M') {
    size_t used = 0;
    int n = parseInt(std::string_view(comport).substr(3), &used);
    if (used == comport.size() - 3 && n >= 1) return "/dev/ttyS" + formatInt(n - 1);
  }
  return "/dev/" + comport;
}

Result<termios> serialTermios(const termios& current, const SerialLineSettings& line) {
  termios t = current;
  size_t used = 0;
  int bps = parseInt(line.baudrate, &used);
  speed_t speed = 0;
  bool rateFound = false;
  for (const Rate& r : kRates) {
    if (r.bps == bps) {
      speed = r.code;
      rateFound = true;
    }
  }
  if (!rateFound || used == 0) return fail("unsupported baud rate " + line.baudrate);

  tcflag_t size = 0;
  switch (parseInt(line.dataBits)) {
    case 5: size = CS5; break;
    case 6: size = CS6; break;
    case 7: size = CS7; break;
    case 8: size = CS8; break;
    default: return fail("unsupported data size " + line.dataBits);
  }

  tcflag_t parity = 0;
  switch (line.parity) {
    case 0: break;
    case 1: parity = PARENB | PARODD; break;
    case 2: parity = PARENB; break;
    case 3: parity = PARENB | PARODD | CMSPAR; break;
    case 4: parity = PARENB | CMSPAR; break;
    default: return fail("unknown parity " + formatInt(line.parity));
  }

  tcflag_t stop = 0;
  switch (line.stopBits) {
    case 0: break;
    case 2: stop = CSTOPB; break;
    // A UART sends one and a half stop bits for "two" with 5-bit characters;
    // with wider characters there is no such setting.
    case 1:
      if (size != CS5) return fail("1.5 stop bits need 5 data bits");
      stop = CSTOPB;
      break;
    default: return fail("unknown stop bits " + formatInt(line.stopBits));
  }
  if (line.handshake < 0 || line.handshake > 3) return fail("unknown handshake " + formatInt(line.handshake));

  // Raw: no translation, no echo, no signals, bytes go out as they are.
  t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                                      IXANY);
  t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  t.c_cflag &= ~kLineBits;
  t.c_cflag |= size | parity | stop | CREAD | CLOCAL;
  // Reads return what has arrived within a second.
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 10;
  if (line.handshake == 1) t.c_cflag |= CRTSCTS;
  if (line.handshake == 3) {
    t.c_iflag |= IXON | IXOFF;
    t.c_cc[VSTART] = 0x11;
    t.c_cc[VSTOP] = 0x13;
  }
  if (cfsetispeed(&t, speed) != 0 || cfsetospeed(&t, speed) != 0) return fail("cannot set the rate");
  return t;
}

bool serialTermiosTaken(const termios& wanted, const termios& applied) {
  return (wanted.c_cflag & kLineBits) == (applied.c_cflag & kLineBits) &&
         (wanted.c_iflag & (IXON | IXOFF)) == (applied.c_iflag & (IXON | IXOFF)) &&
         cfgetospeed(&wanted) == cfgetospeed(&applied);
}

SerialLink::SerialLink(LinkOwner& owner, std::string path, long long /*fileSize*/, const LinkContext& context,
                       std::unique_ptr<SerialPortIo> io)
    : owner_(owner), clock_(context.clockRef()), path_(std::move(path)), io_(std::move(io)) {
  SettingsStore store = context.programFolder.empty() ? SettingsStore() : SettingsStore(context.programFolder);
  device_ = serialDevicePath(store.Serial_Comport());
  line_.baudrate = store.Serial_Baudrate();
  line_.parity = store.Serial_Parity();
  line_.dataBits = store.Serial_DataBits();
  line_.stopBits = store.Serial_StopBits();
  line_.handshake = store.Serial_Protocol();
  if (!io_) io_ = makePosixSerialPort();
}

Status SerialLink::openPort() {
  if (Status s = io_->open(device_); !s) return s;
  Result<termios> current = io_->getAttributes();
  if (!current) return fail(current.error());
  Result<termios> wanted = serialTermios(*current, line_);
  if (!wanted) return fail(wanted.error());
  if (Status s = io_->setAttributes(*wanted); !s) return s;
  // tcsetattr succeeds when any part was taken; read back to be sure the
  // device runs the line we asked for.
  Result<termios> applied = io_->getAttributes();
  if (!applied) return fail(applied.error());
  if (!serialTermiosTaken(*wanted, *applied)) return fail("the device refused the line settings");
  // Our side of the handshake is always ready: the link never reads.
  if (Status s = io_->raiseModemLines(TIOCM_DTR | TIOCM_RTS); !s) return s;
  return {};
}

bool SerialLink::waitReady() {
  if (line_.handshake != 1 && line_.handshake != 2) return true;  // none and Xon/Xoff
  const int line = line_.handshake == 1 ? TIOCM_CTS : TIOCM_DSR;
  for (;;) {
    // A failing status call reads as not ready; keep waiting for the line.
    Result<int> bits = io_->modemStatus();
    if (bits && (*bits & line)) return true;
    if (cancelled()) return false;
    pause(10);
  }
}

long SerialLink::writeBlock(const char* data, size_t size) {
  // With DTR/DSR the driver has no flow control; write small pieces and look
  // at DSR before each, so the machine can stop us within a few bytes.
  const size_t piece = line_.handshake == 2 ? 64 : size;
  const auto deadline = clock_.steadyNow() + Clock::Ms(writeLimitMs_);
  size_t written = 0;
  while (written < size) {
    if (cancelled() || clock_.steadyNow() >= deadline) break;
    if (line_.handshake == 2) {
      Result<int> bits = io_->modemStatus();
      if (!bits || !(*bits & TIOCM_DSR)) {
        pause(10);
        continue;
      }
    }
    long n = io_->writeSome(data + written, std::min(piece, size - written), 50);
    if (n < 0) break;
    written += static_cast<size_t>(n);
  }
  return static_cast<long>(written);
}

bool SerialLink::sendFile() {
  FileHandle file;
  file.fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st {};
  if (file.fd < 0 || ::fstat(file.fd, &st) != 0) {
    message_ = link_text::kOpenFileFail;
    return false;
  }
  const long long length = st.st_size;
  (void)io_->discardQueues();
  if (length < 2048) pause(200);

  bool ok = true;
  long long sent = 0;
  if (!cancelled()) {
    std::array<char, kBlockSize> block{};
    while (sent < length) {
      block.fill(0);
      long want = static_cast<long>(std::min<long long>(kBlockSize, length - sent));
      long n = readFull(file.fd, block.data(), block.size());
      // The file shrank or cannot be read: fail rather than loop or send a
      // truncated job as if it were whole.
      if (n <= 0) {
        message_ = link_text::transferFailed(want, 0);
        ok = false;
        break;
      }
      long written = writeBlock(block.data(), block.size());
      if (cancelled()) break;
      // Padding may be cut short; file bytes may not.
      if (written < n) {
        message_ = link_text::transferFailed(n, written);
        ok = false;
        break;
      }
      owner_.setProgress(static_cast<int>(sent * 100 / length));
      sent += n;
      if (cancelled()) break;
    }
  }
  if (cancelled()) {
    message_ = link_text::kCancelledByUser;
    ok = false;
  }
  if (ok) finishOutput();
  pause(1000);
  return ok;
}

void SerialLink::finishOutput() {
  // Let the port's buffer empty before the close, so the end of the job is
  // not lost; a stop by the operator or the write limit ends the wait.
  const auto deadline = clock_.steadyNow() + Clock::Ms(writeLimitMs_);
  for (;;) {
    Result<int> pending = io_->outputPending();
    if (!pending || *pending <= 0) break;
    if (cancelled() || clock_.steadyNow() >= deadline) {
      io_->discardOutput();
      return;
    }
    pause(10);
  }
  (void)io_->drain();
}

bool SerialLink::transfer() {
  owner_.cancelFlag().store(false);
  owner_.setProgress(1);
  message_.clear();
  bool result = false;
  if (Status s = openPort(); !s) {
    message_ = link_text::kSerialOpenFail;
  } else if (waitReady()) {
    result = sendFile();
  }
  io_->close();
  owner_.setProgress(0);
  pause(1000);
  return result;
}

}  // namespace plotdesk
