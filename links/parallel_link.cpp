#include "links/parallel_link.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>

#include "config/settings_store.h"
#include "platform/numbers.h"

namespace plotdesk {

namespace {
struct FileHandle {
  int fd = -1;
  ~FileHandle() {
    if (fd >= 0) ::close(fd);
  }
};
}  // namespace

std::vector<std::string> parallelDeviceCandidates(int parallelNo, const std::string& configuredDevice) {
  if (!configuredDevice.empty()) return {configuredDevice};
  std::string index = formatInt(parallelNo - 1);
  return {"/dev/lp" + index, "/dev/usb/lp" + index};
}

ParallelLink::ParallelLink(LinkOwner& owner, std::string path, long long /*fileSize*/, const LinkContext& context)
    : owner_(owner), clock_(context.clockRef()), path_(std::move(path)) {
  SettingsStore store = context.programFolder.empty() ? SettingsStore() : SettingsStore(context.programFolder);
  devices_ = parallelDeviceCandidates(store.Parallel_No(), store.Parallel_Device());
}

bool ParallelLink::transfer() {
  owner_.cancelFlag().store(false);
  owner_.setProgress(1);
  message_.clear();

  FileHandle device;
  for (const std::string& candidate : devices_) {
    // Append: a capture file named as the device collects jobs instead of
    // being overwritten; a real device ignores the flag.
    device.fd = ::open(candidate.c_str(), O_WRONLY | O_NOCTTY | O_APPEND | O_NONBLOCK | O_CLOEXEC);
    if (device.fd >= 0) break;
  }
  FileHandle file;
  bool ok = false;
  if (device.fd < 0) {
    message_ = link_text::kParallelOpenFail;
  } else if (file.fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC); file.fd < 0) {
    message_ = link_text::kOpenFileFail;
  } else {
    struct stat st {};
    const long long length = ::fstat(file.fd, &st) == 0 ? st.st_size : 0;
    std::array<char, 4096> block{};
    long long sent = 0;
    ok = true;
    while (ok && sent < length) {
      ssize_t n;
      do {
        n = ::read(file.fd, block.data(), static_cast<size_t>(std::min<long long>(block.size(), length - sent)));
      } while (n < 0 && errno == EINTR);
      if (n <= 0) {  // the file shrank or cannot be read
        message_ = link_text::transferFailed(std::min<long long>(block.size(), length - sent), 0);
        ok = false;
        break;
      }
      ssize_t written = 0;
      while (written < n) {
        // A printer that is off line holds the write; the operator's stop
        // must still free the worker.
        if (cancelled()) break;
        pollfd p{device.fd, POLLOUT, 0};
        if (::poll(&p, 1, 50) < 0 && errno != EINTR) break;
        ssize_t w = ::write(device.fd, block.data() + written, static_cast<size_t>(n - written));
        if (w > 0) {
          written += w;
        } else if (w < 0 && errno == EAGAIN) {
          // Printer drivers without poll support report ready while busy.
          clock_.sleepFor(Clock::Ms(10));
        } else if (w < 0 && errno != EINTR) {
          break;
        }
      }
      if (cancelled()) {
        message_ = link_text::kCancelledByUser;
        ok = false;
      } else if (written < n) {
        message_ = link_text::transferFailed(n, written);
        ok = false;
      } else {
        sent += n;
        owner_.setProgress(static_cast<int>(sent * 100 / length));
      }
    }
    // Wait until the device has taken everything (a no-op for most drivers).
    if (ok && ::fsync(device.fd) != 0 && errno != EINVAL && errno != EROFS) {
      message_ = link_text::transferFailed(length, sent);
      ok = false;
    }
  }
  owner_.setProgress(0);
  return ok;
}

}  // namespace plotdesk
