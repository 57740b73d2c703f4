#pragma once
// After a job has been sent, the print worker can wait until the machine has
// finished cutting it, polling the machine state with a fresh link each time.
#include <functional>
#include <string>

#include "links/machine_link.h"

namespace plotdesk {

struct StateAnswer {
  int state = 0;  // 1 idle, 2 busy or unreachable, other: error
  std::string message;
};

struct CutEndResult {
  bool ok = false;
  std::string message;
};

inline constexpr const char* kCheckMachineCutStatus = "Check Machine Cut ... ...";

// Polls `query` until it answers idle (ok) or anything but busy (failure with
// the query's message). `setStatus` shows the print status line. Each answer
// is also written as a decimal line to `recordPath`, only when that file
// already exists (an operator creates it to trace the polling).
CutEndResult waitForCutEnd(const std::function<StateAnswer()>& query, Clock& clock,
                           const std::function<void(const std::string&)>& setStatus,
                           const std::string& recordPath = "1.txt");

// The same on the TCP link's state query, each query through a fresh link of
// `owner` with the configured machine address. A set cancel flag ends it.
CutEndResult waitForTcpCutEnd(LinkOwner& owner, const LinkContext& context,
                              const std::function<void(const std::string&)>& setStatus,
                              const std::string& recordPath = "1.txt");

}  // namespace plotdesk
