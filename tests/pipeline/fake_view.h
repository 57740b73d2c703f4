#pragma once
// A window stand-in that logs what the pipeline shows.
#include <string>
#include <vector>

#include "pipeline/services.h"

namespace plotdesk::testing_support {

class FakeView : public PipelineView {
 public:
  void setStatusLine(StatusLine line, const std::string& text) override {
    log.push_back(std::string(line == StatusLine::Dispose ? "dispose: " : "print: ") + text);
  }
  void setStatusBar(int part, const std::string& text) override {
    bar[part] = text;
    log.push_back("bar" + std::to_string(part) + ": " + text);
  }
  void listStatusChanged(PipelineList) override {}
  void printPauseChanged(bool paused) override { log.push_back(paused ? "paused" : "resumed"); }
  void disposeProgress(int percent) override { disposeProgressCalls.push_back(percent); }
  void printProgress(int percent) override { printProgressCalls.push_back(percent); }
  void showMessage(int textId, int) override { log.push_back("message " + std::to_string(textId)); }

  int count(const std::string& prefix) const {
    int n = 0;
    for (const auto& l : log) n += l.rfind(prefix, 0) == 0;
    return n;
  }

  std::vector<std::string> log;
  std::string bar[4];
  std::vector<int> disposeProgressCalls, printProgressCalls;
};

}  // namespace plotdesk::testing_support
