#pragma once
// One running program per user: an flock held on a lock file for the life of
// the process.
#include <string>
#include <vector>

#include "platform/result.h"

namespace plotdesk {

class SingleInstance {
 public:
  SingleInstance() = default;
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // True when this process now holds the lock; false when another holds it.
  Result<bool> acquire(const std::string& programName);
  void release();
  bool held() const { return fd_ >= 0; }
  static std::string lockPath(const std::string& programName);

 private:
  int fd_ = -1;
};

// Replaces the process with a new run of the same program and arguments.
// Returns only on failure.
Status restartProgram(const std::vector<std::string>& args);

}  // namespace plotdesk
