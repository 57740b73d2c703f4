#include "platform/ini_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <mutex>
#include <optional>

#include "platform/files.h"

namespace plotdesk {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

bool isSpace(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && (isSpace(s.back()) || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

std::string cut(std::string_view v) { return std::string(v.substr(0, kIniValueMax)); }

struct Line {
  size_t begin = 0;    // first byte of the line
  size_t end = 0;      // end of the text, before the line break
  size_t next = 0;     // first byte of the next line
  std::string_view text;
};

std::vector<Line> splitLines(std::string_view content) {
  std::vector<Line> lines;
  size_t pos = content.substr(0, kBom.size()) == kBom ? kBom.size() : 0;
  while (pos < content.size()) {
    size_t nl = content.find('\n', pos);
    size_t end = nl == std::string_view::npos ? content.size() : nl;
    size_t next = nl == std::string_view::npos ? content.size() : nl + 1;
    size_t textEnd = end;
    if (textEnd > pos && content[textEnd - 1] == '\r') --textEnd;
    lines.push_back({pos, textEnd, next, content.substr(pos, textEnd - pos)});
    pos = next;
  }
  return lines;
}

std::optional<std::string_view> sectionName(std::string_view line) {
  std::string_view t = trim(line);
  if (t.empty() || t.front() != '[') return std::nullopt;
  t.remove_prefix(1);
  size_t close = t.find(']');
  return trim(close == std::string_view::npos ? t : t.substr(0, close));
}

bool keyLine(std::string_view line, std::string_view& key, std::string_view& value) {
  std::string_view t = trim(line);
  if (t.empty() || t.front() == ';' || t.front() == '#') return false;
  size_t eq = t.find('=');
  if (eq == std::string_view::npos) return false;
  key = trim(t.substr(0, eq));
  value = trim(t.substr(eq + 1));
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return true;
}

// Index range [first, last) of the lines of the first matching section, body only.
struct SectionSpan {
  bool found = false;
  size_t header = 0, first = 0, last = 0;
};

SectionSpan findSection(const std::vector<Line>& lines, std::string_view section) {
  SectionSpan span;
  for (size_t i = 0; i < lines.size(); ++i) {
    auto name = sectionName(lines[i].text);
    if (!name) continue;
    if (span.found) {
      span.last = i;
      return span;
    }
    if (equalsNoCase(*name, section)) {
      span = {true, i, i + 1, lines.size()};
    }
  }
  return span;
}

std::string_view lineBreakOf(std::string_view content) {
  size_t nl = content.find('\n');
  if (nl != std::string_view::npos && nl > 0 && content[nl - 1] == '\r') return "\r\n";
  return "\n";
}

std::mutex& writeMutex() {
  static std::mutex m;
  return m;
}

// Serialises writers of one folder across processes for the life of the object.
class FolderLock {
 public:
  explicit FolderLock(const std::string& file) {
    std::string dir(folderPart(file));
    fd_ = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ >= 0) {
      while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
      }
    }
  }
  ~FolderLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  int fd_ = -1;
};

std::string sanitizeValue(std::string_view v) {
  std::string out(v);
  for (char& c : out) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return out;
}

template <class Edit>
Status editFile(const std::string& path, Edit edit) {
  std::lock_guard guard(writeMutex());
  FolderLock lock(path);
  std::string content;
  if (fileExists(path)) {
    auto r = readFile(path);
    if (!r) return fail(r.error());
    content = std::move(*r);
  }
  std::string updated = edit(content);
  if (updated == content && fileExists(path)) return {};
  return writeFileAtomic(path, updated);
}

}  // namespace

std::string iniLookup(std::string_view content, std::string_view section, std::string_view key,
                      std::string_view fallback) {
  auto lines = splitLines(content);
  SectionSpan span = findSection(lines, section);
  if (span.found) {
    for (size_t i = span.first; i < span.last; ++i) {
      std::string_view k, v;
      if (keyLine(lines[i].text, k, v) && equalsNoCase(k, key)) return cut(v);
    }
  }
  return cut(fallback);
}

std::vector<std::pair<std::string, std::string>> iniSection(std::string_view content,
                                                            std::string_view section) {
  std::vector<std::pair<std::string, std::string>> out;
  auto lines = splitLines(content);
  SectionSpan span = findSection(lines, section);
  if (!span.found) return out;
  for (size_t i = span.first; i < span.last; ++i) {
    std::string_view k, v;
    if (keyLine(lines[i].text, k, v)) out.emplace_back(std::string(k), cut(v));
  }
  return out;
}

std::string iniRead(const std::string& path, std::string_view section, std::string_view key,
                    std::string_view fallback) {
  auto content = readFile(path);
  if (!content) return cut(fallback);
  return iniLookup(*content, section, key, fallback);
}

std::string iniApplyWrite(std::string_view content, std::string_view section, std::string_view key,
                          std::string_view rawValue) {
  std::string value = sanitizeValue(rawValue);
  std::string_view eol = lineBreakOf(content);
  std::string newLine = std::string(key) + "=" + value;
  auto lines = splitLines(content);
  SectionSpan span = findSection(lines, section);
  std::string out;
  if (!span.found) {
    out.assign(content);
    if (!out.empty() && out.back() != '\n') out += eol;
    out += "[" + std::string(section) + "]";
    out += eol;
    out += newLine;
    out += eol;
    return out;
  }
  for (size_t i = span.first; i < span.last; ++i) {
    std::string_view k, v;
    if (keyLine(lines[i].text, k, v) && equalsNoCase(k, key)) {
      out.assign(content.substr(0, lines[i].begin));
      out += newLine;
      out.append(content.substr(lines[i].end));
      return out;
    }
  }
  // Insert after the last non-blank line of the section.
  size_t after = span.header;
  for (size_t i = span.first; i < span.last; ++i) {
    if (!trim(lines[i].text).empty()) after = i;
  }
  const Line& anchor = lines[after];
  out.assign(content.substr(0, anchor.next));
  if (anchor.next == anchor.end) out += eol;  // last line had no line break
  out += newLine;
  out += eol;
  out.append(content.substr(anchor.next));
  return out;
}

Status iniWrite(const std::string& path, std::string_view section, std::string_view key,
                std::string_view value) {
  return editFile(path, [&](const std::string& content) {
    return iniApplyWrite(content, section, key, value);
  });
}

Status iniRemoveKey(const std::string& path, std::string_view section, std::string_view key) {
  return editFile(path, [&](const std::string& content) {
    auto lines = splitLines(content);
    SectionSpan span = findSection(lines, section);
    if (!span.found) return content;
    for (size_t i = span.first; i < span.last; ++i) {
      std::string_view k, v;
      if (keyLine(lines[i].text, k, v) && equalsNoCase(k, key)) {
        return content.substr(0, lines[i].begin) + content.substr(lines[i].next);
      }
    }
    return content;
  });
}

}  // namespace plotdesk
