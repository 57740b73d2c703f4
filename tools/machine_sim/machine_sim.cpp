#include "tools/machine_sim/machine_sim.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/files.h"
#include "platform/numbers.h"

namespace plotdesk {

namespace {

constexpr size_t kBlockSize = 1024;
constexpr unsigned char kAccept = 0x01;
constexpr unsigned char kRefuse = 0x00;
constexpr unsigned char kBlockAck = 0x06;
constexpr unsigned char kJunk = 0x3F;
constexpr int kSliceMs = 50;

std::string errnoText(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

bool sendAll(int fd, const void* data, size_t size) {
  const auto* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = ::send(fd, p, size, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool sendByte(int fd, unsigned char b) { return sendAll(fd, &b, 1); }

// Waits up to `ms` for `fd` to become readable.
bool readable(int fd, int ms) {
  pollfd p{fd, POLLIN, 0};
  int r;
  do {
    r = ::poll(&p, 1, ms);
  } while (r < 0 && errno == EINTR);
  return r > 0;
}

bool allBytesAre(const std::string& s, unsigned char value) {
  for (char c : s) {
    if (static_cast<unsigned char>(c) != value) return false;
  }
  return !s.empty();
}

std::string jobName(size_t index) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "job_%04zu.plt", index);
  return buf;
}

}  // namespace

struct MachineSimulator::Connection {
  int fd = -1;
  int id = 0;
  std::string pending;  // command bytes not yet complete
  bool inJob = false;
  bool open = true;
  SimJob job;
  size_t blockBytes = 0;  // bytes of the block being received
};

MachineSimulator::MachineSimulator(MachineSimOptions options, Clock& clock, std::ostream* log)
    : clock_(clock), logStream_(log), options_(std::move(options)) {}

MachineSimulator::~MachineSimulator() { stop(); }

void MachineSimulator::setOptions(const MachineSimOptions& options) {
  std::lock_guard g(mu_);
  options_ = options;
}

MachineSimOptions MachineSimulator::options() const {
  std::lock_guard g(mu_);
  return options_;
}

std::vector<SimJob> MachineSimulator::jobs() const {
  std::lock_guard g(mu_);
  return jobs_;
}
std::vector<std::string> MachineSimulator::log() const {
  std::lock_guard g(mu_);
  return log_;
}
long long MachineSimulator::dataBytesReceived() const {
  std::lock_guard g(mu_);
  return dataBytes_;
}
int MachineSimulator::startCommands() const {
  std::lock_guard g(mu_);
  return startCommands_;
}
int MachineSimulator::errorCommands() const {
  std::lock_guard g(mu_);
  return errorCommands_;
}
int MachineSimulator::stateQueries() const {
  std::lock_guard g(mu_);
  return stateQueries_;
}

void MachineSimulator::note(const std::string& line) {
  std::lock_guard g(mu_);
  log_.push_back(line);
  if (logStream_) *logStream_ << line << std::endl;
}

bool MachineSimulator::cutting() {
  auto now = clock_.steadyNow();
  std::lock_guard g(mu_);
  return now < cutEnd_;
}

Status MachineSimulator::start() {
  MachineSimOptions opt = options();
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(opt.port));
  if (::inet_pton(AF_INET, opt.address.c_str(), &addr.sin_addr) != 1) {
    return fail("not an IPv4 address: " + opt.address);
  }
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (listenFd_ < 0) return fail(errnoText("socket"));
  int one = 1;
  (void)::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(listenFd_, 4) != 0) {
    Status s = fail(errnoText("listen"));
    ::close(listenFd_);
    listenFd_ = -1;
    return s;
  }
  socklen_t len = sizeof addr;
  if (::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    Status s = fail(errnoText("getsockname"));
    ::close(listenFd_);
    listenFd_ = -1;
    return s;
  }
  port_.store(ntohs(addr.sin_port));
  thread_ = std::jthread([this](std::stop_token stop) { acceptLoop(stop); });
  return {};
}

void MachineSimulator::stop() {
  if (thread_.joinable()) {
    thread_.request_stop();
    thread_.join();
  }
  if (listenFd_ >= 0) {
    ::close(listenFd_);
    listenFd_ = -1;
  }
}

void MachineSimulator::acceptLoop(std::stop_token stop) {
  while (!stop.stop_requested()) {
    if (!readable(listenFd_, kSliceMs)) continue;
    int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    int one = 1;
    (void)::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    serve(fd, stop);
    ::close(fd);
  }
}

void MachineSimulator::serve(int fd, std::stop_token stop) {
  Connection c;
  c.fd = fd;
  {
    std::lock_guard g(mu_);
    c.id = ++connections_;
  }
  const std::string tag = "[" + formatInt(c.id) + "] ";
  std::vector<char> buf(65536);
  while (c.open && !stop.stop_requested()) {
    if (!readable(fd, kSliceMs)) continue;
    ssize_t n = ::recv(fd, buf.data(), buf.size(), MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (n <= 0) break;
    std::string chunk(buf.data(), static_cast<size_t>(n));
    if (!c.inJob) {
      c.pending += chunk;
      while (c.open && !c.inJob && handleCommandBytes(c)) {
      }
      if (!c.inJob || c.pending.empty()) continue;
      chunk.swap(c.pending);  // data that followed the start command at once
      c.pending.clear();
    }
    const MachineSimOptions opt = options();
    // With acknowledgements the link sends a command alone, so a read of
    // exactly five equal command bytes inside a job is the end or error
    // command. Without them, the command may follow the last data in the
    // same read: five command bytes at the end of a read, with nothing after
    // them, are taken as the command.
    std::string command;
    if (chunk.size() == 5 && (allBytesAre(chunk, 1) || allBytesAre(chunk, 2))) {
      command.swap(chunk);
    } else if ((opt.oldProgramMode || opt.neverAcknowledge) && chunk.size() > 5) {
      std::string tail = chunk.substr(chunk.size() - 5);
      if ((allBytesAre(tail, 1) || allBytesAre(tail, 2)) && !readable(fd, 30)) {
        chunk.resize(chunk.size() - 5);
        command = tail;
      }
    }
    if (!chunk.empty()) receiveData(c, chunk, opt, tag);
    if (!c.open) break;
    if (!command.empty()) {
      c.inJob = false;
      // A short last block cut off from the wait by the command still counts.
      if (c.blockBytes > 0) {
        ++c.job.blocks;
        c.blockBytes = 0;
      }
      if (allBytesAre(command, 1)) {
        if (opt.garbageAnswers) {
          (void)sendByte(fd, kJunk);
          note(tag + "end command answered with junk; job dropped");
          continue;
        }
        // Keep the job before confirming it, as a machine would.
        std::string file;
        size_t index;
        {
          std::lock_guard g(mu_);
          index = jobs_.size() + 1;
        }
        if (!opt.jobFolder.empty()) {
          file = joinPath(opt.jobFolder, jobName(index));
          Status s = createFolder(opt.jobFolder);
          if (s) s = writeFileAtomic(file, c.job.data);
          if (!s) {
            note(tag + "cannot write " + file + ": " + s.error());
            file.clear();
          }
        }
        c.job.file = file;
        auto cutEnd = clock_.steadyNow() + opt.cuttingTime;
        {
          std::lock_guard g(mu_);
          jobs_.push_back(c.job);
          cutEnd_ = cutEnd;
        }
        (void)sendByte(fd, kAccept);
        note(tag + "end accepted: job " + formatInt(static_cast<long long>(index)) + ", " +
             formatInt(static_cast<long long>(c.job.data.size())) + " bytes in " + formatInt(c.job.blocks) +
             " blocks" + (file.empty() ? "" : " -> " + file));
      } else {
        (void)sendByte(fd, kAccept);
        {
          std::lock_guard g(mu_);
          ++errorCommands_;
        }
        note(tag + "error command: job dropped after " + formatInt(static_cast<long long>(c.job.data.size())) +
             " bytes");
      }
    }
  }
  if (c.inJob) {
    note(tag + "connection closed in a job after " + formatInt(static_cast<long long>(c.job.data.size())) +
         " bytes; job dropped");
  }
}

void MachineSimulator::receiveData(Connection& c, const std::string& chunk, const MachineSimOptions& opt,
                                   const std::string& tag) {
  c.job.data += chunk;
  c.blockBytes += chunk.size();
  {
    std::lock_guard g(mu_);
    dataBytes_ += static_cast<long long>(chunk.size());
  }
  int finished = 0;
  while (c.blockBytes >= kBlockSize) {
    c.blockBytes -= kBlockSize;
    ++finished;
  }
  // A short block is the last one, unless the rest of it is on its way.
  if (c.blockBytes > 0 && !readable(c.fd, 30)) {
    c.blockBytes = 0;
    ++finished;
  }
  for (int i = 0; i < finished && c.open; ++i) {
    ++c.job.blocks;
    if (opt.dropAfterBlocks > 0 && c.job.blocks >= opt.dropAfterBlocks) {
      note(tag + "dropping the connection after block " + formatInt(c.job.blocks));
      c.open = false;
      break;
    }
    if (!opt.oldProgramMode && !opt.neverAcknowledge) (void)sendByte(c.fd, kBlockAck);
  }
}

bool MachineSimulator::handleCommandBytes(Connection& c) {
  if (c.pending.empty()) return false;
  const MachineSimOptions opt = options();
  const std::string tag = "[" + formatInt(c.id) + "] ";
  const unsigned char first = static_cast<unsigned char>(c.pending[0]);
  if (first >= 0x20) {  // a text query ends with a zero byte
    size_t zero = c.pending.find('\0');
    if (zero == std::string::npos) {
      if (c.pending.size() > 64) {
        note(tag + "unknown text without end: dropped");
        c.pending.clear();
      }
      return false;
    }
    std::string text = c.pending.substr(0, zero);
    c.pending.erase(0, zero + 1);
    if (text == "?VR(580)") {
      bool busy = cutting();
      {
        std::lock_guard g(mu_);
        ++stateQueries_;
      }
      if (opt.garbageAnswers) {
        (void)sendAll(c.fd, "ERR?\r\n", 6);
        note(tag + "state query answered with junk");
        return true;
      }
      std::string echo = "?VR(580)\r\n";
      std::string number = std::string(busy ? "1.0000" : "0.0000") + "\r\n>";
      if (opt.splitStateReply) {
        (void)sendAll(c.fd, echo.data(), echo.size());
        realClock().sleepFor(std::chrono::milliseconds(100));
        (void)sendAll(c.fd, number.data(), number.size());
      } else {
        std::string all = echo + number;
        (void)sendAll(c.fd, all.data(), all.size());
      }
      note(tag + "state query: " + (busy ? "cutting" : "idle") + (opt.splitStateReply ? " (split reply)" : ""));
    } else if (text == "FILEOVER") {
      (void)sendAll(c.fd, opt.garbageAnswers ? "0" : "1", 1);
      note(tag + "file-over notice" + (opt.garbageAnswers ? " answered with junk" : ""));
    } else {
      note(tag + "unknown text \"" + text + "\": no answer");
    }
    return true;
  }
  if (c.pending.size() < 5) return false;
  std::string command = c.pending.substr(0, 5);
  c.pending.erase(0, 5);
  if (allBytesAre(command, 0)) {
    {
      std::lock_guard g(mu_);
      ++startCommands_;
    }
    if (opt.garbageAnswers) {
      (void)sendByte(c.fd, kJunk);
      note(tag + "start command answered with junk");
    } else if (opt.refuseStart || cutting()) {
      (void)sendByte(c.fd, kRefuse);
      note(tag + "start refused" + (opt.refuseStart ? "" : ": still cutting"));
    } else {
      (void)sendByte(c.fd, kAccept);
      c.inJob = true;
      c.job = SimJob{};
      c.blockBytes = 0;
      note(tag + "start accepted");
    }
  } else if (allBytesAre(command, 1)) {
    (void)sendByte(c.fd, kRefuse);
    note(tag + "end command without a job: refused");
  } else if (allBytesAre(command, 2)) {
    (void)sendByte(c.fd, kAccept);
    {
      std::lock_guard g(mu_);
      ++errorCommands_;
    }
    note(tag + "error command outside a job");
  } else {
    note(tag + "unknown command bytes: dropped");
  }
  return true;
}

PtySink::PtySink(std::string jobFolder, std::chrono::milliseconds idleGap, std::ostream* log)
    : jobFolder_(std::move(jobFolder)), idleGap_(idleGap), logStream_(log) {}

PtySink::~PtySink() { stop(); }

Status PtySink::start() {
  char name[256] = {};
  if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) return fail(errnoText("openpty"));
  slavePath_ = name;
  // Raw both ways; the sink keeps its own slave handle so the master never
  // sees a hang-up between two jobs.
  termios t{};
  if (::tcgetattr(slave_, &t) == 0) {
    ::cfmakeraw(&t);
    (void)::tcsetattr(slave_, TCSANOW, &t);
  }
  (void)::fcntl(master_, F_SETFD, FD_CLOEXEC);
  (void)::fcntl(slave_, F_SETFD, FD_CLOEXEC);
  (void)::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  thread_ = std::jthread([this](std::stop_token stop) { readLoop(stop); });
  return {};
}

void PtySink::stop() {
  if (thread_.joinable()) {
    thread_.request_stop();
    thread_.join();
  }
  if (master_ >= 0) ::close(master_);
  if (slave_ >= 0) ::close(slave_);
  master_ = slave_ = -1;
}

std::string PtySink::received() const {
  std::lock_guard g(mu_);
  return received_;
}

std::vector<std::string> PtySink::jobs() const {
  std::lock_guard g(mu_);
  return jobs_;
}

void PtySink::finishJob() {
  std::string job;
  size_t index;
  {
    std::lock_guard g(mu_);
    job.swap(current_);
    jobs_.push_back(job);
    index = jobs_.size();
  }
  std::string line = "serial job " + formatInt(static_cast<long long>(index)) + ": " +
                     formatInt(static_cast<long long>(job.size())) + " bytes";
  if (!jobFolder_.empty()) {
    std::string file = joinPath(jobFolder_, jobName(index));
    Status s = createFolder(jobFolder_);
    if (s) s = writeFileAtomic(file, job);
    line += s ? " -> " + file : " (cannot write " + file + ": " + s.error() + ")";
  }
  if (logStream_) {
    std::lock_guard g(mu_);
    *logStream_ << line << std::endl;
  }
}

void PtySink::readLoop(std::stop_token stop) {
  std::vector<char> buf(65536);
  auto lastData = realClock().steadyNow();
  while (!stop.stop_requested()) {
    if (readable(master_, kSliceMs)) {
      ssize_t n = ::read(master_, buf.data(), buf.size());
      if (n > 0) {
        std::lock_guard g(mu_);
        received_.append(buf.data(), static_cast<size_t>(n));
        current_.append(buf.data(), static_cast<size_t>(n));
        lastData = realClock().steadyNow();
        continue;
      }
    }
    bool open;
    {
      std::lock_guard g(mu_);
      open = !current_.empty();
    }
    if (open && realClock().steadyNow() - lastData >= idleGap_) finishJob();
  }
  bool open;
  {
    std::lock_guard g(mu_);
    open = !current_.empty();
  }
  if (open) finishJob();
}

}  // namespace plotdesk
