#include "ui/mode_chooser.h"

#include <cstdio>

#include "ui/strings.h"

#ifndef PLOTDESK_VERSION_MAJOR
#define PLOTDESK_VERSION_MAJOR 0
#define PLOTDESK_VERSION_MINOR 0
#define PLOTDESK_VERSION_PATCH 0
#endif

namespace plotdesk {

std::string programVersionText() {
  char buf[64];
  std::snprintf(buf, sizeof buf, " Ver:<%i.%i.%i>", PLOTDESK_VERSION_MAJOR, PLOTDESK_VERSION_MINOR,
                PLOTDESK_VERSION_PATCH);
  return buf;
}

ModeChooserDialog::ModeChooserDialog(SettingsStore& store, ModeChooserView& view, std::string versionText)
    : store_(store), view_(view), versionText_(std::move(versionText)) {}

std::string ModeChooserDialog::title(const std::string& versionText) {
  return std::string(kCaption) + " [ " + versionText + " ] ";
}

void ModeChooserDialog::init() {
  controlMacPrg_ = store_.ControlMacPrg() == 1;
  (void)store_.Locked_SelPrgID();
  std::string ip = store_.Ethernet_IP();
  (void)store_.Ethernet_Port();
  int transfer = store_.Transfer_Type();

  int radio = transfer == 3 ? kRadioModbus : transfer == 5 ? kRadioIC : kRadioM3;
  for (int id : {kRadioM3, kRadioIC, kRadioModbus}) view_.setChecked(id, id == radio);
  view_.setText(kIpEdit, ip);
  for (int id : {kConnectGroup, kConnectLabel, kRadioM3, kRadioIC, kRadioModbus, kIpLabel, kIpEdit}) {
    view_.setEnabled(id, false);
  }
  view_.setTitle(title(versionText_));
}

void ModeChooserDialog::choose(OperatingMode mode) {
  (void)store_.set_ControlMacPrg(controlMacPrg_ ? 1 : 0);
  (void)store_.set_Locked_SelPrgID(static_cast<int>(mode));
  chosen_ = mode;
  view_.close(true);
}

void ModeChooserDialog::onButton(int controlId) {
  switch (controlId) {
    case kServer: choose(OperatingMode::Server); break;
    case kClient: choose(OperatingMode::Client); break;
    case kControl: choose(OperatingMode::Control); break;
    case kDemo:
      view_.showMessage(tr(IDS_DEMO_WARNING), tr(IDS_ERROR));
      choose(OperatingMode::Demo);
      break;
    case kClose:
      chosen_.reset();
      view_.close(false);
      break;
    default: break;
  }
}

}  // namespace plotdesk
