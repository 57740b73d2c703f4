#include "pipeline/job_files.h"

#include <gtest/gtest.h>

#include "pipeline/list_model.h"
#include "platform/files.h"
#include "tests/watcher/temp_folder.h"

namespace plotdesk {
namespace {

TEST(IsJobName, ComparesTheWholeExtensionIgnoringCase) {
  struct Case {
    const char* path;
    const char* filter;
    bool job;
  } cases[] = {
      {"/w/a.plt", "*.PLT;*.HPG;", true},
      {"/w/b.Plt", "*.PLT;*.HPG;", true},
      {"/w/c.hpg", "*.plt;*.HPG;", true},
      {"/w/c.plt.bak", "*.PLT;*.HPG;", false},
      {"/w/d.pl", "*.PLT;*.HPG;", false},     // a substring of an entry is not enough
      {"/w.plt/readme", "*.PLT;*.HPG;", false},  // the dot of a folder does not count
      {"/w/plt", "*.PLT", false},
      {"/w/any", "*.*", true},
      {"/w/QKTCC.TXT", "*.*", false},        // the transfer marker never is a job
      {"/w/qktcc.txt", "*.TXT", false},
      {"/w/a.plt", "", false},
      {"/w/a.plt", " *.PLT ; *.HPG", true},
  };
  for (const auto& c : cases) EXPECT_EQ(isJobName(c.path, c.filter), c.job) << c.path << " / " << c.filter;
}

TEST(BackupSourceName, SplitsAtTheLastDotOfTheName) {
  EXPECT_EQ(backupSourceName("/w/a.plt", "20110405_134501"), "/a_20110405_134501.plt");
  EXPECT_EQ(backupSourceName("/w/sub/x.y.hpg", "T"), "/x.y_T.hpg");
  EXPECT_EQ(backupSourceName("/w.d/noext", "T"), "/noext_T");
}

TEST(ScanJobs, TakesPlotFilesOnlyAndSubFoldersWhenAsked) {
  testing_support::TempFolder tmp;
  for (const char* f : {"a.plt", "b.HPG", "notes.txt", "QKTCC.TXT", "sub/c.plt", ".hidden/d.plt"}) {
    ASSERT_TRUE(createFolder(std::string(folderPart(tmp.at(f)))).ok());
    testing_support::writeText(tmp.at(f), "IN;");
  }
  ASSERT_TRUE(createFolder(tmp.at("folder.plt")).ok());
  EXPECT_EQ(scanJobs(tmp.path(), "*.PLT;*.HPG;", false), (std::vector<std::string>{"/a.plt", "/b.HPG"}));
  EXPECT_EQ(scanJobs(tmp.path(), "*.PLT;*.HPG;", true),
            (std::vector<std::string>{"/a.plt", "/b.HPG", "/sub/c.plt"}));
  EXPECT_EQ(scanJobs(tmp.path(), "*.*", false),
            (std::vector<std::string>{"/a.plt", "/b.HPG", "/notes.txt"}));
  EXPECT_TRUE(scanJobs(tmp.at("missing"), "*.*", true).empty());
}

TEST(ListModel, EditsRowsAndReportsEachChange) {
  ListModel list = makePrintQueue();
  std::vector<std::string> changes;
  int id = list.subscribe([&](const ListChange& c) {
    static const char* kinds[] = {"ins", "rem", "chg", "reset"};
    changes.push_back(std::string(kinds[static_cast<int>(c.kind)]) + std::to_string(c.first));
  });
  list.append({"/a.plt", "10.00 * 20.00"});
  list.append({"/b.plt"});
  list.insert(0, {"/c.plt", "1 * 1", "extra column dropped"});
  EXPECT_EQ(list.row(0), (ListModel::Row{"/c.plt", "1 * 1"}));
  EXPECT_EQ(list.cell(2, 1), "");
  EXPECT_EQ(list.cell(9, 0), "");
  // A move keeps the whole row, size column included.
  EXPECT_TRUE(list.move(1, 2));
  EXPECT_EQ(list.row(2), (ListModel::Row{"/a.plt", "10.00 * 20.00"}));
  EXPECT_FALSE(list.move(0, 3));
  EXPECT_EQ(list.findName("/b.plt"), 1);
  EXPECT_FALSE(list.findName("/b"));
  list.setCell(1, 1, "x");
  list.remove(0);
  list.unsubscribe(id);
  list.clear();
  EXPECT_EQ(changes, (std::vector<std::string>{"ins0", "ins1", "ins0", "rem1", "ins2", "chg1", "rem0"}));
  EXPECT_EQ(makePrintedList().columnCount(), 4);
  EXPECT_EQ(makeWatcherList().columns()[1].titleId, 109);
}

}  // namespace
}  // namespace plotdesk

#include "config/settings_store.h"
#include "pipeline/pipeline_settings.h"

namespace plotdesk {
namespace {

TEST(PipelineSettings, ReadsTheStoreWithFoldersAndUpperCaseFilter) {
  testing_support::TempFolder tmp;
  const std::string home = tmp.path() + "/";
  {
    SettingsStore store(home);
    ASSERT_TRUE(store.set_Watcher_Filter("*.plt;*.Hpgl;").ok());
    ASSERT_TRUE(store.set_Watcher_Dir(tmp.at("in/")).ok());
    ASSERT_TRUE(store.set_FNExist_DelItem(1).ok());
    ASSERT_TRUE(store.set_Transfer_DelayTime(7).ok());
  }
  PipelineSettings s = PipelineSettings::fromStore(home, false);
  EXPECT_FALSE(s.live);
  EXPECT_EQ(s.watcherFilter, "*.PLT;*.HPGL;");
  EXPECT_EQ(s.watchFolder, tmp.at("in"));
  EXPECT_EQ(s.disposeFolder, home + "DisposeFile_Folder");
  EXPECT_EQ(s.continueFolder, home + "ContinueFile_Folder");
  EXPECT_EQ(s.backupFolder, home + "BackupFile_Folder");
  EXPECT_TRUE(s.dropMissingPrintFile);
  EXPECT_EQ(s.transferDelaySeconds, 7);
}

}  // namespace
}  // namespace plotdesk
