#pragma once
// A TCP stream socket whose sends and receives give up after a time limit.
// The limit is real time, as the waits are on a real socket. Every wait
// happens in short slices so a cancel flag is seen within about
// 50 ms, also when no limit is set. Data already available is always taken
// before the flag is looked at, so a reply that has arrived is never lost to
// a late cancel.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <string>

#include "platform/result.h"

namespace plotdesk {

class TimedSocket {
 public:
  static constexpr int kNoLimit = 0;
  static constexpr int kDefaultLimitMs = 3000;

  TimedSocket() = default;
  ~TimedSocket();
  TimedSocket(const TimedSocket&) = delete;
  TimedSocket& operator=(const TimedSocket&) = delete;

  bool isOpen() const { return fd_ >= 0; }
  // Limit of each single send and receive in ms; kNoLimit (or less) waits until
  // done, cancelled or the connection breaks.
  void setTimeLimit(int ms) { limitMs_ = ms; }
  int timeLimit() const { return limitMs_; }
  // The flag that abandons waits; null for none. Not owned.
  void setCancelFlag(const std::atomic<bool>* flag) { cancel_ = flag; }

  // Resolves `host` (dotted IPv4 or a name) and connects through the network
  // guard. The connect has no time limit of its own but ends on cancel.
  Status connect(const std::string& host, int port);
  // Sends all of `data`; returns the byte count sent, -1 on failure, time-out
  // or cancel (the bytes sent so far are lost to the caller, as with a
  // blocking send that failed).
  long send(const void* data, size_t size);
  // Receives at most `size` bytes; returns the count (0: the peer closed),
  // or -1 on failure, time-out or cancel. `honourCancel` false waits out the
  // time limit even when the cancel flag is set (only when a limit exists).
  long receive(void* data, size_t size, bool honourCancel = true);
  void close();

 private:
  enum class Wait { READY, TIMEOUT, CANCELLED, FAILED };
  Wait waitFor(short events, std::chrono::steady_clock::time_point deadline, bool hasDeadline,
               bool honourCancel);
  bool cancelled() const { return cancel_ && cancel_->load(); }

  int fd_ = -1;
  int limitMs_ = kDefaultLimitMs;
  const std::atomic<bool>* cancel_ = nullptr;
};

}  // namespace plotdesk
