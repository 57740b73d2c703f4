#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>

namespace plotdesk {
namespace {

std::string sysError(const std::string& what, const std::string& path) {
  return what + " '" + path + "': " + std::strerror(errno);
}

bool writeAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

std::string tempNameBeside(const std::string& path) {
  static thread_local std::mt19937_64 rng{std::random_device{}()};
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, ".tmp%06x", static_cast<unsigned>(rng() & 0xffffff));
  std::string dir(folderPart(path));
  std::string name(fileNamePart(path));
  // Keep the temporary name within the 255-byte name limit.
  if (name.size() > 200) name.resize(200);
  return dir + "." + name + suffix;
}

Status fsyncFolderOf(const std::string& path) {
  std::string dir(folderPart(path));
  if (dir.empty()) dir = ".";
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return fail(sysError("cannot open folder", dir));
  ::fsync(fd);
  ::close(fd);
  return {};
}

}  // namespace

bool folderExists(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool fileExists(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

Status createFolder(const std::string& path) {
  if (path.empty()) return fail("cannot create a folder with an empty name");
  std::string partial;
  size_t pos = 0;
  while (pos != std::string::npos) {
    size_t next = path.find('/', pos + 1);
    partial = path.substr(0, next);
    pos = next;
    if (partial.empty() || partial == "/") continue;
    if (::mkdir(partial.c_str(), 0777) != 0 && errno != EEXIST) {
      return fail(sysError("cannot create folder", partial));
    }
  }
  if (!folderExists(path)) return fail("cannot create folder '" + path + "': a file is in the way");
  return {};
}

Result<std::string> readFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return fail(sysError("cannot open", path));
  std::string out;
  struct stat st{};
  if (::fstat(fd, &st) == 0 && st.st_size > 0) out.reserve(static_cast<size_t>(st.st_size));
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      std::string msg = sysError("cannot read", path);
      ::close(fd);
      return fail(msg);
    }
    if (n == 0) break;
    out.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  return out;
}

Status writeFileAtomic(const std::string& path, std::string_view content) {
  std::string tmp = tempNameBeside(path);
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return fail(sysError("cannot create", tmp));
  bool ok = writeAll(fd, content.data(), content.size()) && ::fsync(fd) == 0;
  std::string msg = ok ? "" : sysError("cannot write", tmp);
  if (::close(fd) != 0 && ok) {
    ok = false;
    msg = sysError("cannot close", tmp);
  }
  if (ok && ::rename(tmp.c_str(), path.c_str()) != 0) {
    ok = false;
    msg = sysError("cannot rename into", path);
  }
  if (!ok) {
    ::unlink(tmp.c_str());
    return fail(msg);
  }
  return fsyncFolderOf(path);
}

Status copyFile(const std::string& from, const std::string& to) {
  int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return fail(sysError("cannot open", from));
  std::string tmp = tempNameBeside(to);
  int out = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (out < 0) {
    std::string msg = sysError("cannot create", tmp);
    ::close(in);
    return fail(msg);
  }
  bool ok = true;
  std::string msg;
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(in, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) { ok = false; msg = sysError("cannot read", from); break; }
    if (n == 0) break;
    if (!writeAll(out, buf, static_cast<size_t>(n))) { ok = false; msg = sysError("cannot write", tmp); break; }
  }
  ::close(in);
  if (ok && ::fsync(out) != 0) { ok = false; msg = sysError("cannot flush", tmp); }
  if (::close(out) != 0 && ok) { ok = false; msg = sysError("cannot close", tmp); }
  if (ok && ::rename(tmp.c_str(), to.c_str()) != 0) { ok = false; msg = sysError("cannot rename into", to); }
  if (!ok) {
    ::unlink(tmp.c_str());
    return fail(msg);
  }
  return {};
}

Status moveReplace(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) == 0) return {};
  if (errno != EXDEV) return fail(sysError("cannot move '" + from + "' to", to));
  // Another file system: the source goes only after the copy is safe.
  Status copied = copyFile(from, to);
  if (!copied) return copied;
  if (Status s = fsyncFolderOf(to); !s) return s;
  if (::unlink(from.c_str()) != 0) return fail(sysError("moved, but cannot remove the source", from));
  return {};
}

Status deleteFile(const std::string& path) {
  if (::unlink(path.c_str()) != 0) return fail(sysError("cannot delete", path));
  return {};
}

Status deleteTree(const std::string& path) {
  struct stat st{};
  if (::lstat(path.c_str(), &st) != 0) return fail(sysError("cannot find", path));
  if (S_ISDIR(st.st_mode)) {
    DIR* d = ::opendir(path.c_str());
    if (!d) return fail(sysError("cannot open folder", path));
    while (dirent* e = ::readdir(d)) {
      if (!std::strcmp(e->d_name, ".") || !std::strcmp(e->d_name, "..")) continue;
      if (Status s = deleteTree(joinPath(path, e->d_name)); !s) {
        ::closedir(d);
        return s;
      }
    }
    ::closedir(d);
    if (::rmdir(path.c_str()) != 0) return fail(sysError("cannot remove folder", path));
    return {};
  }
  return deleteFile(path);
}

Result<long long> fileSize(const std::string& path) {
  struct stat st{};
  if (::stat(path.c_str(), &st) != 0) return fail(sysError("cannot read size of", path));
  return static_cast<long long>(st.st_size);
}

namespace {
Status scanInto(const std::string& folder, const std::string& prefix, bool recursive,
                std::vector<FolderEntry>& out) {
  DIR* d = ::opendir(folder.c_str());
  if (!d) return fail(sysError("cannot open folder", folder));
  std::vector<std::pair<std::string, bool>> names;
  while (dirent* e = ::readdir(d)) {
    if (!std::strcmp(e->d_name, ".") || !std::strcmp(e->d_name, "..")) continue;
    names.emplace_back(e->d_name, folderExists(joinPath(folder, e->d_name)));
  }
  ::closedir(d);
  std::sort(names.begin(), names.end());
  for (auto& [name, isFolder] : names) {
    out.push_back({prefix + "/" + name, isFolder});
    if (isFolder && recursive) {
      if (Status s = scanInto(joinPath(folder, name), prefix + "/" + name, true, out); !s) return s;
    }
  }
  return {};
}
}  // namespace

Result<std::vector<FolderEntry>> scanFolder(const std::string& folder, bool recursive) {
  std::vector<FolderEntry> out;
  if (Status s = scanInto(folder, "", recursive, out); !s) return fail(s.error());
  return out;
}

std::string joinPath(std::string_view folder, std::string_view name) {
  std::string out(folder);
  while (!out.empty() && out.back() == '/' && out.size() > 1) out.pop_back();
  size_t skip = 0;
  while (skip < name.size() && name[skip] == '/') ++skip;
  if (out != "/") out += '/';
  out.append(name.substr(skip));
  return out;
}

std::string withTrailingSlash(std::string_view folder) {
  std::string out(folder);
  if (out.empty() || out.back() != '/') out += '/';
  return out;
}

std::string_view fileNamePart(std::string_view path) {
  size_t p = path.rfind('/');
  return p == std::string_view::npos ? path : path.substr(p + 1);
}

std::string_view folderPart(std::string_view path) {
  size_t p = path.rfind('/');
  return p == std::string_view::npos ? std::string_view{} : path.substr(0, p + 1);
}

std::string_view extensionOf(std::string_view path) {
  std::string_view name = fileNamePart(path);
  size_t p = name.rfind('.');
  return p == std::string_view::npos ? std::string_view{} : name.substr(p + 1);
}

}  // namespace plotdesk
