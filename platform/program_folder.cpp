#include "platform/program_folder.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/files.h"

#ifndef PLOTDESK_DATA_INSTALL_DIR
#define PLOTDESK_DATA_INSTALL_DIR "/usr/local/share/plotdesk"
#endif
#ifndef PLOTDESK_SOURCE_DATA_DIR
#define PLOTDESK_SOURCE_DATA_DIR "data"
#endif

namespace plotdesk {

namespace {
std::string absolute(const std::string& p) {
  if (!p.empty() && p.front() == '/') return p;
  char buf[4096];
  if (::getcwd(buf, sizeof buf)) return joinPath(buf, p);
  return p;
}
}  // namespace

std::string resolveProgramFolder(const std::optional<std::string>& home) {
  if (home && !home->empty()) return withTrailingSlash(absolute(*home));
  if (const char* env = std::getenv("PLOTDESK_HOME"); env && *env) return withTrailingSlash(absolute(env));
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) return withTrailingSlash(joinPath(xdg, "plotdesk"));
  std::string userHome;
  if (const char* h = std::getenv("HOME"); h && *h) {
    userHome = h;
  } else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) {
    userHome = pw->pw_dir;
  } else {
    userHome = "/tmp";
  }
  return withTrailingSlash(joinPath(userHome, ".local/share/plotdesk"));
}

Result<std::string> prepareProgramFolder(const std::optional<std::string>& home) {
  std::string folder = resolveProgramFolder(home);
  if (Status s = createFolder(folder.substr(0, folder.size() - 1)); !s) return fail(s.error());
  return folder;
}

std::string dataFolder() {
  if (const char* env = std::getenv("PLOTDESK_DATA_DIR"); env && *env) return withTrailingSlash(env);
  if (folderExists(PLOTDESK_DATA_INSTALL_DIR)) return withTrailingSlash(PLOTDESK_DATA_INSTALL_DIR);
  return withTrailingSlash(PLOTDESK_SOURCE_DATA_DIR);
}

std::string findDataFile(const std::string& programFolder, const std::string& relative) {
  std::string local = joinPath(programFolder, relative);
  if (fileExists(local)) return local;
  return joinPath(dataFolder(), relative);
}

}  // namespace plotdesk
