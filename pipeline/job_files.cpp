#include "pipeline/job_files.h"

#include <cctype>

#include "platform/files.h"
#include "pipeline/pipeline_texts.h"
#include "watcher/change_filter.h"

namespace plotdesk {
namespace {

std::string upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

std::string trimmed(std::string_view text) {
  size_t b = text.find_first_not_of(' ');
  if (b == std::string_view::npos) return {};
  size_t e = text.find_last_not_of(' ');
  return std::string(text.substr(b, e - b + 1));
}

}  // namespace

bool isJobName(std::string_view path, std::string_view filter) {
  const std::string name = upper(fileNamePart(path));
  if (name.empty() || name == pipeline_text::kMarkerFile) return false;
  size_t start = 0;
  while (start <= filter.size()) {
    size_t end = filter.find(';', start);
    if (end == std::string_view::npos) end = filter.size();
    std::string entry = upper(trimmed(filter.substr(start, end - start)));
    if (entry == "*.*") return true;
    if (!entry.empty() && wildcardMatch(entry, name)) return true;
    start = end + 1;
  }
  return false;
}

namespace {
void scanInto(const std::string& folder, const std::string& prefix, std::string_view filter, bool subFolders,
              std::vector<std::string>& out) {
  auto entries = scanFolder(folder, false);
  if (!entries) return;
  for (const auto& e : *entries) {
    if (e.isFolder) {
      if (subFolders && fileNamePart(e.relative).substr(0, 1) != ".") {
        scanInto(joinPath(folder, e.relative), prefix + e.relative, filter, true, out);
      }
    } else if (isJobName(e.relative, filter)) {
      out.push_back(prefix + e.relative);
    }
  }
}
}  // namespace

std::vector<std::string> scanJobs(const std::string& folder, std::string_view filter, bool subFolders) {
  std::vector<std::string> out;
  scanInto(folder, "", filter, subFolders, out);
  return out;
}

std::string backupSourceName(std::string_view sourcePath, std::string_view timestamp) {
  std::string_view name = fileNamePart(sourcePath);
  size_t dot = name.rfind('.');
  std::string_view base = dot == std::string_view::npos ? name : name.substr(0, dot);
  std::string_view ext = dot == std::string_view::npos ? std::string_view{} : name.substr(dot);
  return "/" + std::string(base) + "_" + std::string(timestamp) + std::string(ext);
}

std::string nameWithSlash(std::string_view path) { return "/" + std::string(fileNamePart(path)); }

}  // namespace plotdesk
