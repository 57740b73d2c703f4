// plotdesk-machine: a cutter simulator to try plotdesk without a machine.
#include <signal.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/numbers.h"
#include "tools/machine_sim/machine_sim.h"

using namespace plotdesk;

namespace {

const char* kUsage =
    "usage: plotdesk-machine [options]\n"
    "  --address A        listen address (default 127.0.0.1)\n"
    "  --port P           TCP port (default 0: any free port)\n"
    "  --port-file FILE   write the port number into FILE once listening\n"
    "  --jobs DIR         write each received job into DIR\n"
    "  --cut-ms N         the machine cuts each job for N ms (state query: cutting)\n"
    "  --old-mode         acknowledge no data blocks (old program mode)\n"
    "  --serial           receive on a pseudo terminal instead (prints its path)\n"
    "  --idle-ms N        serial: a job ends after N ms without data (default 500)\n"
    "faults:\n"
    "  --refuse-start     refuse every start command\n"
    "  --drop-after N     close the connection when data block N has arrived\n"
    "  --never-ack        never acknowledge data blocks\n"
    "  --split-state      send state replies in two TCP segments\n"
    "  --garbage          answer commands and queries with junk\n";

bool number(const std::string& text, int& out) {
  size_t used = 0;
  out = parseInt(text, &used);
  return used > 0 && used == text.size() && out >= 0;
}

}  // namespace

int main(int argc, char** argv) {
  MachineSimOptions opt;
  bool serial = false;
  int idleMs = 500;
  std::string portFile;
  std::vector<std::string> args(argv + 1, argv + argc);
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) return false;
      out = args[++i];
      return true;
    };
    std::string v;
    int n = 0;
    if (a == "--address" && value(v)) {
      opt.address = v;
    } else if (a == "--port" && value(v) && number(v, n) && n <= 65535) {
      opt.port = n;
    } else if (a == "--port-file" && value(v)) {
      portFile = v;
    } else if (a == "--jobs" && value(v)) {
      opt.jobFolder = v;
    } else if (a == "--cut-ms" && value(v) && number(v, n)) {
      opt.cuttingTime = std::chrono::milliseconds(n);
    } else if (a == "--idle-ms" && value(v) && number(v, n) && n > 0) {
      idleMs = n;
    } else if (a == "--drop-after" && value(v) && number(v, n) && n > 0) {
      opt.dropAfterBlocks = n;
    } else if (a == "--old-mode") {
      opt.oldProgramMode = true;
    } else if (a == "--serial") {
      serial = true;
    } else if (a == "--refuse-start") {
      opt.refuseStart = true;
    } else if (a == "--never-ack") {
      opt.neverAcknowledge = true;
    } else if (a == "--split-state") {
      opt.splitStateReply = true;
    } else if (a == "--garbage") {
      opt.garbageAnswers = true;
    } else if (a == "--help" || a == "-h") {
      std::cout << kUsage;
      return 0;
    } else {
      std::cerr << "plotdesk-machine: bad argument " << a << "\n" << kUsage;
      return 2;
    }
  }

  // Wait for the stop signal on this thread; the workers never see it.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  std::unique_ptr<MachineSimulator> machine;
  std::unique_ptr<PtySink> pty;
  if (serial) {
    pty = std::make_unique<PtySink>(opt.jobFolder, std::chrono::milliseconds(idleMs), &std::cout);
    if (Status s = pty->start(); !s) {
      std::cerr << "plotdesk-machine: " << s.error() << "\n";
      return 1;
    }
    std::cout << "plotdesk-machine: serial port " << pty->devicePath() << std::endl;
  } else {
    machine = std::make_unique<MachineSimulator>(opt, realClock(), &std::cout);
    if (Status s = machine->start(); !s) {
      std::cerr << "plotdesk-machine: " << s.error() << "\n";
      return 1;
    }
    if (!portFile.empty()) {
      if (Status s = writeFileAtomic(portFile, formatInt(machine->port()) + "\n"); !s) {
        std::cerr << "plotdesk-machine: " << s.error() << "\n";
        return 1;
      }
    }
    std::cout << "plotdesk-machine: listening on " << opt.address << ":" << machine->port() << std::endl;
  }
  int sig = 0;
  sigwait(&stopSignals, &sig);
  if (machine) machine->stop();
  if (pty) pty->stop();
  std::cout << "plotdesk-machine: stopped" << std::endl;
  return 0;
}
