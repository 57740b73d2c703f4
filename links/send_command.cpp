#include "links/send_command.h"

#include <atomic>
#include <mutex>

#include "config/settings_store.h"
#include "links/cut_end_wait.h"
#include "links/machine_link.h"
#include "platform/files.h"

namespace plotdesk {

namespace {

// Shows progress as one rewritten line; repeated values are not printed.
class ConsoleOwner final : public LinkOwner {
 public:
  ConsoleOwner(std::ostream& err, std::string name) : err_(err), name_(std::move(name)) {}
  std::atomic<bool>& cancelFlag() override { return cancel_; }
  void setProgress(int percent) override {
    std::lock_guard g(mu_);
    if (percent == last_) return;
    last_ = percent;
    if (percent <= 0) return;  // the end of an operation; the result line follows
    err_ << "\rsending " << name_ << ": " << percent << "%" << std::flush;
    shown_ = true;
  }
  void endLine() {
    std::lock_guard g(mu_);
    if (shown_) err_ << "\n";
    shown_ = false;
  }

 private:
  std::ostream& err_;
  std::string name_;
  std::atomic<bool> cancel_{false};
  std::mutex mu_;
  int last_ = -1;
  bool shown_ = false;
};

}  // namespace

int runSendCommand(const std::vector<std::string>& args, const std::string& programFolder, std::ostream& out,
                   std::ostream& err) {
  return runSendCommand(args, programFolder, out, err, realClock());
}

int runSendCommand(const std::vector<std::string>& args, const std::string& programFolder, std::ostream& out,
                   std::ostream& err, Clock& clock) {
  if (args.size() != 1 || args[0].empty()) {
    err << "usage: plotdesk [--home DIR] send FILE\n";
    return 2;
  }
  const std::string& path = args[0];
  if (!fileExists(path)) {
    out << "Print File isn't Exist!\n";
    return 1;
  }
  Result<long long> size = fileSize(path);
  LinkContext context{programFolder, &clock};
  SettingsStore store(programFolder);
  const int type = store.Transfer_Type();

  ConsoleOwner owner(err, std::string(fileNamePart(path)));
  std::unique_ptr<MachineLink> link = makeMachineLink(type, owner, path, size ? *size : 0, context);
  bool ok = link->transfer();
  std::string message = link->message();
  link.reset();
  owner.endLine();

  if (ok && type == kTransferTcp && store.IC_CutState() == 1) {
    // The state queries report no progress of their own worth showing.
    NullLinkOwner quiet;
    CutEndResult cut = waitForTcpCutEnd(quiet, context, [&](const std::string& status) { err << status << "\n"; });
    if (!cut.ok) {
      ok = false;
      message = cut.message;
    }
  }
  if (!message.empty()) {
    out << message << "\n";
  } else {
    out << (ok ? "OK" : "Failed") << "\n";
  }
  return ok ? 0 : 1;
}

}  // namespace plotdesk
