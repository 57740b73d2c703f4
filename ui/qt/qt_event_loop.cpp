#include "ui/qt/qt_event_loop.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QSocketNotifier>
#include <QTimer>

namespace plotdesk {

QtEventLoop::QtEventLoop() : context_(std::make_unique<QObject>()) {}

QtEventLoop::~QtEventLoop() {
  for (auto& [id, t] : timers_) delete t;
  for (auto& [fd, n] : notifiers_) delete n;
}

void QtEventLoop::post(Task task) {
  // Queued calls to one receiver run in the order they were posted.
  QMetaObject::invokeMethod(context_.get(), [t = std::move(task)] { t(); }, Qt::QueuedConnection);
}

void QtEventLoop::startTimer(int id, std::chrono::milliseconds period, Task fn) {
  stopTimer(id);
  auto* timer = new QTimer();
  QObject::connect(timer, &QTimer::timeout, context_.get(), [f = std::move(fn)] { f(); });
  timer->start(static_cast<int>(period.count()));
  timers_[id] = timer;
}

void QtEventLoop::stopTimer(int id) {
  if (auto it = timers_.find(id); it != timers_.end()) {
    it->second->stop();
    it->second->deleteLater();
    timers_.erase(it);
  }
}

void QtEventLoop::watchReadable(int fd, Task fn) {
  unwatch(fd);
  auto* n = new QSocketNotifier(fd, QSocketNotifier::Read);
  QObject::connect(n, &QSocketNotifier::activated, context_.get(), [f = std::move(fn)] { f(); });
  notifiers_[fd] = n;
}

void QtEventLoop::unwatch(int fd) {
  if (auto it = notifiers_.find(fd); it != notifiers_.end()) {
    it->second->setEnabled(false);
    it->second->deleteLater();
    notifiers_.erase(it);
  }
}

void QtEventLoop::quit(int code) {
  QMetaObject::invokeMethod(context_.get(), [code] { QCoreApplication::exit(code); }, Qt::QueuedConnection);
}

int QtEventLoop::run() { return QCoreApplication::exec(); }

}  // namespace plotdesk
