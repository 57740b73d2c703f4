#pragma once
// The shared private test folder, with the names the watcher and pipeline
// tests use, and a small file helper.
#include <fstream>
#include <string>

#include "tests/support/temp_dir.h"

namespace plotdesk::testing_support {

class TempFolder : public test::TempDir {
 public:
  std::string at(const std::string& relative) const { return file(relative); }
};

inline void writeText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

}  // namespace plotdesk::testing_support
