#include "links/timed_socket.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/clock.h"
#include "platform/net_guard.h"
#include "platform/numbers.h"

namespace plotdesk {

namespace {
// The slice of every wait: short enough to see a cancel quickly, long enough
// that an idle wait costs no measurable CPU.
constexpr int kSliceMs = 50;
}  // namespace

TimedSocket::~TimedSocket() { close(); }

void TimedSocket::close() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

TimedSocket::Wait TimedSocket::waitFor(short events, std::chrono::steady_clock::time_point deadline,
                                       bool hasDeadline, bool honourCancel) {
  for (;;) {
    if (honourCancel && cancelled()) return Wait::CANCELLED;
    int slice = kSliceMs;
    if (hasDeadline) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                        realClock().steadyNow());
      if (left.count() <= 0) return Wait::TIMEOUT;
      if (left.count() < slice) slice = static_cast<int>(left.count());
    }
    pollfd p{fd_, events, 0};
    int r = ::poll(&p, 1, slice);
    if (r < 0) {
      if (errno == EINTR) continue;
      return Wait::FAILED;
    }
    if (r > 0) return Wait::READY;  // errors and hang-ups show in the next call
  }
}

Status TimedSocket::connect(const std::string& host, int port) {
  if (fd_ >= 0) return fail("socket already open");
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  std::string service = formatInt(port);
  if (int rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found); rc != 0 || !found) {
    return fail("cannot resolve " + host + ": " + ::gai_strerror(rc));
  }
  std::string lastError = "no address";
  for (addrinfo* a = found; a; a = a->ai_next) {
    int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) {
      lastError = std::string("socket: ") + std::strerror(errno);
      continue;
    }
    int one = 1;
    // Commands are tiny and answered one by one; do not hold them back.
    (void)::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (Status s = guardedConnect(fd, a->ai_addr, a->ai_addrlen); !s) {
      lastError = s.error();
      ::close(fd);
      continue;
    }
    fd_ = fd;
    Wait w = waitFor(POLLOUT, {}, false, true);
    int soError = 0;
    socklen_t len = sizeof soError;
    if (w == Wait::READY && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &len) == 0 && soError == 0) {
      ::freeaddrinfo(found);
      return {};
    }
    lastError = w == Wait::CANCELLED ? "connect cancelled"
                                     : std::string("connect failed: ") + std::strerror(soError ? soError : errno);
    close();
  }
  ::freeaddrinfo(found);
  return fail(lastError);
}

long TimedSocket::send(const void* data, size_t size) {
  if (fd_ < 0) return -1;
  const bool hasDeadline = limitMs_ > 0;
  const auto deadline = realClock().steadyNow() + std::chrono::milliseconds(limitMs_);
  const auto* bytes = static_cast<const char*>(data);
  size_t sent = 0;
  while (sent < size) {
    ssize_t n = ::send(fd_, bytes + sent, size - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      sent += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return -1;
    if (waitFor(POLLOUT, deadline, hasDeadline, true) != Wait::READY) return -1;
  }
  return static_cast<long>(sent);
}

long TimedSocket::receive(void* data, size_t size, bool honourCancel) {
  if (fd_ < 0) return -1;
  const bool hasDeadline = limitMs_ > 0;
  // Without a limit, the flag is the only way out of the wait.
  if (!hasDeadline) honourCancel = true;
  const auto deadline = realClock().steadyNow() + std::chrono::milliseconds(limitMs_);
  for (;;) {
    ssize_t n = ::recv(fd_, data, size, MSG_DONTWAIT);
    if (n >= 0) return static_cast<long>(n);
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return -1;
    if (waitFor(POLLIN, deadline, hasDeadline, honourCancel) != Wait::READY) return -1;
  }
}

}  // namespace plotdesk
