#pragma once
// Qt view of the operating-mode chooser.
#include <QDialog>
#include <map>

#include "ui/mode_chooser.h"

class QWidget;

namespace plotdesk {

class ModeChooserWidget final : public QDialog, public ModeChooserView {
 public:
  explicit ModeChooserWidget(QWidget* parent = nullptr);
  void attach(ModeChooserDialog* logic) { logic_ = logic; }

  void setTitle(const std::string& title) override;
  void setText(int controlId, const std::string& text) override;
  void setChecked(int controlId, bool checked) override;
  void setEnabled(int controlId, bool enabled) override;
  void showMessage(const std::string& text, const std::string& caption) override;
  void close(bool accepted) override;

  QWidget* control(int id) const;

 private:
  ModeChooserDialog* logic_ = nullptr;
  std::map<int, QWidget*> controls_;
};

// Runs the chooser as a modal dialog; returns the chosen mode or nothing for "Close".
std::optional<int> runModeChooser(SettingsStore& store);

}  // namespace plotdesk
