#include "pipeline/pipeline.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>

#include "platform/files.h"
#include "tests/pipeline/fake_view.h"
#include "tests/watcher/temp_folder.h"

namespace plotdesk {
namespace {

using namespace std::chrono_literals;
using testing_support::FakeView;
using testing_support::TempFolder;
using testing_support::writeText;

// Writes one page file per page into the dispose folder, like the engine.
// Pages per source name: missing means 1; a negative count writes that many
// pages and then fails.
class FakeEngines final : public DisposeFactory {
 public:
  std::map<std::string, int> pages;
  bool conversionFails = false;
  std::function<void(const std::string&)> onDispose;  // called as each dispose starts

  std::unique_ptr<DisposeService> create(int) override { return std::make_unique<Engine>(*this); }
  bool convertFileCode(const std::string&) override { return !conversionFails; }

  std::vector<std::string> disposed() {
    std::lock_guard g(mu);
    return order;
  }
  int maxConcurrent() const { return maxRunning; }

 private:
  struct Engine final : DisposeService {
    explicit Engine(FakeEngines& f) : f(f) {}
    bool dispose(const DisposeJob& job, DisposeOwner& owner) override {
      int now = ++f.running;
      int seen = f.maxRunning;
      while (now > seen && !f.maxRunning.compare_exchange_weak(seen, now)) {
      }
      std::string name(fileNamePart(job.source));
      {
        std::lock_guard g(f.mu);
        f.order.push_back(name);
      }
      if (f.onDispose) f.onDispose(name);
      int n = f.pages.count(name) ? f.pages.at(name) : 1;
      size_t dot = name.rfind('.');
      for (int p = 1; p <= std::abs(n); ++p) {
        char out[512];
        std::snprintf(out, sizeof out, "%s/%s_%s_%03d%s", job.disposeFolder.c_str(), name.substr(0, dot).c_str(),
                      job.timestampName.c_str(), p, name.substr(dot).c_str());
        writeText(out, "PU0,0;PD100,100;");
        owner.addOutput(std::string(out) + ";" + std::to_string(p) + ".00 * 2.50");
      }
      for (int i = 0; i <= 100; ++i) owner.setProgress(i);
      --f.running;
      return n > 0;
    }
    FakeEngines& f;
  };
  std::mutex mu;
  std::vector<std::string> order;
  std::atomic<int> running{0};
  std::atomic<int> maxRunning{0};
};

// Outcomes in call order (then success). A "block" outcome waits until the
// owner's cancel flag is set, as a link does while sending.
struct LinkScript {
  bool ok = true;
  std::string message;
  bool block = false;
  bool pauses = false;
  bool cutEndOk = true;
};

class FakeLinks final : public LinkFactory {
 public:
  std::vector<LinkScript> script;
  std::function<void()> beforeSend;  // runs on the print worker before each send

  std::unique_ptr<LinkService> create(const LinkJob& job, TransferOwner& owner) override {
    if (job.transferType < 1 || job.transferType > 7) return nullptr;
    std::lock_guard g(mu);
    LinkScript s = calls < script.size() ? script[calls] : LinkScript{};
    ++calls;
    return std::make_unique<Link>(*this, job, owner, s);
  }
  std::vector<std::string> sent() {
    std::lock_guard g(mu);
    return sentNames;
  }
  std::atomic<bool> sending{false};
  std::atomic<int> cutEndWaits{0};

 private:
  struct Link final : LinkService {
    Link(FakeLinks& f, LinkJob job, TransferOwner& owner, LinkScript s) : f(f), job(job), owner(owner), s(s) {}
    bool transfer() override {
      owner.cancelFlag() = false;  // a link clears the flag as its transfer starts
      if (f.beforeSend) f.beforeSend();
      f.sending = true;
      for (int i = 0; i <= 100; ++i) owner.setProgress(i);
      if (s.block) {
        while (!owner.cancelFlag()) std::this_thread::sleep_for(1ms);
        f.sending = false;
        return false;
      }
      f.sending = false;
      {
        std::lock_guard g(f.mu);
        f.sentNames.push_back(std::string(fileNamePart(job.path)));
      }
      return s.ok;
    }
    std::string message() const override { return s.block ? "File transfer cancelled by user." : s.message; }
    bool pausesQueue() const override { return s.pauses; }
    bool waitForCutEnd(const std::function<void(const std::string&)>& status, std::string& message) override {
      ++f.cutEndWaits;
      status("Check Machine Cut ... ...");
      if (!s.cutEndOk) message = "Machine error";
      return s.cutEndOk;
    }
    FakeLinks& f;
    LinkJob job;
    TransferOwner& owner;
    LinkScript s;
  };
  std::mutex mu;
  size_t calls = 0;
  std::vector<std::string> sentNames;
};

using Strings = std::vector<std::string>;

// One program folder, loop, clock, window and stand-ins; local time is UTC.
class Harness {
 public:
  Harness() {
    setenv("TZ", "UTC", 1);
    tzset();
    s.watchFolder = tmp.at("watch");
    s.disposeFolder = tmp.at("DisposeFile_Folder");
    s.continueFolder = tmp.at("ContinueFile_Folder");
    s.backupFolder = tmp.at("backup");
    s.transferType = 4;
    s.disposeDelaySeconds = 0;
    s.transferDelaySeconds = 1;
    s.printUnfinished = true;
    s.watchMode = WatchMode::Notify;
    for (auto* f : {&s.watchFolder, &s.disposeFolder, &s.continueFolder, &s.backupFolder}) {
      EXPECT_TRUE(createFolder(*f).ok());
    }
  }

  Pipeline& make() {
    pipeline = std::make_unique<Pipeline>(loop, clock, s, PipelineServices{engines, links, nullptr}, view);
    return *pipeline;
  }
  void drop(const std::string& entry) {
    writeText(s.watchFolder + entry, "IN;PU0,0;PD400,400;");
    pipeline->watcherList().append({entry, ""});
  }
  bool idle() {
    return !pipeline->disposing() && !pipeline->printing() &&
           (pipeline->watcherList().empty() || pipeline->watcherPaused()) &&
           (pipeline->printQueue().empty() || pipeline->printPaused());
  }
  // Ticks and runs reports until `done` (default: nothing left to do).
  bool run(std::function<bool()> done = nullptr, std::chrono::milliseconds limit = 10s) {
    if (!done) done = [this] { return idle(); };
    auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
      pipeline->tick();
      loop.runOnce(2ms);
      if (done()) return true;
      if (std::chrono::steady_clock::now() > end) return false;
    }
  }
  std::vector<std::string> rows(ListModel& list) {
    std::vector<std::string> out;
    for (int i = 0; i < list.rowCount(); ++i) {
      std::string line;
      for (int c = 0; c < list.columnCount(); ++c) {
        if (c == 2 && list.columnCount() == 4) continue;  // the time column is checked apart
        line += (c ? "|" : "") + list.cell(i, c);
      }
      out.push_back(line);
    }
    return out;
  }
  std::vector<std::string> files(const std::string& folder) {
    std::vector<std::string> out;
    if (auto entries = scanFolder(folder, true)) {
      for (auto& e : *entries) out.push_back(e.relative);
    }
    return out;
  }

  TempFolder tmp;
  PipelineSettings s;
  FakeClock clock;
  HeadlessEventLoop loop{clock};
  FakeView view;
  FakeEngines engines;
  FakeLinks links;
  std::unique_ptr<Pipeline> pipeline;
};

class PipelineTest : public ::testing::Test, public Harness {};

class FakePreview final : public PreviewSink {
 public:
  void show(const std::string& path) override { add("show " + std::string(fileNamePart(path))); }
  void clear() override { add("clear"); }
  Strings calls() {
    std::lock_guard g(mu_);
    return calls_;
  }

 private:
  void add(std::string s) {
    std::lock_guard g(mu_);
    calls_.push_back(std::move(s));
  }
  std::mutex mu_;
  Strings calls_;
};

struct Scenario {
  const char* name;
  std::function<void(PipelineSettings&, FakeEngines&, FakeLinks&)> setup;
  Strings drops;
  Strings printed;       // "name|result|cause"
  Strings queue;         // "entry|size"
  Strings watcherRows;   // "entry|cause"
  Strings backup;        // files in the backup folder
  Strings dispose;       // files left in the dispose folder
  bool marker = false;
  bool paused = false;
  std::function<bool(Pipeline&)> doneWhen = nullptr;  // default: idle
};

const char* kA1 = "/a_20110405_134501_001.plt";

TEST(PipelineScenarios, Table) {
  Scenario cases[] = {
      {"three pages queued in page order, sent and backed up",
       [](auto& s, auto& e, auto&) {
         s.savePrintedFile = true;
         e.pages["a.plt"] = 3;
       },
       {"/a.plt"},
       {"/a_20110405_134501_001.plt|OK|Backup File Successed", "/a_20110405_134501_002.plt|OK|Backup File Successed",
        "/a_20110405_134501_003.plt|OK|Backup File Successed"},
       {}, {},
       {"/a_20110405_134501.plt", "/a_20110405_134501_001.plt", "/a_20110405_134501_002.plt",
        "/a_20110405_134501_003.plt"},
       {}, true},
      {"File_Type 5 deletes the source; printed files are deleted without backup",
       [](auto& s, auto&, auto&) { s.fileType = 5; },
       {"/a.plt"},
       {std::string(kA1) + "|OK|Delete File Successed"},
       {}, {}, {}, {}, true},
      {"only disposed files are saved: nothing is queued",
       [](auto& s, auto& e, auto&) {
         s.saveDisposedFile = true;
         e.pages["a.plt"] = 2;
       },
       {"/a.plt"},
       {}, {}, {},
       {"/a_20110405_134501_001.plt", "/a_20110405_134501_002.plt"},
       {}, false},
      {"sub-folder job keeps its entry name when the engine fails; partial pages go",
       [](auto&, auto& e, auto&) { e.pages["b.plt"] = -2; },
       {"/sub/b.plt"},
       {}, {}, {"/sub/b.plt|File Dispose fail."}, {}, {}, false, false,
       [](Pipeline& p) { return !p.disposing() && p.watcherList().rowCount() == 1 && !p.watcherList().cell(0, 1).empty(); }},
      {"conversion failure",
       [](auto& s, auto& e, auto&) {
         s.fileCodeConversion = true;
         e.conversionFails = true;
       },
       {"/a.plt"},
       {}, {}, {"/a.plt|File Conversion Fail."}, {}, {}, false, false,
       [](Pipeline& p) { return !p.disposing() && p.watcherList().rowCount() == 1 && !p.watcherList().cell(0, 1).empty(); }},
      {"open failure pauses the print queue with the job first",
       [](auto&, auto&, auto& l) { l.script = {{false, "Serial_Open_Fail"}}; },
       {"/a.plt"},
       {std::string(kA1) + "|Fail|Serial_Open_Fail"},
       {std::string(kA1) + "|1.00 * 2.50"}, {}, {}, {kA1}, false, true},
      {"old-mode IC status pauses too",
       [](auto&, auto&, auto& l) { l.script = {{false, "status 3", false, true}}; },
       {"/a.plt"},
       {std::string(kA1) + "|Fail|status 3"},
       {std::string(kA1) + "|1.00 * 2.50"}, {}, {}, {kA1}, false, true},
      {"other link failures retry without pausing and write no marker",
       [](auto&, auto&, auto& l) { l.script = {{false, "busy"}, {false, "busy"}}; },
       {"/a.plt"},
       {std::string(kA1) + "|OK|Delete File Successed"},
       {}, {}, {}, {}, true},
      {"no link for the transfer type fails with an empty cause",
       [](auto& s, auto&, auto&) { s.transferType = 8; },
       {"/a.plt"},
       {std::string(kA1) + "|Fail|"},
       {std::string(kA1) + "|1.00 * 2.50"}, {}, {}, {kA1}, false, false,
       [](Pipeline& p) { return p.printedList().rowCount() == 1 && !p.printing(); }},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    Harness h;
    c.setup(h.s, h.engines, h.links);
    Pipeline& p = h.make();
    for (const auto& d : c.drops) {
      ASSERT_TRUE(createFolder(std::string(folderPart(h.s.watchFolder + d))).ok());
      h.drop(d);
    }
    auto done = c.doneWhen ? std::function<bool()>([&] { return c.doneWhen(p); }) : nullptr;
    ASSERT_TRUE(h.run(done));
    p.shutdown();
    h.loop.runPending();
    EXPECT_EQ(h.rows(p.printedList()), c.printed);
    EXPECT_EQ(h.rows(p.printQueue()), c.queue);
    EXPECT_EQ(h.rows(p.watcherList()), c.watcherRows);
    EXPECT_EQ(h.files(h.s.backupFolder), c.backup);
    EXPECT_EQ(h.files(h.s.disposeFolder), c.dispose);
    EXPECT_EQ(fileExists(h.s.watchFolder + "/QKTCC.TXT"), c.marker);
    EXPECT_EQ(p.printPaused(), c.paused);
    EXPECT_EQ(h.view.count("paused"), c.paused ? 1 : 0);
  }
}

TEST_F(PipelineTest, SourceBackupNameAndPrintedTime) {
  s.savePrintedFile = true;
  Pipeline& p = make();
  drop("/a.plt");
  ASSERT_TRUE(run());
  EXPECT_EQ(files(s.watchFolder), (Strings{"/QKTCC.TXT"}));
  EXPECT_TRUE(fileExists(s.backupFolder + "/a_20110405_134501.plt"));
  ASSERT_EQ(p.printedList().rowCount(), 1);
  EXPECT_EQ(p.printedList().cell(0, 2), "2011-04-05-13-45");
  EXPECT_EQ(view.bar[2], "Printed Files: 1");
  EXPECT_TRUE(p.lastSendSucceeded());
  EXPECT_TRUE(p.markerWritten());
  // The waits: 1000 ms after the dispose, 2000 ms after a small file, the
  // transfer delay and 100 ms before the marker, all on the injected clock.
  auto sleeps = clock.sleeps();
  for (auto ms : {0ms, 1000ms, 2000ms, 1000ms, 100ms}) {
    EXPECT_NE(std::find(sleeps.begin(), sleeps.end(), ms), sleeps.end()) << ms.count();
  }
}

TEST_F(PipelineTest, FilesDisposeOneAtATimeInOrderWhileAnEarlierJobIsSent) {
  Pipeline& p = make();
  // The first send waits until the next dispose has started beside it.
  std::mutex mu;
  std::condition_variable cv;
  bool secondStarted = false;
  engines.onDispose = [&](const std::string& name) {
    if (name == "b.plt") {
      std::lock_guard g(mu);
      secondStarted = true;
      cv.notify_all();
    }
  };
  std::atomic<bool> overlapped{false};
  links.beforeSend = [&] {
    std::unique_lock l(mu);
    overlapped = overlapped || cv.wait_for(l, 5s, [&] { return secondStarted; });
  };
  s.disposeDelaySeconds = 1;
  p.setSettings(s);
  drop("/a.plt");
  drop("/b.plt");
  drop("/c.plt");
  ASSERT_TRUE(run());
  EXPECT_TRUE(overlapped);
  EXPECT_EQ(engines.disposed(), (Strings{"a.plt", "b.plt", "c.plt"}));
  EXPECT_EQ(engines.maxConcurrent(), 1);
  auto sent = links.sent();
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[0].substr(0, 2), "a_");
  EXPECT_EQ(sent[2].substr(0, 2), "c_");
  // Progress reaches the window coalesced, ending at the last value.
  EXPECT_LT(view.disposeProgressCalls.size(), 3u * 101u);
  EXPECT_EQ(view.disposeProgressCalls.back(), 100);
  EXPECT_LT(view.printProgressCalls.size(), 3u * 101u);
}

TEST_F(PipelineTest, MissingPrintFileIsDroppedOrRetried) {
  for (bool drop : {true, false}) {
    SCOPED_TRACE(drop ? "dropped" : "retried");
    s.dropMissingPrintFile = drop;
    Pipeline& p = make();
    p.printQueue().append({"/gone.plt", "1.00 * 1.00"});
    ASSERT_TRUE(run([&] { return !p.printing() && view.count("print: /gone.plt is printing") >= (drop ? 1 : 3); }));
    p.shutdown();
    loop.runPending();
    EXPECT_EQ(rows(p.printedList()), Strings{"/gone.plt|Fail|Print File isn't Exist!"});
    EXPECT_EQ(p.printQueue().rowCount(), drop ? 0 : 1);
    EXPECT_FALSE(fileExists(s.watchFolder + "/QKTCC.TXT"));
    pipeline.reset();
  }
}

TEST_F(PipelineTest, PauseDuringASendCancelsItAndKeepsTheJob) {
  links.script = {{false, "", true}};
  Pipeline& p = make();
  drop("/a.plt");
  ASSERT_TRUE(run([&] { return links.sending.load(); }));
  EXPECT_TRUE(p.togglePrintPause());
  ASSERT_TRUE(run([&] { return !p.printing(); }));
  EXPECT_EQ(rows(p.printQueue()), Strings{std::string(kA1) + "|1.00 * 2.50"});
  EXPECT_EQ(rows(p.printedList()), Strings{std::string(kA1) + "|Fail|File transfer cancelled by user."});
  EXPECT_TRUE(fileExists(s.disposeFolder + kA1));
  EXPECT_FALSE(p.lastSendSucceeded());
  // Resuming sends it.
  EXPECT_FALSE(p.togglePrintPause());
  ASSERT_TRUE(run());
  EXPECT_EQ(rows(p.printedList()), Strings{std::string(kA1) + "|OK|Delete File Successed"});
}

TEST_F(PipelineTest, ShutdownDuringASendLosesNothing) {
  links.script = {{false, "", true}};
  Pipeline& p = make();
  drop("/a.plt");
  drop("/b.plt");
  ASSERT_TRUE(run([&] { return links.sending.load(); }));
  p.shutdown();
  loop.runPending();
  EXPECT_TRUE(fileExists(s.disposeFolder + kA1));
  // b.plt is either still waiting in the watch folder or already disposed.
  EXPECT_TRUE(fileExists(s.watchFolder + "/b.plt") || files(s.disposeFolder).size() == 2u);
  EXPECT_FALSE(fileExists(s.watchFolder + "/QKTCC.TXT"));
  p.tick();
  EXPECT_FALSE(p.printing());
}

TEST_F(PipelineTest, OpeningTakesLeftoversOrClearsOnlyJobs) {
  for (bool unfinished : {true, false}) {
    SCOPED_TRACE(unfinished ? "Print_Unfinished 1" : "Print_Unfinished 0");
    s.printUnfinished = unfinished;
    s.watchSubFolders = false;
    writeText(s.disposeFolder + "/left_001.plt", "x");
    writeText(s.watchFolder + "/a.plt", "x");
    writeText(s.watchFolder + "/notes.txt", "x");
    ASSERT_TRUE(createFolder(s.watchFolder + "/sub").ok());
    writeText(s.watchFolder + "/sub/b.plt", "x");
    Pipeline& p = make();
    p.openFolders();
    if (unfinished) {
      EXPECT_EQ(rows(p.printQueue()), Strings{"/left_001.plt|"});
      EXPECT_EQ(rows(p.watcherList()), Strings{"/a.plt|"});
    } else {
      EXPECT_TRUE(p.printQueue().empty());
      EXPECT_TRUE(p.watcherList().empty());
      // Only what a scan would take is deleted.
      EXPECT_EQ(files(s.watchFolder), (Strings{"/notes.txt", "/sub", "/sub/b.plt"}));
    }
    pipeline.reset();
  }
}

TEST_F(PipelineTest, MissingFoldersAreCreatedOrTurnFeaturesOff) {
  s.watchFolder = tmp.at("blocked/watch");
  s.backupFolder = tmp.at("blocked/backup");
  s.savePrintedFile = true;
  writeText(tmp.at("blocked"), "a file where a folder should be");
  s.continueFolder = tmp.at("new/continue");
  Pipeline& p = make();
  p.openFolders();
  p.restoreContinueFiles();
  EXPECT_FALSE(p.watcherEnabled());
  EXPECT_FALSE(p.savesPrintedFiles());
  EXPECT_TRUE(folderExists(s.continueFolder));
  EXPECT_TRUE(p.startWatching().ok());  // nothing to watch is not a failure
  EXPECT_FALSE(p.isWatching());
}

TEST_F(PipelineTest, ContinuousPrintingFeedsTheWatchFolderAgain) {
  s.continuePrinting = true;
  Pipeline& p = make();
  drop("/a.plt");
  ASSERT_TRUE(run());
  EXPECT_TRUE(files(s.continueFolder).empty());
  EXPECT_TRUE(fileExists(s.watchFolder + "/a.plt"));
  // Demo mode never does it.
  s.live = false;
  p.setSettings(s);
  ASSERT_TRUE(moveReplace(s.watchFolder + "/a.plt", s.watchFolder + "/b.plt").ok());
  p.watcherList().append({"/b.plt", ""});
  ASSERT_TRUE(run());
  EXPECT_TRUE(fileExists(s.continueFolder + "/b.plt"));
}

TEST_F(PipelineTest, DeleteAndClearRemoveFilesAndRows) {
  Pipeline& p = make();
  for (const char* f : {"/a.plt", "/b.plt", "/c.plt"}) {
    writeText(s.watchFolder + f, "x");
    p.watcherList().append({f, ""});
  }
  p.watcherList().insert(1, {"/gone.plt", ""});
  p.deleteRow(PipelineList::Watcher, 0);
  EXPECT_FALSE(fileExists(s.watchFolder + "/a.plt"));
  EXPECT_EQ(view.log.back(), "dispose: /a.plt is Deleted.");
  // Clear stops at the first file that cannot be deleted and keeps its row.
  p.clearList(PipelineList::Watcher);
  EXPECT_EQ(view.log.back(), "dispose: /gone.plt is Delete Fail.");
  EXPECT_EQ(rows(p.watcherList()), (Strings{"/gone.plt|", "/b.plt|", "/c.plt|"}));
  p.deleteRow(PipelineList::Watcher, 0);
  p.clearList(PipelineList::Watcher);
  EXPECT_TRUE(p.watcherList().empty());
  EXPECT_TRUE(files(s.watchFolder).empty());
}

TEST_F(PipelineTest, WatchedFolderFeedsTheWatcherList) {
  clock.advance(0ms);
  Pipeline& p = make();
  p.openFolders();
  ASSERT_TRUE(p.startWatching().ok());
  EXPECT_TRUE(p.isWatching());
  p.toggleWatcherPause();
  writeText(s.watchFolder + "/new.plt", "IN;");
  writeText(s.watchFolder + "/skip.txt", "x");
  auto end = std::chrono::steady_clock::now() + 5s;
  while (p.watcherList().empty() && std::chrono::steady_clock::now() < end) loop.runOnce(10ms);
  EXPECT_EQ(rows(p.watcherList()), Strings{"/new.plt|"});
  EXPECT_EQ(view.bar[0], "Watcher Files: 1");
  p.stopWatching();
  EXPECT_FALSE(p.isWatching());
}

}  // namespace
}  // namespace plotdesk

namespace plotdesk {
namespace {

TEST(PipelineLinks, PreviewAndCutEndWaitByTransferType) {
  const std::string sent = std::string("show ") + (kA1 + 1);
  struct Case {
    int type;
    bool preview, oldMode, cutState, cutEndOk;
    Strings previewCalls;
    int cutEndWaits;
    const char* result;
  } cases[] = {
      {2, false, false, true, true, {}, 0, "OK"},
      {2, true, false, false, true, {sent, "clear"}, 0, "OK"},
      {4, false, false, true, true, {}, 1, "OK"},
      {4, false, false, true, false, {}, 1, "Fail|Machine error"},
      {5, false, false, true, true, {sent, "clear"}, 1, "OK"},
      {5, false, true, true, true, {sent}, 0, "OK"},  // the old-mode IC link keeps its drawing
      {6, true, false, false, true, {"clear"}, 0, "OK"},
      {7, true, false, true, true, {sent}, 0, "OK"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("Transfer_Type " + std::to_string(c.type));
    Harness h;
    FakePreview preview;
    h.s.transferType = c.type;
    h.s.printPreview = c.preview;
    h.s.oldProgramMode = c.oldMode;
    h.s.icCutState = c.cutState;
    h.links.script = {{true, "", false, false, c.cutEndOk}};
    h.pipeline = std::make_unique<Pipeline>(h.loop, h.clock, h.s, PipelineServices{h.engines, h.links, &preview},
                                            h.view);
    h.drop("/a.plt");
    ASSERT_TRUE(h.run([&] { return h.pipeline->printedList().rowCount() == 1 && !h.pipeline->printing(); }));
    h.pipeline->shutdown();
    EXPECT_EQ(preview.calls(), c.previewCalls);
    EXPECT_EQ(h.links.cutEndWaits.load(), c.cutEndWaits);
    std::string row = h.pipeline->printedList().cell(0, 1);
    if (row == "Fail") row += "|" + h.pipeline->printedList().cell(0, 3);
    EXPECT_EQ(row, c.result);
    EXPECT_EQ(h.view.count("print: Check Machine Cut"), c.cutEndWaits);
  }
}

}  // namespace
}  // namespace plotdesk

namespace plotdesk {
namespace {

TEST(PipelineEnablingRules, Table) {
  struct Case {
    bool watcherRows, watcherPaused, printRows, printPaused;
    PipelineEnabling expected;  // folder choice, settings, watcher delete/clear
  } cases[] = {
      {false, false, false, false, {true, true, false}},
      {true, false, false, false, {false, false, false}},
      {true, true, false, false, {true, true, true}},
      {false, false, true, false, {true, false, false}},
      {false, false, true, true, {true, true, false}},
      {true, true, true, true, {true, true, true}},
  };
  for (const auto& c : cases) {
    Harness h;
    Pipeline& p = h.make();
    if (c.watcherRows) p.watcherList().append({"/a.plt"});
    if (c.printRows) p.printQueue().append({"/b_001.plt"});
    if (c.watcherPaused) p.toggleWatcherPause();
    if (c.printPaused) p.togglePrintPause();
    EXPECT_EQ(p.enabling(), c.expected) << c.watcherRows << c.watcherPaused << c.printRows << c.printPaused;
  }
}

}  // namespace
}  // namespace plotdesk
