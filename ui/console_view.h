#pragma once
// The main window without a display: every list change, status line and
// status-bar message becomes one plain line with a local timestamp.
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/event_loop.h"
#include "ui/main_window.h"

namespace plotdesk {

class ConsoleMainView final : public MainWindowView {
 public:
  ConsoleMainView(std::ostream& out, Clock& clock, EventLoop& loop) : out_(out), clock_(clock), loop_(loop) {}
  ~ConsoleMainView() override;

  void setTitle(const std::string& title) override;
  void setText(int controlId, const std::string& text) override;
  void setEnabled(int, bool) override {}
  void setStatusPart(int part, const std::string& text) override;
  void setProgress(int, int) override {}
  void bindList(int listId, ListModel& model) override;
  void unbindLists() override;
  void selectRow(int, int) override {}
  void showMessage(const std::string& text, const std::string& caption) override;
  std::optional<std::string> chooseFolder(const std::string&, const std::string&) override { return std::nullopt; }
  std::optional<std::string> chooseSaveFile() override { return std::nullopt; }
  void setPreviewVisible(bool) override {}
  void minimiseToTray() override {}
  void showAbout() override;
  bool openWithDefaultHandler(const std::string&) override { return false; }
  void closeWindow() override { loop_.quit(0); }

 private:
  struct Bound {
    ListModel* model;
    int subscription;
    std::vector<ListModel::Row> shadow;
  };
  void line(const std::string& text);
  void listChanged(int listId, const ListChange& change);

  std::ostream& out_;
  Clock& clock_;
  EventLoop& loop_;
  std::map<int, Bound> lists_;
  std::map<int, std::string> texts_;
  std::map<int, std::string> parts_;
};

}  // namespace plotdesk
