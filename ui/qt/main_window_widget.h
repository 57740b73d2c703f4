#pragma once
// Qt view of the Server/Demo main window: lists, buttons, progress bars,
// status lines, the four-part status bar, menus, tray icon and dialogs.
#include <QMainWindow>
#include <map>

#include "ui/main_window.h"

class QLabel;
class QSystemTrayIcon;
class QTableWidget;

namespace plotdesk {

class PreviewModel;

class MainWindowWidget final : public QMainWindow, public MainWindowView {
 public:
  explicit MainWindowWidget(PreviewModel* preview, QWidget* parent = nullptr);
  ~MainWindowWidget() override;
  void attach(MainWindow* logic) { logic_ = logic; }

  void setTitle(const std::string& title) override;
  void setText(int controlId, const std::string& text) override;
  void setEnabled(int controlId, bool enabled) override;
  void setStatusPart(int part, const std::string& text) override;
  void setProgress(int controlId, int percent) override;
  void bindList(int listId, ListModel& model) override;
  void unbindLists() override;
  void selectRow(int listId, int row) override;
  void showMessage(const std::string& text, const std::string& caption) override;
  std::optional<std::string> chooseFolder(const std::string& title, const std::string& start) override;
  std::optional<std::string> chooseSaveFile() override;
  void setPreviewVisible(bool visible) override;
  void minimiseToTray() override;
  void showAbout() override;
  bool openWithDefaultHandler(const std::string& path) override;
  void closeWindow() override;

  QWidget* control(int id) const;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  struct Bound {
    ListModel* model = nullptr;
    int subscription = 0;
  };
  void refill(int listId);
  QWidget* addButton(int id, const char* text, QWidget* parent);

  MainWindow* logic_ = nullptr;
  std::map<int, QWidget*> controls_;
  std::map<int, QAction*> actions_;
  std::map<int, Bound> lists_;
  QLabel* parts_[4] = {};
  QWidget* previewWidget_ = nullptr;
  QSystemTrayIcon* tray_ = nullptr;
  bool closing_ = false;
};

}  // namespace plotdesk
