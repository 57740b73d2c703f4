#pragma once
// What a folder watcher reports and the interface that receives it.
#include <string>

namespace plotdesk {

// The kinds of change a watcher reports; the numbers are part of the interface.
enum class ChangeKind : int {
  Added = 1,
  Removed = 2,
  Modified = 3,
  NameChanged = 4,
  ReadError = 5,
  WatchStarted = 6,
  WatchStopped = 7,
};

// Which changes a watch asks for (a watch with none of them is refused).
namespace notify {
inline constexpr unsigned FileName = 0x001;
inline constexpr unsigned DirName = 0x002;
inline constexpr unsigned Attributes = 0x004;
inline constexpr unsigned Size = 0x008;
inline constexpr unsigned LastWrite = 0x010;
inline constexpr unsigned LastAccess = 0x020;
inline constexpr unsigned Creation = 0x040;
inline constexpr unsigned Security = 0x100;
inline constexpr unsigned All = FileName | DirName | Attributes | Size | LastWrite | LastAccess |
                                Creation | Security;
}  // namespace notify

// How a watcher tests a change before handing it to the handler.
namespace filter_flag {
inline constexpr int NoPatterns = 0x01;      // skip the include/exclude patterns
inline constexpr int RelativePath = 0x04;    // test the path relative to the watched folder
inline constexpr int FileNameOnly = 0x08;    // test the text after the last '/'
inline constexpr int HandlerFirst = 0x10;    // ask the handler's filter before the patterns
inline constexpr int NeverAskHandler = 0x20;
inline constexpr int NoStartedNotice = 0x40;
inline constexpr int NoStoppedNotice = 0x80;
inline constexpr int Default = FileNameOnly;
}  // namespace filter_flag

// One change as it travels from the watcher thread to the handler.
struct ChangeNotice {
  ChangeKind kind = ChangeKind::Added;
  std::string path;     // full path; the folder for kinds 5 to 7
  std::string newPath;  // name changes only
  int code = 0;         // error or status code for kinds 5 and 6
  size_t prefixLength = 0;  // length of "folder/" for relative-path tests

  bool operator==(const ChangeNotice&) const = default;
};

// Receives the changes of a watched folder on the event loop's thread, so it
// may touch user-interface state directly. Every operation does nothing by
// default; `filter` accepts everything by default.
class ChangeHandler {
 public:
  virtual ~ChangeHandler() = default;
  virtual void added(const std::string& /*path*/) {}
  virtual void removed(const std::string& /*path*/) {}
  virtual void nameChanged(const std::string& /*oldPath*/, const std::string& /*newPath*/) {}
  virtual void modified(const std::string& /*path*/) {}
  virtual void readError(int /*code*/, const std::string& /*folder*/) {}
  virtual void watchStarted(int /*status*/, const std::string& /*folder*/) {}
  virtual void watchStopped(const std::string& /*folder*/) {}
  virtual bool filter(ChangeKind /*kind*/, const std::string& /*path*/, const std::string& /*newPath*/) {
    return true;
  }
};

}  // namespace plotdesk
