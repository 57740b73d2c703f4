#pragma once
// The event loop interface on top of the Qt event loop, so window logic runs
// unchanged under the Qt views.
#include <QObject>
#include <map>
#include <memory>

#include "platform/event_loop.h"

class QTimer;
class QSocketNotifier;

namespace plotdesk {

class QtEventLoop final : public EventLoop {
 public:
  QtEventLoop();
  ~QtEventLoop() override;
  void post(Task task) override;
  void startTimer(int id, std::chrono::milliseconds period, Task fn) override;
  void stopTimer(int id) override;
  void watchReadable(int fd, Task fn) override;
  void unwatch(int fd) override;
  void quit(int code = 0) override;
  int run() override;

 private:
  std::unique_ptr<QObject> context_;  // receiver of posted calls, lives on the UI thread
  std::map<int, QTimer*> timers_;
  std::map<int, QSocketNotifier*> notifiers_;
};

}  // namespace plotdesk
