#pragma once
// What the pipeline needs from the world around it: the dispose engine, the
// output links, the preview and the window. Each is a narrow interface so the
// pipeline can be driven by stand-ins.
#include <atomic>
#include <functional>
#include <memory>
#include <string>

namespace plotdesk {

// ---- Dispose engine ----------------------------------------------------

struct DisposeJob {
  std::string source;         // full path of the plot file
  std::string disposeFolder;  // where the engine writes one file per page
  std::string timestampName;  // "20110405_134501"
};

// What an engine may call while it works; all calls come from the dispose
// worker's thread.
class DisposeOwner {
 public:
  virtual ~DisposeOwner() = default;
  virtual void setProgress(int percent) = 0;  // dispose progress bar, 0..100
  // One item per output file written, in page order: full path, ';', and the
  // size text "%.2f * %.2f" in millimetres.
  virtual void addOutput(std::string item) = 0;
  // True when the program is shutting down; an engine may give up early.
  virtual bool stopRequested() const = 0;
};

class DisposeService {
 public:
  virtual ~DisposeService() = default;
  virtual bool dispose(const DisposeJob& job, DisposeOwner& owner) = 0;  // true on success
};

class DisposeFactory {
 public:
  virtual ~DisposeFactory() = default;
  // One engine per dispose, chosen by Split_AlignType (0: the older engine).
  virtual std::unique_ptr<DisposeService> create(int splitAlignType) = 0;
  // Converts the file's code page in place; false on failure.
  virtual bool convertFileCode(const std::string& path) = 0;
};

// ---- Output links ------------------------------------------------------

struct LinkJob {
  int transferType = 0;
  std::string path;
  long long size = 0;  // bytes
};

// The print worker's side of a transfer; both calls come from its thread.
class TransferOwner {
 public:
  virtual ~TransferOwner() = default;
  // Set by the window to ask for a stop. A link clears it when its transfer
  // starts and stops when it becomes set.
  virtual std::atomic<bool>& cancelFlag() = 0;
  virtual void setProgress(int percent) = 0;  // print progress bar, 0..100
};

class LinkService {
 public:
  virtual ~LinkService() = default;
  // Checked before anything is shown or sent (the FTP link asks the machine
  // whether it is idle). False is a failed send with message().
  virtual bool ready() { return true; }
  virtual bool transfer() = 0;  // blocking; true when the file reached the machine
  virtual std::string message() const = 0;
  // After a successful transfer with IC_CutState 1 (TCP and IC links): waits
  // until the machine has finished cutting, showing `status` in the print
  // status line. Returns the outcome and sets `message`.
  virtual bool waitForCutEnd(const std::function<void(const std::string&)>& /*status*/,
                             std::string& /*message*/) {
    return true;
  }
  // True when the failure must pause the print queue although the message is
  // none of the open failures (the old-mode IC link's status 3).
  virtual bool pausesQueue() const { return false; }
};

class LinkFactory {
 public:
  virtual ~LinkFactory() = default;
  // The link for job.transferType; nullptr when there is none (the send fails
  // with an empty message).
  virtual std::unique_ptr<LinkService> create(const LinkJob& job, TransferOwner& owner) = 0;
};

// ---- Preview -----------------------------------------------------------

// Called from the print worker's thread.
class PreviewSink {
 public:
  virtual ~PreviewSink() = default;
  virtual void show(const std::string& path) = 0;
  virtual void clear() = 0;
};

// ---- Window ------------------------------------------------------------

enum class PipelineList { Watcher, PrintQueue, Printed };
enum class StatusLine { Dispose, Print };  // statics 1171 and 1168

// The window side; every call comes on the event loop's thread.
class PipelineView {
 public:
  virtual ~PipelineView() = default;
  virtual void setStatusLine(StatusLine line, const std::string& text) = 0;
  virtual void setStatusBar(int part, const std::string& text) = 0;
  // "Update the list status": button enabling and the count in the status bar.
  virtual void listStatusChanged(PipelineList list) = 0;
  // The print queue paused or resumed (button 1019 reads "Continue"/"Pause").
  virtual void printPauseChanged(bool paused) = 0;
  virtual void disposeProgress(int percent) = 0;  // control 1015
  virtual void printProgress(int percent) = 0;    // control 1007
  // Message box with string `textId` and caption string `captionId`.
  virtual void showMessage(int textId, int captionId) = 0;
};

}  // namespace plotdesk
