#pragma once
// The operating-mode chooser shown at start-up, as toolkit-free logic over a
// view that addresses controls by id.
#include <optional>
#include <string>

#include "config/settings_store.h"

namespace plotdesk {

enum class OperatingMode : int { Demo = 0, Client = 1, Server = 2, Control = 3 };

class ModeChooserView {
 public:
  virtual ~ModeChooserView() = default;
  virtual void setTitle(const std::string& title) = 0;
  virtual void setText(int controlId, const std::string& text) = 0;
  virtual void setChecked(int controlId, bool checked) = 0;
  virtual void setEnabled(int controlId, bool enabled) = 0;
  virtual void showMessage(const std::string& text, const std::string& caption) = 0;
  virtual void close(bool accepted) = 0;
};

class ModeChooserDialog {
 public:
  enum ControlId : int {
    kPicture = 1306,
    kConnectGroup = 32845,
    kConnectLabel = 1177,
    kRadioM3 = 1239,
    kRadioIC = 1241,
    kRadioModbus = 1236,
    kIpLabel = 1174,
    kIpEdit = 1044,
    kServer = 1224,
    kClient = 1231,
    kControl = 1225,
    kDemo = 1229,
    kClose = 1298,
  };
  static constexpr const char* kCaption = "Plotdesk";
  static constexpr const char* kNotice =
      "Use the program before please confirm the machine has been already opened or links exactitude!";

  // `versionText` is " Ver:<a.b.c>" or empty when the version is unknown.
  ModeChooserDialog(SettingsStore& store, ModeChooserView& view, std::string versionText);

  void init();
  void onButton(int controlId);
  // The stored mode after a mode button, empty after "Close".
  std::optional<OperatingMode> chosen() const { return chosen_; }
  static std::string title(const std::string& versionText);

 private:
  void choose(OperatingMode mode);

  SettingsStore& store_;
  ModeChooserView& view_;
  std::string versionText_;
  bool controlMacPrg_ = false;
  std::optional<OperatingMode> chosen_;
};

// " Ver:<major.minor.patch>" of this build.
std::string programVersionText();

}  // namespace plotdesk
