#include "links/machine_link.h"

#include <cstdio>

#include "links/parallel_link.h"
#include "links/serial_link.h"
#include "links/tcp_machine_link.h"

namespace plotdesk {

CoalescedProgress::CoalescedProgress(EventLoop& loop, std::function<void(int)> sink)
    : loop_(loop), shared_(std::make_shared<Shared>()) {
  shared_->sink = std::move(sink);
}

void CoalescedProgress::set(int percent) {
  shared_->latest.store(percent);
  if (shared_->pending.exchange(true)) return;  // the pending delivery will carry it
  loop_.post([s = shared_] {
    s->pending.store(false);
    if (s->sink) s->sink(s->latest.load());
  });
}

namespace link_text {
std::string transferFailed(long long wanted, long long written) {
  char buf[96];
  std::snprintf(buf, sizeof buf, kTransferFailedFormat, static_cast<unsigned>(wanted),
                static_cast<unsigned>(written));
  return buf;
}
}  // namespace link_text

bool isOpenFailure(const std::string& message) {
  return message == link_text::kControllerConnectFail || message == link_text::kSerialOpenFail ||
         message == link_text::kParallelOpenFail;
}

namespace {

// Stands in for a link this build does not have; every transfer fails with
// `reason`, which names what is missing (empty for unknown types).
class UnavailableLink final : public MachineLink {
 public:
  UnavailableLink(LinkOwner& owner, std::string reason) : owner_(owner), reason_(std::move(reason)) {}
  bool transfer() override {
    owner_.cancelFlag().store(false);
    message_ = reason_;
    return false;
  }

 private:
  LinkOwner& owner_;
  std::string reason_;
};

const char* missingLinkName(int transferType) {
  switch (transferType) {
    case kTransferController: return "controller link (transfer type 3)";
    case kTransferIc: return "IC machine link (transfer type 5)";
    case kTransferDelta: return "Delta link library (transfer type 6)";
    case kTransferFtp: return "FTP link library (transfer type 7)";
    default: return nullptr;
  }
}

}  // namespace

std::unique_ptr<MachineLink> makeMachineLink(int transferType, LinkOwner& owner, const std::string& path,
                                             long long fileSize, const LinkContext& context) {
  switch (transferType) {
    case kTransferParallel: return std::make_unique<ParallelLink>(owner, path, fileSize, context);
    case kTransferSerial: return std::make_unique<SerialLink>(owner, path, fileSize, context);
    case kTransferTcp: return std::make_unique<TcpMachineLink>(owner, path, context);
    default: break;
  }
  const char* missing = missingLinkName(transferType);
  return std::make_unique<UnavailableLink>(
      owner, missing ? std::string("Error: the ") + missing + " is not available in this build." : "");
}

}  // namespace plotdesk
