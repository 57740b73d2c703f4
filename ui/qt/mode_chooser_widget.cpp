#include "ui/qt/mode_chooser_widget.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace plotdesk {

namespace {
QPixmap bannerPicture() {
  // The station's banner: a cutting head over a marker.
  QPixmap pm(360, 90);
  pm.fill(QColor(32, 64, 112));
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(240, 240, 240), 2));
  p.drawRect(20, 20, 320, 50);
  p.setPen(QPen(QColor(255, 200, 60), 3));
  p.drawLine(40, 60, 120, 30);
  p.drawLine(120, 30, 200, 60);
  p.drawLine(200, 60, 300, 35);
  p.setPen(QColor(255, 255, 255));
  QFont f = p.font();
  f.setPointSize(16);
  f.setBold(true);
  p.setFont(f);
  p.drawText(QRect(0, 0, 360, 90), Qt::AlignRight | Qt::AlignBottom, "plotdesk ");
  return pm;
}
}  // namespace

ModeChooserWidget::ModeChooserWidget(QWidget* parent) : QDialog(parent) {
  using D = ModeChooserDialog;
  auto* root = new QVBoxLayout(this);
  auto* picture = new QLabel(this);
  picture->setPixmap(bannerPicture());
  picture->setAlignment(Qt::AlignCenter);
  root->addWidget(picture);
  controls_[D::kPicture] = picture;

  auto* group = new QGroupBox(this);
  auto* gl = new QHBoxLayout(group);
  auto* connectLabel = new QLabel("Connect Type:", group);
  auto* m3 = new QRadioButton("M3", group);
  auto* ic = new QRadioButton("IC", group);
  auto* modbus = new QRadioButton("Modbus", group);
  auto* ipLabel = new QLabel("Machine IP:", group);
  auto* ipEdit = new QLineEdit(group);
  for (QWidget* w : std::initializer_list<QWidget*>{connectLabel, m3, ic, modbus, ipLabel, ipEdit}) gl->addWidget(w);
  root->addWidget(group);
  controls_[D::kConnectGroup] = group;
  controls_[D::kConnectLabel] = connectLabel;
  controls_[D::kRadioM3] = m3;
  controls_[D::kRadioIC] = ic;
  controls_[D::kRadioModbus] = modbus;
  controls_[D::kIpLabel] = ipLabel;
  controls_[D::kIpEdit] = ipEdit;

  auto* buttons = new QHBoxLayout();
  const std::pair<int, const char*> defs[] = {
      {D::kServer, "Server"}, {D::kClient, "Client"}, {D::kControl, "Control"},
      {D::kDemo, "Demo"},     {D::kClose, "Close"}};
  for (auto [id, text] : defs) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(QString("button%1").arg(id));
    buttons->addWidget(b);
    controls_[id] = b;
    connect(b, &QPushButton::clicked, this, [this, id = id] {
      if (logic_) logic_->onButton(id);
    });
  }
  root->addLayout(buttons);
  auto* notice = new QLabel(D::kNotice, this);
  notice->setWordWrap(true);
  root->addWidget(notice);
}

QWidget* ModeChooserWidget::control(int id) const {
  auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

void ModeChooserWidget::setTitle(const std::string& title) { setWindowTitle(QString::fromStdString(title)); }

void ModeChooserWidget::setText(int controlId, const std::string& text) {
  if (auto* e = qobject_cast<QLineEdit*>(control(controlId))) e->setText(QString::fromStdString(text));
  else if (auto* l = qobject_cast<QLabel*>(control(controlId))) l->setText(QString::fromStdString(text));
}

void ModeChooserWidget::setChecked(int controlId, bool checked) {
  if (auto* r = qobject_cast<QRadioButton*>(control(controlId))) r->setChecked(checked);
}

void ModeChooserWidget::setEnabled(int controlId, bool enabled) {
  if (QWidget* w = control(controlId)) w->setEnabled(enabled);
}

void ModeChooserWidget::showMessage(const std::string& text, const std::string& caption) {
  QMessageBox::critical(this, QString::fromStdString(caption), QString::fromStdString(text));
}

void ModeChooserWidget::close(bool accepted) {
  if (accepted) accept();
  else reject();
}

std::optional<int> runModeChooser(SettingsStore& store) {
  ModeChooserWidget widget;
  ModeChooserDialog logic(store, widget, programVersionText());
  widget.attach(&logic);
  logic.init();
  widget.exec();
  if (auto m = logic.chosen()) return static_cast<int>(*m);
  return std::nullopt;
}

}  // namespace plotdesk
