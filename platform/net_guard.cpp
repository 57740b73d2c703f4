#include "platform/net_guard.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace plotdesk {

bool loopbackOnly() {
  const char* v = std::getenv("PLOTDESK_LOOPBACK_ONLY");
  return v && std::strcmp(v, "1") == 0;
}

bool isLoopback(const sockaddr* addr, socklen_t len) {
  if (!addr) return false;
  if (addr->sa_family == AF_INET && len >= sizeof(sockaddr_in)) {
    auto* in = reinterpret_cast<const sockaddr_in*>(addr);
    return (ntohl(in->sin_addr.s_addr) >> 24) == 127;
  }
  if (addr->sa_family == AF_INET6 && len >= sizeof(sockaddr_in6)) {
    auto* in6 = reinterpret_cast<const sockaddr_in6*>(addr);
    if (IN6_IS_ADDR_LOOPBACK(&in6->sin6_addr)) return true;
    if (IN6_IS_ADDR_V4MAPPED(&in6->sin6_addr)) return in6->sin6_addr.s6_addr[12] == 127;
    return false;
  }
  return addr->sa_family == AF_UNIX;
}

Status checkConnectAllowed(const sockaddr* addr, socklen_t len) {
  if (!loopbackOnly() || isLoopback(addr, len)) return {};
  char text[INET6_ADDRSTRLEN] = "?";
  if (addr->sa_family == AF_INET) {
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(addr)->sin_addr, text, sizeof text);
  } else if (addr->sa_family == AF_INET6) {
    inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(addr)->sin6_addr, text, sizeof text);
  }
  return fail(std::string("connection to ") + text +
              " refused: PLOTDESK_LOOPBACK_ONLY=1 allows only loopback addresses");
}

Status guardedConnect(int fd, const sockaddr* addr, socklen_t len) {
  if (Status s = checkConnectAllowed(addr, len); !s) return s;
  while (::connect(fd, addr, len) != 0) {
    if (errno == EINTR) continue;
    if (errno == EINPROGRESS) return {};
    return fail(std::string("connect failed: ") + std::strerror(errno));
  }
  return {};
}

}  // namespace plotdesk
