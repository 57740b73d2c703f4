#pragma once
// Deciding whether a change reaches its handler, and handing it over.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "watcher/change_handler.h"

namespace plotdesk {

// "*" matches any run of characters (also none), "?" any one character; the
// whole text must match; letter case counts.
bool wildcardMatch(std::string_view pattern, std::string_view text);

// Patterns separated by ';'. An empty text is "no list" (nullopt), which is
// different from a list that happens to match nothing.
using PatternList = std::optional<std::vector<std::string>>;
PatternList splitPatterns(std::string_view text);

struct ChangeFilter {
  PatternList include;  // absent: everything is included
  PatternList exclude;  // absent: nothing is excluded
  int flags = filter_flag::Default;
};

// True when `notice` should reach `handler`. Start, stop and read-error
// notices always pass.
bool passesFilter(const ChangeNotice& notice, const ChangeFilter& filter, ChangeHandler& handler);

// Calls the handler operation that matches the notice kind (no filtering).
void deliver(const ChangeNotice& notice, ChangeHandler& handler);

}  // namespace plotdesk
