#pragma once
// Raw block writes to a serial port: the file in zero-padded 4096-byte blocks.
#include <termios.h>

#include <memory>
#include <string>

#include "links/machine_link.h"
#include "platform/result.h"

namespace plotdesk {

// The line as the settings describe it.
struct SerialLineSettings {
  std::string baudrate = "38400";  // decimal text
  int parity = 0;                  // 0 none, 1 odd, 2 even, 3 mark, 4 space
  std::string dataBits = "8";      // decimal text
  int stopBits = 0;                // 0 one, 1 one and a half, 2 two
  int handshake = 0;               // 0 none, 1 RTS/CTS, 2 DTR/DSR, 3 Xon/Xoff
};

// "COMn" (any case) is /dev/ttyS{n-1}; a value starting with '/' is a path;
// any other name is taken from /dev.
std::string serialDevicePath(const std::string& comport);

// The port's current attributes changed to `line` in raw mode; every field the
// line does not name keeps its value. Fails for values termios cannot express
// (unknown rate, 4 data bits, 1.5 stop bits except with 5 data bits, an
// unknown parity or handshake code).
Result<termios> serialTermios(const termios& current, const SerialLineSettings& line);
// True when `applied` (read back from the device) carries what `wanted` asked
// for; a device that silently drops a setting fails the open.
bool serialTermiosTaken(const termios& wanted, const termios& applied);

// The port operations a serial link uses; the real one works on a tty, tests
// put a recording fake in its place.
class SerialPortIo {
 public:
  virtual ~SerialPortIo() = default;
  // Read-write, exclusive (TIOCEXCL and an advisory lock), never the
  // controlling terminal, non-blocking underneath.
  virtual Status open(const std::string& path) = 0;
  virtual Result<termios> getAttributes() = 0;
  virtual Status setAttributes(const termios& t) = 0;
  // Raises the given TIOCM_* output lines; a device without modem lines
  // (a pty, some adapters) succeeds.
  virtual Status raiseModemLines(int lines) = 0;
  virtual Result<int> modemStatus() = 0;  // TIOCM_* bits
  virtual Status discardQueues() = 0;
  // Writes what the port takes within `waitMs`; the count (maybe 0) or -1.
  virtual long writeSome(const void* data, size_t size, int waitMs) = 0;
  // Bytes still in the output queue; an error when the device cannot tell.
  virtual Result<int> outputPending() = 0;
  virtual Status drain() = 0;         // until the last byte has left
  virtual void discardOutput() = 0;
  virtual void close() = 0;
};

std::unique_ptr<SerialPortIo> makePosixSerialPort();

class SerialLink final : public MachineLink {
 public:
  static constexpr size_t kBlockSize = 4096;

  SerialLink(LinkOwner& owner, std::string path, long long fileSize, const LinkContext& context = {},
             std::unique_ptr<SerialPortIo> io = nullptr);
  bool transfer() override;

  const std::string& devicePath() const { return device_; }
  const SerialLineSettings& line() const { return line_; }

 private:
  Status openPort();
  bool waitReady();
  bool sendFile();
  // Writes one block; returns the bytes written (short on cancel, time-out or error).
  long writeBlock(const char* data, size_t size);
  void finishOutput();
  bool cancelled() const { return owner_.cancelFlag().load(); }
  void pause(int ms) { clock_.sleepFor(Clock::Ms(ms)); }

  LinkOwner& owner_;
  Clock& clock_;
  std::string path_;
  std::string device_;
  SerialLineSettings line_;
  // One block may wait this long for a line held by flow control.
  int writeLimitMs_ = 409600;
  std::unique_ptr<SerialPortIo> io_;
};

}  // namespace plotdesk
