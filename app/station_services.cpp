#include "app/station_services.h"

#include <iostream>

#include "config/settings_store.h"
#include "engine/dispose_engine.h"
#include "engine/file_code_converter.h"
#include "links/cut_end_wait.h"
#include "links/machine_link.h"
#include "links/tcp_machine_link.h"
#include "ui/preview.h"

namespace plotdesk {
namespace {

class EngineOwner final : public engine::DisposeOwner {
 public:
  explicit EngineOwner(plotdesk::DisposeOwner& owner) : owner_(owner) {}
  void disposeProgress(int percent) override { owner_.setProgress(percent); }
  bool disposeCancelled() const override { return owner_.stopRequested(); }
  void appendDisposedOutput(const std::string& item) override { owner_.addOutput(item); }

 private:
  plotdesk::DisposeOwner& owner_;
};

class EngineService final : public DisposeService {
 public:
  explicit EngineService(std::string folder) : folder_(std::move(folder)) {}
  bool dispose(const DisposeJob& job, plotdesk::DisposeOwner& owner) override {
    // The settings are read per job, so a changed setting takes effect for the next one.
    engine::DisposeSettings settings = engine::readDisposeSettings(SettingsStore(folder_));
    auto engine = engine::makeDisposeEngine(settings);
    if (!engine) {
      report(job.source, engine.error());
      return false;
    }
    EngineOwner bridge(owner);
    Status s = (*engine)->dispose({job.source, job.disposeFolder, job.timestampName}, bridge);
    if (!s) report(job.source, s.error());
    return s.ok();
  }

 private:
  // The list row only says "File Dispose fail."; the operator's console gets the reason.
  static void report(const std::string& source, const std::string& why) {
    std::cerr << "plotdesk: dispose of " << source << " failed: " << why << "\n";
  }
  std::string folder_;
};

class LinkOwnerBridge final : public LinkOwner {
 public:
  explicit LinkOwnerBridge(TransferOwner& owner) : owner_(owner) {}
  std::atomic<bool>& cancelFlag() override { return owner_.cancelFlag(); }
  void setProgress(int percent) override { owner_.setProgress(percent); }

 private:
  TransferOwner& owner_;
};

class LinkAdapter final : public LinkService {
 public:
  LinkAdapter(const LinkJob& job, TransferOwner& owner, LinkContext context)
      : owner_(owner), context_(std::move(context)), type_(job.transferType) {
    link_ = makeMachineLink(job.transferType, owner_, job.path, job.size, context_);
  }
  bool transfer() override { return link_ && link_->transfer(); }
  std::string message() const override { return link_ ? link_->message() : std::string(); }
  bool waitForCutEnd(const std::function<void(const std::string&)>& status, std::string& message) override {
    if (type_ != kTransferTcp) return true;
    CutEndResult r = waitForTcpCutEnd(owner_, context_, status);
    message = r.message;
    // The machine already has the job: an operator's pause ends the wait but
    // must not queue the job again, or it would be cut twice.
    if (!r.ok && owner_.cancelFlag().load()) return true;
    return r.ok;
  }

 private:
  LinkOwnerBridge owner_;
  LinkContext context_;
  int type_;
  std::unique_ptr<MachineLink> link_;
};

}  // namespace

std::unique_ptr<DisposeService> EngineDisposeFactory::create(int) {
  // The engine itself picks the paginating or the older engine from the settings.
  return std::make_unique<EngineService>(folder_);
}

bool EngineDisposeFactory::convertFileCode(const std::string& path) {
  std::string codePage = SettingsStore(folder_).System_CodePage();
  engine::FileCodeConverter converter(path, path, codePage);
  return converter.convert().ok();
}

std::unique_ptr<LinkService> MachineLinkFactory::create(const LinkJob& job, TransferOwner& owner) {
  if (job.transferType < kTransferParallel || job.transferType > kTransferFtp) return nullptr;
  LinkContext context{folder_, &clock_};
  return std::make_unique<LinkAdapter>(job, owner, context);
}

void PreviewSinkAdapter::show(const std::string& path) {
  (void)control_.showFile(path, SettingsStore(folder_).AutoRotateAngle());
}

void PreviewSinkAdapter::clear() { control_.clear(); }

}  // namespace plotdesk
