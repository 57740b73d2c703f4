#include "ui/qt/main_window_widget.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTableWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "ui/preview.h"
#include "ui/qt/preview_widget.h"
#include "ui/strings.h"

namespace plotdesk {

using namespace main_ids;

namespace {
QString q(const std::string& s) { return QString::fromStdString(s); }

QTableWidget* makeList(QWidget* parent) {
  auto* t = new QTableWidget(parent);
  t->setSelectionBehavior(QAbstractItemView::SelectRows);
  t->setSelectionMode(QAbstractItemView::SingleSelection);
  t->setEditTriggers(QAbstractItemView::NoEditTriggers);
  t->setShowGrid(true);
  t->verticalHeader()->hide();
  return t;
}
}  // namespace

QWidget* MainWindowWidget::addButton(int id, const char* text, QWidget* parent) {
  auto* b = new QPushButton(text, parent);
  controls_[id] = b;
  connect(b, &QPushButton::clicked, this, [this, id] {
    if (logic_) logic_->onCommand(id);
  });
  return b;
}

MainWindowWidget::MainWindowWidget(PreviewModel* preview, QWidget* parent) : QMainWindow(parent) {
  auto* central = new QWidget(this);
  auto* columns = new QHBoxLayout(central);
  auto* left = new QVBoxLayout();
  columns->addLayout(left, 3);

  // Watch folder and watcher list.
  auto* watchGroup = new QGroupBox("Watcher Dir:", central);
  controls_[kWatchGroup] = watchGroup;
  auto* wl = new QVBoxLayout(watchGroup);
  auto* pathRow = new QHBoxLayout();
  auto* edit = new QLineEdit(watchGroup);
  edit->setReadOnly(true);
  controls_[kWatchEdit] = edit;
  pathRow->addWidget(edit);
  pathRow->addWidget(addButton(kChooseFolder, "...", watchGroup));
  wl->addLayout(pathRow);
  auto* watcherList = makeList(watchGroup);
  controls_[kWatcherList] = watcherList;
  wl->addWidget(watcherList);
  auto* wb = new QHBoxLayout();
  const std::pair<int, const char*> watcherButtons[] = {
      {kWatcherPause, "Pause"}, {kWatcherDelete, "Delete"}, {kWatcherClear, "Clear"}, {kWatcherUp, "Up"}, {kWatcherDown, "Down"}};
  for (auto [id, text] : watcherButtons) wb->addWidget(addButton(id, text, watchGroup));
  wl->addLayout(wb);
  auto* disposeBar = new QProgressBar(watchGroup);
  disposeBar->setRange(0, 100);
  controls_[kDisposeProgress] = disposeBar;
  wl->addWidget(disposeBar);
  auto* disposeStatus = new QLabel(watchGroup);
  controls_[kDisposeStatus] = disposeStatus;
  wl->addWidget(disposeStatus);
  left->addWidget(watchGroup);

  // Print queue.
  auto* printGroup = new QGroupBox("Print Queue", central);
  controls_[kPrintGroup] = printGroup;
  auto* pl = new QVBoxLayout(printGroup);
  auto* printQueue = makeList(printGroup);
  controls_[kPrintQueue] = printQueue;
  pl->addWidget(printQueue);
  auto* pb = new QHBoxLayout();
  const std::pair<int, const char*> printButtons[] = {
      {kPrintPause, "Pause"}, {kPrintDelete, "Delete"}, {kPrintClear, "Clear"}, {kPrintUp, "Up"}, {kPrintDown, "Down"}};
  for (auto [id, text] : printButtons) pb->addWidget(addButton(id, text, printGroup));
  pl->addLayout(pb);
  auto* printBar = new QProgressBar(printGroup);
  printBar->setRange(0, 100);
  controls_[kPrintProgress] = printBar;
  pl->addWidget(printBar);
  auto* printStatus = new QLabel(printGroup);
  controls_[kPrintStatus] = printStatus;
  pl->addWidget(printStatus);
  left->addWidget(printGroup);

  // Printed list and preview.
  auto* right = new QVBoxLayout();
  columns->addLayout(right, 4);
  auto* printed = makeList(central);
  controls_[kPrintedList] = printed;
  right->addWidget(printed, 3);
  auto* previewGroup = new QGroupBox(central);
  controls_[kPreviewGroup] = previewGroup;
  auto* gl = new QVBoxLayout(previewGroup);
  gl->setContentsMargins(4, 7, 4, 4);
  if (preview) {
    previewWidget_ = new PreviewWidget(*preview, previewGroup);
    controls_[kPreview] = previewWidget_;
    gl->addWidget(previewWidget_);
  }
  previewGroup->hide();
  right->addWidget(previewGroup, 2);
  setCentralWidget(central);

  for (int id : {kWatcherList, kPrintQueue, kPrintedList}) {
    auto* t = static_cast<QTableWidget*>(controls_[id]);
    connect(t, &QTableWidget::cellClicked, this, [this, id](int row, int) {
      if (logic_) logic_->onListClicked(id, row);
    });
  }

  // Menus.
  auto addAction = [this](QMenu* menu, int id, const char* text) {
    QAction* a = menu->addAction(text);
    actions_[id] = a;
    connect(a, &QAction::triggered, this, [this, id] {
      if (logic_) logic_->onCommand(id);
    });
  };
  QMenu* system = menuBar()->addMenu("System");
  addAction(system, kMenuOpenServer, "Open Server");
  system->addSeparator();
  addAction(system, kMenuPrintView, "Print View(&V)...");
  system->addSeparator();
  addAction(system, kMenuQuit, "Quit(&Q)");
  QMenu* option = menuBar()->addMenu("Option");
  addAction(option, kMenuClearRecord, "Clear Record(&C)");
  addAction(option, kMenuSaveRecord, "Save Record(&R) ...");
  option->addSeparator();
  addAction(option, kMenuWatcherDir, "Watcher Dir(&W) ...");
  addAction(option, kMenuWatcherNet, "Watcher Net");
  option->addSeparator();
  addAction(option, kMenuSetting, "Setting(&S)...");
  QMenu* help = menuBar()->addMenu("Help");
  addAction(help, kMenuHelp, "Help(&H)");
  addAction(help, kMenuAbout, "About(&A)");

  // Status bar: parts ending at 130, 300 and 420 pixels, the last filling the rest.
  const int widths[] = {130, 170, 120};
  for (int i = 0; i < 4; ++i) {
    parts_[i] = new QLabel(this);
    if (i < 3) {
      parts_[i]->setFixedWidth(widths[i]);
      statusBar()->addWidget(parts_[i]);
    } else {
      statusBar()->addWidget(parts_[i], 1);
    }
  }

  if (QSystemTrayIcon::isSystemTrayAvailable()) {
    tray_ = new QSystemTrayIcon(this);
    tray_->setToolTip("Click to open directory watcher window");
    connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
      if (r != QSystemTrayIcon::Trigger) return;
      tray_->hide();
      showNormal();
      activateWindow();
      if (logic_) logic_->onTrayClicked();
    });
  }
  resize(1100, 700);
}

MainWindowWidget::~MainWindowWidget() { unbindLists(); }

QWidget* MainWindowWidget::control(int id) const {
  auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

void MainWindowWidget::setTitle(const std::string& title) { setWindowTitle(q(title)); }

void MainWindowWidget::setText(int controlId, const std::string& text) {
  QWidget* w = control(controlId);
  if (auto* e = qobject_cast<QLineEdit*>(w)) e->setText(q(text));
  else if (auto* l = qobject_cast<QLabel*>(w)) l->setText(q(text));
  else if (auto* b = qobject_cast<QPushButton*>(w)) b->setText(q(text));
}

void MainWindowWidget::setEnabled(int controlId, bool enabled) {
  if (auto it = actions_.find(controlId); it != actions_.end()) it->second->setEnabled(enabled);
  if (QWidget* w = control(controlId)) w->setEnabled(enabled);
}

void MainWindowWidget::setStatusPart(int part, const std::string& text) {
  if (part >= 0 && part < 4) parts_[part]->setText(q(text));
}

void MainWindowWidget::setProgress(int controlId, int percent) {
  if (auto* bar = qobject_cast<QProgressBar*>(control(controlId))) bar->setValue(percent);
}

void MainWindowWidget::refill(int listId) {
  auto* t = static_cast<QTableWidget*>(control(listId));
  const ListModel* m = lists_[listId].model;
  if (!t || !m) return;
  t->setRowCount(m->rowCount());
  for (int r = 0; r < m->rowCount(); ++r) {
    for (int c = 0; c < m->columnCount(); ++c) {
      auto* item = t->item(r, c);
      if (!item) {
        item = new QTableWidgetItem();
        if (m->columns()[static_cast<size_t>(c)].align == ColumnAlign::Centre) item->setTextAlignment(Qt::AlignCenter);
        t->setItem(r, c, item);
      }
      item->setText(q(m->cell(r, c)));
    }
  }
}

void MainWindowWidget::bindList(int listId, ListModel& model) {
  auto* t = static_cast<QTableWidget*>(control(listId));
  if (!t) return;
  t->setColumnCount(model.columnCount());
  QStringList headings;
  for (int c = 0; c < model.columnCount(); ++c) {
    const ColumnSpec& spec = model.columns()[static_cast<size_t>(c)];
    headings << q(plotdesk::tr(spec.titleId));
    t->setColumnWidth(c, spec.width);
  }
  t->setHorizontalHeaderLabels(headings);
  Bound b;
  b.model = &model;
  b.subscription = model.subscribe([this, listId](const ListChange&) { refill(listId); });
  lists_[listId] = b;
  refill(listId);
}

void MainWindowWidget::unbindLists() {
  for (auto& [id, b] : lists_) {
    if (b.model) b.model->unsubscribe(b.subscription);
  }
  lists_.clear();
}

void MainWindowWidget::selectRow(int listId, int row) {
  if (auto* t = static_cast<QTableWidget*>(control(listId))) t->selectRow(row);
}

void MainWindowWidget::showMessage(const std::string& text, const std::string& caption) {
  QMessageBox::information(this, q(caption), q(text));
}

std::optional<std::string> MainWindowWidget::chooseFolder(const std::string& title, const std::string& start) {
  QString dir = QFileDialog::getExistingDirectory(this, q(title), q(start), QFileDialog::ShowDirsOnly);
  if (dir.isEmpty()) return std::nullopt;
  return dir.toStdString();
}

std::optional<std::string> MainWindowWidget::chooseSaveFile() {
  QFileDialog dialog(this);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix("txt");
  dialog.setNameFilters({"(*.TXT) (*.TXT *.txt)", "All Files(*.*) (*)"});
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().first().toStdString();
}

void MainWindowWidget::setPreviewVisible(bool visible) {
  if (QWidget* g = control(kPreviewGroup)) g->setVisible(visible && previewWidget_);
}

void MainWindowWidget::minimiseToTray() {
  if (tray_) {
    tray_->setIcon(windowIcon().isNull() ? QApplication::style()->standardIcon(QStyle::SP_ComputerIcon) : windowIcon());
    tray_->show();
    hide();
  } else {
    showMinimized();
  }
}

void MainWindowWidget::showAbout() {
  QMessageBox::about(this, "About Plotdesk",
                     "plotdesk\n\nThe output station of the cutting room: disposes plot files and "
                     "sends them to the cutter.");
}

bool MainWindowWidget::openWithDefaultHandler(const std::string& path) {
  return QDesktopServices::openUrl(QUrl::fromLocalFile(q(path)));
}

void MainWindowWidget::closeWindow() {
  closing_ = true;
  close();
  QApplication::exit(0);
}

void MainWindowWidget::closeEvent(QCloseEvent* event) {
  if (!closing_ && logic_) {
    event->ignore();
    logic_->close();  // shuts the pipeline down, then calls closeWindow()
    return;
  }
  QMainWindow::closeEvent(event);
}

void MainWindowWidget::changeEvent(QEvent* event) {
  if (event->type() == QEvent::WindowStateChange && isMinimized() && tray_ && !tray_->isVisible()) {
    minimiseToTray();
  }
  QMainWindow::changeEvent(event);
}

}  // namespace plotdesk
