#include "ui/qt/preview_widget.h"

#include <QMetaObject>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <algorithm>

namespace plotdesk {

PreviewWidget::PreviewWidget(PreviewModel& model, QWidget* parent) : QWidget(parent), model_(model) {
  setObjectName("Draw");
  setMinimumSize(120, 80);
  QPointer<PreviewWidget> self(this);
  // The model changes on worker threads; repaint on the UI thread.
  model_.setChangeNotice([self] {
    if (self) QMetaObject::invokeMethod(self.data(), [self] { if (self) self->update(); }, Qt::QueuedConnection);
  });
}

PreviewWidget::~PreviewWidget() { model_.setChangeNotice({}); }

void PreviewWidget::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), Qt::white);
  PreviewModel::Snapshot s = model_.snapshot();
  if (!s.extents.valid) return;
  const double margin = 6;
  double w = std::max(s.extents.maxX - s.extents.minX, 1e-9);
  double h = std::max(s.extents.maxY - s.extents.minY, 1e-9);
  double scale = std::min((width() - 2 * margin) / w, (height() - 2 * margin) / h);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(Qt::black, std::max(1.0, s.config.lineWidth / 30.0)));
  QPainterPath path;
  for (const auto& stroke : s.strokes) {
    for (size_t i = 0; i < stroke.size(); ++i) {
      QPointF pt(margin + (stroke[i][0] - s.extents.minX) * scale,
                 height() - margin - (stroke[i][1] - s.extents.minY) * scale);
      if (i == 0) path.moveTo(pt);
      else path.lineTo(pt);
    }
  }
  p.drawPath(path);
}

}  // namespace plotdesk
