#pragma once
// A private folder for one test, removed afterwards.
#include <cstdlib>
#include <string>

#include "platform/files.h"

namespace plotdesk::test {

class TempDir {
 public:
  explicit TempDir(const char* base = nullptr) {
    std::string root = base ? base : (std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp");
    std::string tmpl = root + "/plotdesk-test-XXXXXX";
    path_ = mkdtemp(tmpl.data()) ? tmpl : std::string();
  }
  ~TempDir() {
    if (!path_.empty()) (void)deleteTree(path_);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return joinPath(path_, name); }
  std::string slash() const { return path_ + "/"; }

 private:
  std::string path_;
};

}  // namespace plotdesk::test
