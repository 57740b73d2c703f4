#pragma once
// The pipeline's engine, link and preview services made of the real engine,
// links and preview.
#include <memory>
#include <string>

#include "pipeline/services.h"
#include "platform/clock.h"

namespace plotdesk {

class PreviewControl;

class EngineDisposeFactory final : public DisposeFactory {
 public:
  explicit EngineDisposeFactory(std::string programFolder) : folder_(std::move(programFolder)) {}
  std::unique_ptr<DisposeService> create(int splitAlignType) override;
  bool convertFileCode(const std::string& path) override;

 private:
  std::string folder_;
};

class MachineLinkFactory final : public LinkFactory {
 public:
  MachineLinkFactory(std::string programFolder, Clock& clock) : folder_(std::move(programFolder)), clock_(clock) {}
  std::unique_ptr<LinkService> create(const LinkJob& job, TransferOwner& owner) override;

 private:
  std::string folder_;
  Clock& clock_;
};

// Shows files in a preview control, applying the stored auto-rotation.
class PreviewSinkAdapter final : public PreviewSink {
 public:
  PreviewSinkAdapter(PreviewControl& control, std::string programFolder)
      : control_(control), folder_(std::move(programFolder)) {}
  void show(const std::string& path) override;
  void clear() override;

 private:
  PreviewControl& control_;
  std::string folder_;
};

}  // namespace plotdesk
