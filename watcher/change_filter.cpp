#include "watcher/change_filter.h"

namespace plotdesk {

bool wildcardMatch(std::string_view pattern, std::string_view text) {
  // Iterative match with one back-track point for the last '*'.
  size_t p = 0, t = 0;
  size_t starP = std::string_view::npos, starT = 0;
  while (t < text.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == text[t])) {
      ++p;
      ++t;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starT = t;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      t = ++starT;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

PatternList splitPatterns(std::string_view text) {
  if (text.empty()) return std::nullopt;
  std::vector<std::string> out;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(';', start);
    if (end == std::string_view::npos) end = text.size();
    if (end > start) out.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  if (out.empty()) return std::nullopt;
  return out;
}

namespace {

std::string_view testedText(const std::string& path, const ChangeNotice& notice, int flags) {
  std::string_view text(path);
  if (flags & filter_flag::FileNameOnly) {
    size_t slash = text.rfind('/');
    return slash == std::string_view::npos ? text : text.substr(slash + 1);
  }
  if (flags & filter_flag::RelativePath) {
    return notice.prefixLength <= text.size() ? text.substr(notice.prefixLength) : std::string_view{};
  }
  return text;
}

bool matchesAny(const std::vector<std::string>& patterns, std::string_view text) {
  for (const auto& p : patterns) {
    if (wildcardMatch(p, text)) return true;
  }
  return false;
}

bool passesPatterns(std::string_view text, const ChangeFilter& filter) {
  if (filter.include && !matchesAny(*filter.include, text)) return false;
  if (filter.exclude && matchesAny(*filter.exclude, text)) return false;
  return true;
}

}  // namespace

bool passesFilter(const ChangeNotice& notice, const ChangeFilter& filter, ChangeHandler& handler) {
  const int flags = filter.flags;
  switch (notice.kind) {
    case ChangeKind::Added:
    case ChangeKind::Removed:
    case ChangeKind::Modified:
    case ChangeKind::NameChanged:
      break;
    default:
      return true;
  }
  if ((flags & filter_flag::NoPatterns) && (flags & filter_flag::NeverAskHandler)) return true;
  const bool askFirst = (flags & filter_flag::HandlerFirst) && !(flags & filter_flag::NeverAskHandler);
  if (askFirst && !handler.filter(notice.kind, notice.path, notice.newPath)) return false;
  if (!(flags & filter_flag::NoPatterns)) {
    bool ok = passesPatterns(testedText(notice.path, notice, flags), filter);
    if (!ok && notice.kind == ChangeKind::NameChanged) {
      ok = passesPatterns(testedText(notice.newPath, notice, flags), filter);
    }
    if (!ok) return false;
  }
  if (!(flags & (filter_flag::HandlerFirst | filter_flag::NeverAskHandler))) {
    return handler.filter(notice.kind, notice.path, notice.newPath);
  }
  return true;
}

void deliver(const ChangeNotice& notice, ChangeHandler& handler) {
  switch (notice.kind) {
    case ChangeKind::Added: handler.added(notice.path); break;
    case ChangeKind::Removed: handler.removed(notice.path); break;
    case ChangeKind::Modified: handler.modified(notice.path); break;
    case ChangeKind::NameChanged: handler.nameChanged(notice.path, notice.newPath); break;
    case ChangeKind::ReadError: handler.readError(notice.code, notice.path); break;
    case ChangeKind::WatchStarted: handler.watchStarted(notice.code, notice.path); break;
    case ChangeKind::WatchStopped: handler.watchStopped(notice.path); break;
  }
}

}  // namespace plotdesk
