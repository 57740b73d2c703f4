#include "links/tcp_machine_link.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cctype>

#include "config/settings_store.h"
#include "platform/numbers.h"

namespace plotdesk {

namespace {

constexpr std::string_view kStateQuery{"?VR(580)\0", 9};
constexpr std::string_view kFileOver{"FILEOVER\0", 9};
constexpr std::string_view kEcho = "?VR(580)";

std::string upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// True while `text` can still grow into a reply with a number: the echo has
// arrived without its number, or the text ends with the start of the echo.
bool replyMayComplete(std::string_view text) {
  std::string up = upper(text);
  if (up.find(kEcho) != std::string::npos) return true;
  for (size_t len = std::min(up.size(), kEcho.size() - 1); len > 0; --len) {
    if (std::string_view(up).substr(up.size() - len) == kEcho.substr(0, len)) return true;
  }
  return false;
}

// Closes a file descriptor on every path.
struct FileHandle {
  int fd = -1;
  ~FileHandle() {
    if (fd >= 0) ::close(fd);
  }
};

}  // namespace

std::optional<int> extractStateNumber(std::string_view reply) {
  std::string up = upper(reply);
  if (up.empty()) return std::nullopt;
  size_t at = up.find(kEcho);
  if (at == std::string::npos) return std::nullopt;
  std::string_view rest = std::string_view(up).substr(at + kEcho.size());
  std::string number;
  for (size_t i = 0; i < rest.size(); ++i) {
    char c = rest[i];
    if (c >= '0' && c <= '9') {
      if (number.empty() && i > 0 && rest[i - 1] == '-') number += '-';
      number += c;
    } else if (c == '.') {
      if (number.empty()) break;
      number += c;
    }
    // A '-' only counts through the position check above; all else is skipped.
  }
  if (!number.empty() && number.back() == '.') number.pop_back();
  if (number.empty()) return std::nullopt;
  double value = parseReal(number);
  if (value >= 2147483647.0) return 2147483647;
  if (value <= -2147483648.0) return -2147483647 - 1;
  return static_cast<int>(value);  // truncates towards zero
}

TcpMachineLink::TcpMachineLink(LinkOwner& owner, std::string path, const LinkContext& context)
    : owner_(owner), clock_(context.clockRef()), path_(std::move(path)) {
  readSettings(context);
}

TcpMachineLink::TcpMachineLink(std::string address, int port, std::string path, const LinkContext& context)
    : owner_(nullOwner_), clock_(context.clockRef()), path_(std::move(path)) {
  readSettings(context);
  address_ = std::move(address);
  port_ = port;
}

void TcpMachineLink::readSettings(const LinkContext& context) {
  SettingsStore store = context.programFolder.empty() ? SettingsStore() : SettingsStore(context.programFolder);
  address_ = store.Ethernet_IP();
  port_ = store.Ethernet_Port();
  int seconds = store.Time_Value();
  timeLimitMs_ = store.TimeOut_Enabled() == 1 && seconds > 0 ? seconds * 1000 : TimedSocket::kNoLimit;
  oldProgramMode_ = store.OldProram_Mode() == 1;
}

bool TcpMachineLink::connect() {
  if (socket_.isOpen()) {
    message_ = tcp_text::kNetUsing;
    return false;
  }
  socket_.setTimeLimit(timeLimitMs_);
  socket_.setCancelFlag(&owner_.cancelFlag());
  if (Status s = socket_.connect(address_, port_); !s) {
    message_ = s.error().rfind("socket:", 0) == 0 ? tcp_text::kCreateSocketFail : tcp_text::kConnectFail;
    return false;
  }
  return true;
}

bool TcpMachineLink::linkCommand(int c) {
  pause(500);
  const std::array<unsigned char, 5> bytes{static_cast<unsigned char>(c), static_cast<unsigned char>(c),
                                           static_cast<unsigned char>(c), static_cast<unsigned char>(c),
                                           static_cast<unsigned char>(c)};
  bool accepted = false;
  if (socket_.send(bytes.data(), bytes.size()) == static_cast<long>(bytes.size())) {
    pause(150);
    // The answers to start and end decide what the machine does with the
    // job, so they are awaited (within the time limit) even after a cancel:
    // an end command accepted in the last moment must not be reported as a
    // failure that queues the job for a second cut, and a cancelled start is
    // closed with the error command rather than left open. Only the error
    // command's answer is not worth waiting for.
    const bool honourCancel = c == 2;
    unsigned char reply = 0;
    long n = socket_.receive(&reply, 1, honourCancel);
    int empty = 0;
    while (n == 0) {
      ++empty;
      if (empty > 3 || cancelled()) break;
      pause(150);
      n = socket_.receive(&reply, 1, honourCancel);
    }
    accepted = n == 1 && reply == 0x01;
  }
  if (!accepted) {
    message_ = c == 0 ? tcp_text::kCutRunning : c == 1 ? tcp_text::kEndCommandFail : tcp_text::kErrorCommandFail;
  }
  return accepted;
}

TcpMachineLink::DataEnd TcpMachineLink::sendFile() {
  FileHandle file;
  file.fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  long long length = 0;
  struct stat st {};
  if (file.fd >= 0 && ::fstat(file.fd, &st) == 0 && S_ISREG(st.st_mode)) length = st.st_size;
  if (length == 0) return DataEnd::EMPTY;

  std::array<char, kBlockSize> block{};
  long long sent = 0;
  while (sent < length) {
    if (cancelled()) return DataEnd::SEND_FAILED;
    ssize_t n;
    do {
      n = ::read(file.fd, block.data(), block.size());
    } while (n < 0 && errno == EINTR);
    // The file shrank or cannot be read: the machine would get a truncated job.
    if (n <= 0) return DataEnd::SEND_FAILED;
    if (socket_.send(block.data(), static_cast<size_t>(n)) != n) return DataEnd::SEND_FAILED;
    sent += n;
    if (!oldProgramMode_) {
      unsigned char ack = 0;
      // A block the machine did not acknowledge may be lost; a partial job
      // must never be closed with the end command.
      if (socket_.receive(&ack, 1) != 1) return DataEnd::SEND_FAILED;
    }
    owner_.setProgress(static_cast<int>(sent * 100 / length));
    pause(10);
    if (cancelled()) return DataEnd::SEND_FAILED;
  }
  return DataEnd::ALL_SENT;
}

bool TcpMachineLink::transfer() {
  owner_.cancelFlag().store(false);
  owner_.setProgress(1);
  message_.clear();
  result_ = false;
  if (connect()) {
    if (cancelled()) message_ = tcp_text::kCancelled;
    if (linkCommand(0)) {
      DataEnd end = sendFile();
      if (cancelled()) {
        linkCommand(2);
        message_ = tcp_text::kCancelled;
      } else if (end == DataEnd::EMPTY) {
        linkCommand(2);
        message_ = tcp_text::kFileNull;
      } else if (end == DataEnd::ALL_SENT) {
        if (linkCommand(1)) {
          message_ = tcp_text::kPrintOk;
          result_ = true;
        }
      } else {
        linkCommand(2);
        message_ = tcp_text::kOtherError;
      }
    }
  }
  socket_.close();
  owner_.setProgress(0);
  pause(1000);
  return result_;
}

int TcpMachineLink::queryMachineState() {
  owner_.setProgress(1);
  result_ = false;
  if (!connect()) {
    pause(200);
    // An unreachable machine reads as busy so pollers keep polling, except
    // when the operator asked to stop: then the poll must end.
    if (cancelled()) {
      message_ = tcp_text::kCancelled;
      return kStateError;
    }
    return kStateBusy;
  }
  owner_.setProgress(30);
  int outcome = kStateError;
  bool sawCancel = cancelled();
  if (!sawCancel) {
    if (socket_.send(kStateQuery.data(), kStateQuery.size()) == static_cast<long>(kStateQuery.size())) {
      owner_.setProgress(5);
      std::string reply;
      int misses = 0;
      for (;;) {
        pause(150);
        std::array<char, 256> buf{};
        long n = socket_.receive(buf.data(), buf.size());
        bool settled = false;
        if (n > 0) {
          // A reply may arrive in pieces; keep what came so far.
          reply.append(buf.data(), static_cast<size_t>(n));
          std::optional<int> number = extractStateNumber(reply);
          if (number && (*number == 0 || *number == 1)) {
            outcome = *number == 0 ? kStateIdle : kStateBusy;
            result_ = *number == 0;
            settled = true;
          } else if (number || !replyMayComplete(reply)) {
            settled = true;
          }
        }
        if (!settled) {
          ++misses;
          if (misses > 3) settled = true;
          if (cancelled()) {
            sawCancel = true;
            settled = true;
          }
        }
        if (settled) {
          if (outcome == kStateError && !reply.empty() && !sawCancel) {
            message_ = std::string(tcp_text::kOtherError) + "_:_" + reply[0];
          }
          break;
        }
      }
    }
    owner_.setProgress(70);
  }
  owner_.setProgress(100);
  socket_.close();
  pause(1000);
  owner_.setProgress(0);
  if (sawCancel) {
    message_ = tcp_text::kCancelled;
    outcome = kStateError;
    result_ = false;
  }
  return outcome;
}

bool TcpMachineLink::fileOverNotice() {
  result_ = false;
  if (!connect()) return false;
  bool ok = false;
  if (socket_.send(kFileOver.data(), kFileOver.size()) == static_cast<long>(kFileOver.size())) {
    pause(150);
    std::array<char, 256> buf{};
    long n = socket_.receive(buf.data(), buf.size());
    int misses = 0;
    while (n <= 0 && !cancelled()) {
      if (++misses > 20) break;
      pause(150);
      n = socket_.receive(buf.data(), buf.size());
    }
    ok = n > 0 && buf[0] == '1';
  }
  socket_.close();
  result_ = ok;
  return ok;
}

}  // namespace plotdesk
