#pragma once
// A stand-in for a networked cutter and for a serial cutter, so plotdesk can
// be tried and tested without a machine.
//
// MachineSimulator plays the machine side of the TCP link on one listening
// socket, one connection at a time: it answers link commands, acknowledges
// data blocks, answers state queries with idle or cutting (a job "cuts" for
// a set time after its end command), answers file-over notices, keeps every
// finished job (and writes it into a folder when one is set) and logs one
// line per exchange. Faults can be switched on to see how plotdesk copes.
//
// PtySink offers a pseudo terminal whose slave side a serial link writes to;
// it collects the bytes and cuts them into jobs at pauses in the stream.
#include <atomic>
#include <chrono>
#include <mutex>
#include <ostream>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/result.h"

namespace plotdesk {

struct MachineSimOptions {
  std::string address = "127.0.0.1";
  int port = 0;                              // 0: any free port
  std::string jobFolder;                     // empty: jobs stay in memory
  bool oldProgramMode = false;               // no block acknowledgements
  std::chrono::milliseconds cuttingTime{0};  // per job, after its end command
  // Faults.
  bool refuseStart = false;    // answer every start command with a refusal
  int dropAfterBlocks = -1;    // close the connection when this block has arrived
  bool neverAcknowledge = false;
  bool splitStateReply = false;  // send the state reply in two TCP segments
  bool garbageAnswers = false;   // answer commands and queries with junk
};

struct SimJob {
  std::string data;
  int blocks = 0;     // data reads acknowledged (or counted, without acknowledgements)
  std::string file;   // where it was written; empty when kept in memory only
};

class MachineSimulator {
 public:
  // `clock` measures the cutting time; `log` (optional) gets the exchange lines.
  explicit MachineSimulator(MachineSimOptions options, Clock& clock = realClock(), std::ostream* log = nullptr);
  ~MachineSimulator();
  MachineSimulator(const MachineSimulator&) = delete;
  MachineSimulator& operator=(const MachineSimulator&) = delete;

  Status start();
  void stop();
  int port() const { return port_.load(); }

  void setOptions(const MachineSimOptions& options);  // faults can change while running
  std::vector<SimJob> jobs() const;                   // finished jobs, in order
  std::vector<std::string> log() const;
  // Bytes of data received in every connection, finished or not.
  long long dataBytesReceived() const;
  int startCommands() const;
  int errorCommands() const;
  int stateQueries() const;

 private:
  struct Connection;
  void acceptLoop(std::stop_token stop);
  void serve(int fd, std::stop_token stop);
  bool handleCommandBytes(Connection& c);
  void receiveData(Connection& c, const std::string& chunk, const MachineSimOptions& opt, const std::string& tag);
  void note(const std::string& line);
  MachineSimOptions options() const;
  bool cutting();

  Clock& clock_;
  std::ostream* logStream_;
  int listenFd_ = -1;
  std::atomic<int> port_{0};
  mutable std::mutex mu_;
  MachineSimOptions options_;
  std::vector<SimJob> jobs_;
  std::vector<std::string> log_;
  long long dataBytes_ = 0;
  int startCommands_ = 0;
  int errorCommands_ = 0;
  int stateQueries_ = 0;
  int connections_ = 0;
  std::chrono::steady_clock::time_point cutEnd_{};
  std::jthread thread_;
};

class PtySink {
 public:
  // A job ends after `idleGap` without data.
  explicit PtySink(std::string jobFolder = {}, std::chrono::milliseconds idleGap = std::chrono::milliseconds(500),
                   std::ostream* log = nullptr);
  ~PtySink();
  PtySink(const PtySink&) = delete;
  PtySink& operator=(const PtySink&) = delete;

  Status start();
  void stop();
  const std::string& devicePath() const { return slavePath_; }
  std::string received() const;       // every byte so far
  std::vector<std::string> jobs() const;  // finished jobs

 private:
  void readLoop(std::stop_token stop);
  void finishJob();

  std::string jobFolder_;
  std::chrono::milliseconds idleGap_;
  std::ostream* logStream_;
  int master_ = -1;
  int slave_ = -1;
  std::string slavePath_;
  mutable std::mutex mu_;
  std::string received_;
  std::string current_;
  std::vector<std::string> jobs_;
  std::jthread thread_;
};

}  // namespace plotdesk
