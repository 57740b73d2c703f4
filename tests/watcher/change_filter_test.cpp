#include "watcher/change_filter.h"

#include <gtest/gtest.h>

namespace plotdesk {
namespace {

TEST(WildcardMatch, Table) {
  struct Case {
    const char* pattern;
    const char* text;
    bool match;
  } cases[] = {
      {"*.plt", "a.plt", true},     {"*.plt", "a.PLT", false},  {"*.plt", "a.plt.tmp", false},
      {"?.plt", "a.plt", true},     {"?.plt", "ab.plt", false}, {"*", "", true},
      {"", "", true},               {"", "a", false},           {"a*b*c", "aXXbYYc", true},
      {"a*b*c", "aXXbYY", false},   {"*a*", "bab", true},       {"**x", "x", true},
      {"sub/*.hpg", "sub/p.hpg", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(wildcardMatch(c.pattern, c.text), c.match) << c.pattern << " vs " << c.text;
  }
}

TEST(SplitPatterns, EmptyTextIsNoListAndEmptyItemsAreSkipped) {
  EXPECT_FALSE(splitPatterns("").has_value());
  EXPECT_FALSE(splitPatterns(";;").has_value());
  auto list = splitPatterns("*.plt;;*.HPG;");
  ASSERT_TRUE(list.has_value());
  EXPECT_EQ(*list, (std::vector<std::string>{"*.plt", "*.HPG"}));
}

class AskCounter : public ChangeHandler {
 public:
  bool answer = true;
  int asked = 0;
  bool filter(ChangeKind, const std::string&, const std::string&) override {
    ++asked;
    return answer;
  }
};

TEST(PassesFilter, FlagsPatternsAndHandlerTable) {
  using namespace filter_flag;
  ChangeNotice added{ChangeKind::Added, "/w/sub/a.plt", {}, 0, 3};
  ChangeNotice renamed{ChangeKind::NameChanged, "/w/a.tmp", "/w/a.plt", 0, 3};
  ChangeNotice stopped{ChangeKind::WatchStopped, "/w", {}, 0, 3};
  struct Case {
    const char* name;
    ChangeNotice notice;
    const char* include;
    const char* exclude;
    int flags;
    bool handlerSays;
    bool passes;
    int asked;
  } cases[] = {
      {"name only matches include", added, "*.plt", "", FileNameOnly, true, true, 1},
      {"name only misses include", added, "*.hpg", "", FileNameOnly, true, false, 0},
      {"excluded", added, "", "a.*", FileNameOnly, true, false, 0},
      {"relative path", added, "sub/*", "", RelativePath, true, true, 1},
      {"full path must match whole", added, "sub/*", "", 0x02, true, false, 0},
      {"full path", added, "/w/*", "", 0x02, true, true, 1},
      {"handler refuses", added, "", "", FileNameOnly, false, false, 1},
      {"handler first refuses", added, "*.plt", "", FileNameOnly | HandlerFirst, false, false, 1},
      {"handler first accepts, patterns decide", added, "*.hpg", "", FileNameOnly | HandlerFirst, true, false, 1},
      {"never ask", added, "", "", FileNameOnly | NeverAskHandler, false, true, 0},
      {"no patterns, never ask", added, "*.hpg", "", NoPatterns | NeverAskHandler, false, true, 0},
      {"rename passes on its new name", renamed, "*.plt", "", FileNameOnly, true, true, 1},
      {"stop always passes", stopped, "*.plt", "", FileNameOnly, false, true, 0},
      {"main window flags", added, "", "", 0xE8, false, true, 0},
  };
  for (const auto& c : cases) {
    AskCounter handler;
    handler.answer = c.handlerSays;
    ChangeFilter filter{splitPatterns(c.include), splitPatterns(c.exclude), c.flags};
    EXPECT_EQ(passesFilter(c.notice, filter, handler), c.passes) << c.name;
    EXPECT_EQ(handler.asked, c.asked) << c.name;
  }
}

}  // namespace
}  // namespace plotdesk
