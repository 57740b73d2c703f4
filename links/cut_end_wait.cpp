#include "links/cut_end_wait.h"

#include <fcntl.h>
#include <unistd.h>

#include "links/tcp_machine_link.h"
#include "platform/numbers.h"

namespace plotdesk {

namespace {
// Overwrites the start of an existing trace file with one answer.
void recordAnswer(const std::string& path, int state) {
  if (path.empty()) return;
  int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);  // no O_CREAT: only when present
  if (fd < 0) return;
  std::string line = formatInt(state) + "\n";
  (void)!::write(fd, line.data(), line.size());
  ::close(fd);
}
}  // namespace

CutEndResult waitForCutEnd(const std::function<StateAnswer()>& query, Clock& clock,
                           const std::function<void(const std::string&)>& setStatus,
                           const std::string& recordPath) {
  if (setStatus) setStatus(kCheckMachineCutStatus);
  clock.sleepFor(Clock::Ms(1000));
  CutEndResult result;
  for (;;) {
    StateAnswer answer = query();
    recordAnswer(recordPath, answer.state);
    clock.sleepFor(Clock::Ms(100));
    if (answer.state == kStateIdle) {
      result.ok = true;
      return result;
    }
    result.message = answer.message;
    if (answer.state != kStateBusy) return result;
    clock.sleepFor(Clock::Ms(1000));
  }
}

CutEndResult waitForTcpCutEnd(LinkOwner& owner, const LinkContext& context,
                              const std::function<void(const std::string&)>& setStatus,
                              const std::string& recordPath) {
  auto query = [&] {
    TcpMachineLink link(owner, "", context);
    StateAnswer answer;
    answer.state = link.queryMachineState();
    answer.message = link.message();
    return answer;
  };
  return waitForCutEnd(query, context.clockRef(), setStatus, recordPath);
}

}  // namespace plotdesk
