#pragma once
// The TCP link to networked cutters: one connection per operation.
//
//   link command c (0 start, 1 end, 2 error): 5 bytes equal to c; the
//     machine answers one byte, 0x01 accepts.
//   file data: blocks of at most 1024 bytes, each answered by one byte of any
//     value unless the machine runs the old program (no acknowledgements).
//   state query: "?VR(580)" and a zero byte; the reply echoes the query and
//     follows it with a number, 0 idle, 1 cutting.
//   file-over notice: "FILEOVER" and a zero byte; the reply starts with '1'.
#include <optional>
#include <string>
#include <string_view>

#include "links/machine_link.h"
#include "links/timed_socket.h"

namespace plotdesk {

namespace tcp_text {
inline constexpr const char* kNetUsing = "Error: Machine net Using......";
inline constexpr const char* kCreateSocketFail = "Error: Create Socket fail!";
inline constexpr const char* kConnectFail = "Connect machine fail!";
inline constexpr const char* kCutRunning = "Error: Machine Cut Running... ...";
inline constexpr const char* kEndCommandFail = "Send file transfer end-command fail.";
inline constexpr const char* kErrorCommandFail = "Send file transfer Error-command fail.";
inline constexpr const char* kCancelled = "Error: Zuda Printing be Canceled whit User!";
inline constexpr const char* kFileNull = "Error: Print File is Null!";
inline constexpr const char* kPrintOk = "Print File OK.";
inline constexpr const char* kOtherError = "Other Error!";
}  // namespace tcp_text

// Machine state query outcomes.
enum MachineState : int { kStateError = 0, kStateIdle = 1, kStateBusy = 2 };

// The number that follows the echoed query in a state reply, truncated
// towards zero; nullopt when the echo or the number is missing.
std::optional<int> extractStateNumber(std::string_view reply);

class TcpMachineLink final : public MachineLink {
 public:
  static constexpr size_t kBlockSize = 1024;

  // The ordinary form: machine address and port from the settings.
  TcpMachineLink(LinkOwner& owner, std::string path, const LinkContext& context = {});
  // Ownerless form at a given address (no progress, cancel never set).
  TcpMachineLink(std::string address, int port, std::string path, const LinkContext& context = {});

  bool transfer() override;
  // kStateIdle, kStateBusy (also: machine unreachable) or kStateError.
  int queryMachineState();
  bool fileOverNotice();

  bool resultByte() const { return result_; }
  const std::string& address() const { return address_; }
  int port() const { return port_; }
  int timeLimitMs() const { return timeLimitMs_; }
  bool oldProgramMode() const { return oldProgramMode_; }

 private:
  void readSettings(const LinkContext& context);
  bool cancelled() const { return owner_.cancelFlag().load(); }
  bool connect();
  bool linkCommand(int c);
  enum class DataEnd { ALL_SENT, SEND_FAILED, EMPTY };
  DataEnd sendFile();
  void pause(int ms) { clock_.sleepFor(Clock::Ms(ms)); }

  NullLinkOwner nullOwner_;
  LinkOwner& owner_;
  Clock& clock_;
  std::string path_;
  // Until the settings are read: a private address, port 23, 2000 ms limit.
  std::string address_ = "192.168.1.100";
  int port_ = 23;
  int timeLimitMs_ = 2000;
  bool oldProgramMode_ = false;
  bool result_ = false;
  TimedSocket socket_;
};

}  // namespace plotdesk
