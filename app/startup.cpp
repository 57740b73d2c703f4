#include "app/startup.h"

#include <atomic>

namespace plotdesk {
namespace {
std::atomic<bool> gLive{false};
}

bool liveMode() { return gLive.load(); }
void setLiveMode(bool live) { gLive.store(live); }

WindowChoice windowFor(int mode, int controlMacType) {
  switch (mode) {
    case 1: return {WindowKind::ClientWindow, 173, true, OperatingMode::Client};
    case 2: return {WindowKind::MainWindow, 102, true, OperatingMode::Server};
    case 3: {
      int resource = controlMacType == 1 ? 174 : controlMacType == 2 ? 175 : 164;
      return {WindowKind::Console, resource, true, OperatingMode::Control};
    }
    default: return {WindowKind::MainWindow, 102, false, OperatingMode::Demo};
  }
}

StartupPlan planStartup(const StartupInputs& in) {
  StartupPlan plan;
  plan.singleInstance = in.softwareMutex == 1;
  plan.languageId = (in.languageId >= 1 && in.languageId <= 6) ? in.languageId : 0;
  if (in.modeOverride) {
    plan.window = windowFor(*in.modeOverride, in.controlMacType);
    return plan;
  }
  bool skip = in.lockedSelPrg == 1 && in.lockedSelPrgId != 0;
  if (skip) {
    plan.window = windowFor(in.lockedSelPrgId, in.controlMacType);
  } else if (in.headless) {
    plan.error = "no operating mode: the mode chooser needs a display; pass --mode server|client|control|demo";
  } else {
    plan.showChooser = true;
  }
  return plan;
}

const char* modeName(OperatingMode mode) {
  switch (mode) {
    case OperatingMode::Client: return "client";
    case OperatingMode::Server: return "server";
    case OperatingMode::Control: return "control";
    case OperatingMode::Demo: break;
  }
  return "demo";
}

std::optional<int> parseModeName(const std::string& name) {
  if (name == "demo") return 0;
  if (name == "client") return 1;
  if (name == "server") return 2;
  if (name == "control") return 3;
  return std::nullopt;
}

}  // namespace plotdesk
