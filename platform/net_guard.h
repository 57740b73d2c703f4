#pragma once
// Outgoing connections go through here. With PLOTDESK_LOOPBACK_ONLY=1 any
// address outside 127.0.0.0/8 (or ::1) is refused at once, so tests and
// demos can never reach a real machine network.
#include <sys/socket.h>

#include <string>

#include "platform/result.h"

namespace plotdesk {

bool loopbackOnly();
bool isLoopback(const sockaddr* addr, socklen_t len);
Status checkConnectAllowed(const sockaddr* addr, socklen_t len);
// connect(2) after the check; EINPROGRESS on a non-blocking socket is success.
Status guardedConnect(int fd, const sockaddr* addr, socklen_t len);

}  // namespace plotdesk
