#pragma once
// A private folder for one test, removed afterwards, and small file helpers.
#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/files.h"

namespace plotdesk::testing_support {

class TempFolder {
 public:
  TempFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string tmpl = std::string(tmp ? tmp : "/tmp") + "/plotdesk-w-XXXXXX";
    if (mkdtemp(tmpl.data())) path_ = tmpl;
  }
  ~TempFolder() {
    if (!path_.empty()) (void)deleteTree(path_);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& path() const { return path_; }
  std::string at(const std::string& relative) const { return joinPath(path_, relative); }

 private:
  std::string path_;
};

inline void writeText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

}  // namespace plotdesk::testing_support
