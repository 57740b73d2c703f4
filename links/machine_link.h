#pragma once
// The contract every machine link keeps with the window (or command) on whose
// behalf it sends a file, and the factory that picks a link by transfer type.
//
// A link serves one transfer: build, transfer(), message(), destroy. It reads
// its settings when it is built and opens its port or socket only inside
// transfer(). transfer() blocks the calling worker thread; the only data it
// shares with other threads are the owner's cancel flag and progress sink.
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/clock.h"
#include "platform/event_loop.h"

namespace plotdesk {

// What a link needs from its owner. Both calls come from the link's thread.
class LinkOwner {
 public:
  virtual ~LinkOwner() = default;
  // Set by the owner's interface thread to ask for a stop; a link clears it
  // when its transfer starts and polls it while it works.
  virtual std::atomic<bool>& cancelFlag() = 0;
  // Position of the progress indicator, range 0..100.
  virtual void setProgress(int percent) = 0;
};

// For ownerless use (state query, file-over notice, receipt sending): no
// progress, and a cancel flag nobody sets.
class NullLinkOwner final : public LinkOwner {
 public:
  std::atomic<bool>& cancelFlag() override { return cancel_; }
  void setProgress(int) override {}

 private:
  std::atomic<bool> cancel_{false};
};

// Delivers progress to a sink on an event loop, coalesced: however fast a link
// reports, at most one delivery is pending and it carries the latest value.
// The sink runs on the loop thread; it may outlive this object safely.
class CoalescedProgress {
 public:
  CoalescedProgress(EventLoop& loop, std::function<void(int)> sink);
  void set(int percent);  // any thread

 private:
  struct Shared {
    std::atomic<int> latest{0};
    std::atomic<bool> pending{false};
    std::function<void(int)> sink;
  };
  EventLoop& loop_;
  std::shared_ptr<Shared> shared_;
};

// A ready-made owner for workers: an own cancel flag and coalesced progress.
class LoopLinkOwner final : public LinkOwner {
 public:
  LoopLinkOwner(EventLoop& loop, std::function<void(int)> progressSink)
      : progress_(loop, std::move(progressSink)) {}
  std::atomic<bool>& cancelFlag() override { return cancel_; }
  void setProgress(int percent) override { progress_.set(percent); }

 private:
  std::atomic<bool> cancel_{false};
  CoalescedProgress progress_;
};

// Where a link finds its settings and how it waits.
struct LinkContext {
  std::string programFolder;  // empty: the store's default program folder
  Clock* clock = nullptr;     // null: the real clock
  Clock& clockRef() const { return clock ? *clock : realClock(); }
};

class MachineLink {
 public:
  virtual ~MachineLink() = default;
  // Sends the file; true when it reached the machine.
  virtual bool transfer() = 0;
  // Result text of the last transfer; empty when there is nothing to report.
  const std::string& message() const { return message_; }

 protected:
  std::string message_;
};

// Result texts shared by the links and their callers.
namespace link_text {
inline constexpr const char* kSerialOpenFail = "Serial_Open_Fail";
inline constexpr const char* kParallelOpenFail = "Parallel_Open_Fail";
inline constexpr const char* kControllerConnectFail = "Controller_Connect_Fail";
inline constexpr const char* kOpenFileFail = "Open Transfer-File Fail.";
inline constexpr const char* kCancelledByUser = "File transfer cancelled by user.";
// printf form: block length read, bytes written.
inline constexpr const char* kTransferFailedFormat = "File transfer failed(Transfer=$%x, Received=$%x)";
std::string transferFailed(long long wanted, long long written);
}  // namespace link_text

// Transfer types as stored in Transfer_Type.
enum TransferType : int {
  kTransferParallel = 1,
  kTransferSerial = 2,
  kTransferController = 3,
  kTransferTcp = 4,
  kTransferIc = 5,
  kTransferDelta = 6,
  kTransferFtp = 7,
};

// True for the three open failures that pause the print queue.
bool isOpenFailure(const std::string& message);

// The link for `transferType`, built with its settings read now. `fileSize`
// is the caller's measurement (links that need a length take it from the
// open file). Types without a link in this build give a link whose transfer
// fails with a message naming what is missing; unknown types fail with an
// empty message.
std::unique_ptr<MachineLink> makeMachineLink(int transferType, LinkOwner& owner, const std::string& path,
                                             long long fileSize, const LinkContext& context = {});

}  // namespace plotdesk
