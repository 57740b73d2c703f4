#pragma once
// Paints a PreviewModel; repaints when the model posts its change notice.
#include <QWidget>

#include "ui/preview.h"

namespace plotdesk {

class PreviewWidget final : public QWidget {
 public:
  explicit PreviewWidget(PreviewModel& model, QWidget* parent = nullptr);
  ~PreviewWidget() override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  PreviewModel& model_;
};

}  // namespace plotdesk
