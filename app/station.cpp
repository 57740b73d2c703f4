#include "app/station.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include "app/station_services.h"
#include "platform/event_loop.h"
#include "ui/console_view.h"
#include "ui/main_window.h"

namespace plotdesk {

namespace {
// SIGINT and SIGTERM arrive as a readable descriptor on the event loop, so
// shut-down runs on the loop thread like any other command.
class SignalChannel {
 public:
  SignalChannel() {
    sigemptyset(&mask_);
    sigaddset(&mask_, SIGINT);
    sigaddset(&mask_, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &mask_, &old_);
    fd_ = signalfd(-1, &mask_, SFD_CLOEXEC | SFD_NONBLOCK);
  }
  ~SignalChannel() {
    if (fd_ >= 0) close(fd_);
    pthread_sigmask(SIG_SETMASK, &old_, nullptr);
  }
  int fd() const { return fd_; }
  int take() {
    signalfd_siginfo info{};
    return read(fd_, &info, sizeof info) == sizeof info ? static_cast<int>(info.ssi_signo) : 0;
  }

 private:
  sigset_t mask_{}, old_{};
  int fd_ = -1;
};
}  // namespace

int runStationHeadless(const WindowChoice& choice, const std::string& programFolder, std::ostream& out,
                       std::ostream& err) {
  SignalChannel signals;  // before any worker thread starts, so they inherit the mask
  if (signals.fd() < 0) {
    err << "plotdesk: cannot receive stop signals\n";
    return 1;
  }
  Clock& clock = realClock();
  HeadlessEventLoop loop(clock);
  ConsoleMainView view(out, clock, loop);
  EngineDisposeFactory engines(programFolder);
  MachineLinkFactory links(programFolder, clock);
  MainWindow window({loop, clock, programFolder, choice.live, engines, links, nullptr, nullptr}, view);
  loop.watchReadable(signals.fd(), [&] {
    int sig = signals.take();
    if (sig == 0) return;
    out << "plotdesk: " << (sig == SIGINT ? "interrupted" : "terminated") << ", shutting down" << std::endl;
    loop.unwatch(signals.fd());
    window.close();
  });
  window.open();
  // Announced once the folders exist and the watcher runs, so a file dropped now is seen.
  out << "plotdesk: " << (choice.live ? "server" : "demo") << " station in " << programFolder
      << " (stop with Ctrl-C)" << std::endl;
  int code = loop.run();
  window.close();
  out << "plotdesk: stopped" << std::endl;
  return code;
}

}  // namespace plotdesk
