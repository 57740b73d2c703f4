#include "pipeline/watch_list_handler.h"

#include <gtest/gtest.h>

#include "platform/files.h"
#include "tests/pipeline/fake_view.h"
#include "tests/watcher/temp_folder.h"

namespace plotdesk {
namespace {

using testing_support::FakeView;
using testing_support::TempFolder;

std::vector<std::string> names(const ListModel& list) {
  std::vector<std::string> out;
  for (int i = 0; i < list.rowCount(); ++i) out.push_back(list.cell(i, 0));
  return out;
}

TEST(WatchListHandler, KeepsTheWatcherListInStep) {
  TempFolder tmp;
  ASSERT_TRUE(createFolder(tmp.at("sub")).ok());
  ASSERT_TRUE(createFolder(tmp.at("dir.plt")).ok());
  ASSERT_TRUE(createFolder(tmp.at("moved")).ok());
  const std::string w = tmp.path();
  using Step = std::function<void(WatchListHandler&)>;
  struct Case {
    const char* name;
    std::vector<std::string> before;
    Step step;
    std::vector<std::string> after;
  } cases[] = {
      {"plot file added", {}, [&](auto& h) { h.added(w + "/a.plt"); }, {"/a.plt"}},
      {"upper-case extension accepted", {}, [&](auto& h) { h.added(w + "/b.Plt"); }, {"/b.Plt"}},
      {"other extension ignored", {}, [&](auto& h) { h.added(w + "/a.plt.tmp"); }, {}},
      {"marker never taken", {}, [&](auto& h) { h.added(w + "/QKTCC.TXT"); }, {}},
      {"folder never taken", {}, [&](auto& h) { h.added(w + "/dir.plt"); }, {}},
      {"outside the watch folder", {}, [&](auto& h) { h.added(w + "x/a.plt"); }, {}},
      {"listed name not added twice", {"/a.plt"}, [&](auto& h) { h.added(w + "/a.plt"); }, {"/a.plt"}},
      {"sub-folder file", {}, [&](auto& h) { h.added(w + "/sub/c.plt"); }, {"/sub/c.plt"}},
      {"removal matches the exact name", {"/a.plt", "/a.plt2", "/ab.plt"},
       [&](auto& h) { h.removed(w + "/a.plt"); }, {"/a.plt2", "/ab.plt"}},
      {"removed folder takes its rows", {"/sub/c.plt", "/sub2/d.plt", "/e.plt"},
       [&](auto& h) { h.removed(w + "/sub"); }, {"/sub2/d.plt", "/e.plt"}},
      {"renamed into a plot name", {"/q.plt"}, [&](auto& h) { h.nameChanged(w + "/x.tmp", w + "/x.plt"); },
       {"/q.plt", "/x.plt"}},
      {"renamed away from a plot name", {"/q.plt", "/x.plt", "/z.plt"},
       [&](auto& h) { h.nameChanged(w + "/x.plt", w + "/x.tmp"); }, {"/q.plt", "/z.plt"}},
      {"renamed keeps its place", {"/q.plt", "/x.plt", "/z.plt"},
       [&](auto& h) { h.nameChanged(w + "/x.plt", w + "/y.hpg"); }, {"/q.plt", "/y.hpg", "/z.plt"}},
      {"renamed folder carries its rows", {"/old/c.plt", "/e.plt"},
       [&](auto& h) { h.nameChanged(w + "/old", w + "/moved"); }, {"/moved/c.plt", "/e.plt"}},
  };
  for (auto& c : cases) {
    ListModel list = makeWatcherList();
    for (const auto& n : c.before) list.append({n, ""});
    FakeView view;
    WatchListHandler handler(list, view, w + "/", "*.PLT;*.HPG;");
    c.step(handler);
    EXPECT_EQ(names(list), c.after) << c.name;
    if (names(list) != c.before) {
      EXPECT_EQ(view.bar[0], "Watcher Files: " + std::to_string(list.rowCount())) << c.name;
    }
  }
}

TEST(WatchListHandler, ReportsWatchStartAndStop) {
  ListModel list = makeWatcherList();
  FakeView view;
  WatchListHandler handler(list, view, "/w", "*.PLT");
  handler.watchStarted(0, "/w");
  EXPECT_EQ(view.bar[3], "Directory Watch Started.");
  handler.watchStarted(5, "/w");
  EXPECT_EQ(view.bar[3], "Directory Watch failed.");
  handler.watchStopped("/w");
  EXPECT_EQ(view.bar[3], "Directory Watch Stopped.");
}

}  // namespace
}  // namespace plotdesk
