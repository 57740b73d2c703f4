#include "platform/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace plotdesk {

SingleInstance::~SingleInstance() { release(); }

std::string SingleInstance::lockPath(const std::string& programName) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::string dir = (runtime && *runtime) ? runtime : "/tmp";
  return dir + "/" + programName + ".lock";
}

Result<bool> SingleInstance::acquire(const std::string& programName) {
  if (fd_ >= 0) return true;
  std::string path = lockPath(programName);
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return fail("cannot open the lock file '" + path + "': " + std::strerror(errno));
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int err = errno;
    ::close(fd);
    if (err == EWOULDBLOCK) return false;
    return fail("cannot lock '" + path + "': " + std::strerror(err));
  }
  fd_ = fd;
  return true;
}

void SingleInstance::release() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

Status restartProgram(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  ::execv("/proc/self/exe", argv.data());
  return fail(std::string("cannot restart the program: ") + std::strerror(errno));
}

}  // namespace plotdesk
