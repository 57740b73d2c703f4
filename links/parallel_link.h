#pragma once
// Copies the file byte for byte to a parallel printer device, in-process.
#include <string>
#include <vector>

#include "links/machine_link.h"

namespace plotdesk {

// The devices tried for Parallel_No `n`: Parallel_Device when set, else
// /dev/lp{n-1}, then /dev/usb/lp{n-1}.
std::vector<std::string> parallelDeviceCandidates(int parallelNo, const std::string& configuredDevice);

class ParallelLink final : public MachineLink {
 public:
  ParallelLink(LinkOwner& owner, std::string path, long long fileSize, const LinkContext& context = {});
  bool transfer() override;
  const std::vector<std::string>& devices() const { return devices_; }

 private:
  bool cancelled() const { return owner_.cancelFlag().load(); }

  LinkOwner& owner_;
  Clock& clock_;
  std::string path_;
  std::vector<std::string> devices_;
};

}  // namespace plotdesk
