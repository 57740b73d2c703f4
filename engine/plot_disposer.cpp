#include "engine/plot_disposer.h"

#include <algorithm>
#include <cstdio>
#include <future>

#include "engine/auto_link.h"
#include "engine/pagination.h"
#include "engine/pen_order.h"
#include "engine/vcut.h"
#include "engine/point_filters.h"
#include "engine/text_strokes.h"
#include "engine/plot_writer.h"
#include "platform/files.h"
#include "platform/program_folder.h"

namespace plotdesk::engine {
namespace {

constexpr size_t kMaxNameBytes = 255;
constexpr size_t kMaxBaseBytes = 50;

// Largest prefix of `s` of at most `limit` bytes that ends on a UTF-8
// character boundary.
std::string cutAtCharacter(const std::string& s, size_t limit) {
  if (s.size() <= limit) return s;
  size_t n = limit;
  while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
  return s.substr(0, n);
}

}  // namespace

Result<std::string> outputPath(const std::string& folder, const std::string& source, const std::string& timestamp,
                               int page) {
  std::string name(fileNamePart(source));
  size_t dot = name.rfind('.');
  std::string ext = dot == std::string::npos ? std::string() : name.substr(dot);
  std::string base = dot == std::string::npos ? name : name.substr(0, dot);
  if (!ext.empty()) base = cutAtCharacter(base, kMaxBaseBytes);
  char number[16];
  std::snprintf(number, sizeof number, "%03d", page + 1);
  std::string tail = "_" + timestamp + "_" + number + ext;
  if (tail.size() > kMaxNameBytes) return fail("the output name for '" + name + "' cannot fit in 255 bytes");
  base = cutAtCharacter(base, kMaxNameBytes - tail.size());
  return joinPath(folder, base + tail);
}

Result<std::unique_ptr<DisposeEngine>> makeDisposeEngine(const DisposeSettings& settings) {
  if (settings.storedAlignType == 0) {
    return fail("the legacy engine (alignment type \"Old type\") is not available in this version");
  }
  return std::unique_ptr<DisposeEngine>(std::make_unique<PlotDisposer>(settings));
}

PlotDisposer::PlotDisposer(DisposeSettings settings)
    : settings_(std::move(settings)), reader_(drawing_, settings_.readerOptions()) {}

std::vector<PlotDisposer::Step> PlotDisposer::steps() {
  const DisposeSettings& s = settings_;
  return {
      {"circle conversion", s.aaToLine, &PlotDisposer::convertCircles},
      {"label stroke conversion", s.fontDispose, &PlotDisposer::convertText},
      {"sawtooth removal", s.removeSawtooth, &PlotDisposer::removeSawtoothStep},
      {"point deletion", s.deletePoints, &PlotDisposer::deletePointsStep},
      {"point addition", s.addPoints, &PlotDisposer::addPointsStep},
      {"alignment", true, &PlotDisposer::align},
      {"page division", true, &PlotDisposer::paginate},
      {"stroke linking", s.autoLink, &PlotDisposer::linkStrokes},
      {"pen order", s.spOrder, &PlotDisposer::orderPens},
      {"stroke shortening", s.leaveCut, &PlotDisposer::shortenStrokes},
  };
}

Status PlotDisposer::convertCircles() {
  circlesToPolylines(reader_);
  return {};
}

Status PlotDisposer::convertText() {
  if (drawing_.labels.empty()) return {};  // the font is needed only for labels
  Result<StrokeFont> font = StrokeFont::load(findDataFile(settings_.programFolder, kStrokeFontFileName));
  if (!font) return fail("labels cannot be turned into strokes: " + font.error());
  return convertLabels(reader_, *font,
                       {settings_.othenType, settings_.fontScaleY, settings_.fontSpace, settings_.positionOptimize});
}

Status PlotDisposer::removeSawtoothStep() {
  removeSawtooth(drawing_);
  return {};
}

Status PlotDisposer::deletePointsStep() {
  deletePoints(drawing_, {settings_.dpIntervalPoints, settings_.dpMinLength, settings_.dpMinAngle});
  return {};
}

Status PlotDisposer::addPointsStep() {
  addPoints(drawing_, {settings_.apTimes, settings_.apMinLength, settings_.apMaxLength, settings_.apMinAngle,
                       settings_.apMaxAngle});
  return {};
}

Status PlotDisposer::align() {
  alignDrawing(drawing_, settings_.alignType);
  return {};
}

Status PlotDisposer::paginate() {
  return paginateDrawing(drawing_, settings_.fileType, {settings_.pageLength, settings_.pageWidth});
}

Status PlotDisposer::linkStrokes() {
  reader_.commit();
  reader_.penUp();
  linkPolylines(drawing_.polylines, settings_.minDistanceClose);
  return {};
}

Status PlotDisposer::orderPens() {
  if (settings_.sooAddPagebreak) settings_.addPG = false;  // the writer puts "PG;" after every slot instead
  orderByPen(drawing_, settings_.spOut, settings_.addSPNewFile);
  return {};
}

Status PlotDisposer::shortenStrokes() {
  if (shortenWhileWriting_) return {};
  applyVCut(drawing_.polylines, settings_.spDecomp, settings_.distLeaveCut * 40.0, settings_.distLeaveCut2 * 40.0);
  return {};
}

Status PlotDisposer::dispose(const DisposeJob& job, DisposeOwner& owner) {
  // ControlMacPrg only decides whether there is anything to process: the
  // console layout belongs to console jobs, a pipeline job always gets pages.
  if (!settings_.paginationEnabled() && !settings_.optimise && !settings_.controlMacPrg) return copySource(job, owner);
  shortenWhileWriting_ = settings_.leaveCut;
  Status st = process(job.source, owner);
  if (st) st = writePages(job, owner);
  shortenWhileWriting_ = false;
  return st;
}

Status PlotDisposer::disposeConsoleJob(const ConsoleJob& job) {
  CollectingOwner quiet;  // a console job reports no progress
  if (Status st = process(job.source, quiet); !st) return st;
  Result<std::string> text = consoleJobText(drawing_, settings_, job);
  if (!text) return fail(text.error());
  if (Status st = writeFileAtomic(job.output, *text); !st) return fail("cannot write the console job file: " + st.error());
  return {};
}

Status PlotDisposer::process(const std::string& source, DisposeOwner& owner) {
  std::vector<Step> run = steps();
  for (const Step& step : run) {
    if (step.enabled && step.run == nullptr) {
      return fail(std::string("the dispose needs the ") + step.name + " step, which is not available yet");
    }
  }
  Status loaded = reader_.loadFile(source, [&owner](int percent) {
    owner.disposeProgress(percent);
    return !owner.disposeCancelled();
  });
  if (!loaded) return loaded;
  for (const Step& step : run) {
    if (!step.enabled) continue;
    if (Status st = (this->*step.run)(); !st) return st;
  }
  return {};
}

Status PlotDisposer::copySource(const DisposeJob& job, DisposeOwner& owner) {
  Result<std::string> target = outputPath(job.outputFolder, job.source, job.timestamp, 0);
  if (!target) return fail(target.error());
  if (Status st = copyFile(job.source, *target); !st) return fail("cannot copy the plot file: " + st.error());
  owner.appendDisposedOutput(*target + ";" + sizeText(0, 0));
  return {};
}

Status PlotDisposer::writePages(const DisposeJob& job, DisposeOwner& owner) {
  std::vector<PageContent> pages = collectPages(drawing_);
  // Stroke shortening, when it waited for this, is applied to the polylines
  // of one page at a time, just before the page is laid out, so only one
  // page's segments are ever held. Elements keep their order within a page
  // and shortening keeps every page's list order, so the page files are those
  // of shortening the whole drawing first. A page whose only polylines are
  // shortened ones of fewer than two vertices would be left empty: it yields
  // no file, as it would not have been collected.
  const bool shorten = shortenWhileWriting_;
  if (shorten) {
    std::erase_if(pages, [this](const PageContent& page) {
      if (!page.circles.empty() || !page.labels.empty()) return false;
      return std::none_of(page.polylines.begin(), page.polylines.end(), [this](std::size_t i) {
        const Polyline& p = drawing_.polylines[i];
        return !vCutsPen(settings_.spDecomp, p.header.pen) || p.vertices.size() > 1;
      });
    });
  }
  Drawing shortened;  // the current page's polylines, shortened, with all circles and labels
  PageContent shortenedPage;
  if (shorten) {
    shortened.circles.swap(drawing_.circles);
    shortened.labels.swap(drawing_.labels);
  }
  // The circles and labels go back whichever way this returns.
  struct GiveBack {
    Drawing& from;
    Drawing& to;
    bool active;
    ~GiveBack() {
      if (!active) return;
      to.circles.swap(from.circles);
      to.labels.swap(from.labels);
    }
  } giveBack{shortened, drawing_, shorten};
  auto shortenPage = [&](const PageContent& page) -> const PageContent& {
    std::vector<Polyline>& lines = shortened.polylines;
    applyVCut(drawing_.polylines, page.polylines, lines, settings_.spDecomp, settings_.distLeaveCut * 40.0,
              settings_.distLeaveCut2 * 40.0);
    shortenedPage.page = page.page;
    shortenedPage.polylines.resize(lines.size());
    shortenedPage.circles = page.circles;
    shortenedPage.labels = page.labels;
    shortenedPage.box = {};
    for (std::size_t i = 0; i < lines.size(); ++i) {
      shortenedPage.polylines[i] = i;
      shortenedPage.box.addPolyline(lines[i]);
    }
    for (std::size_t i : page.circles) shortenedPage.box.addCircle(shortened.circles[i]);
    for (std::size_t i : page.labels) shortenedPage.box.addLabel(shortened.labels[i]);
    return shortenedPage;
  };
  std::vector<std::string> written;
  std::vector<std::string> items;
  // Page n is laid out while page n - 1 goes to disk: the layout keeps the
  // processor busy, the write mostly waits for the disk. Two buffers take
  // turns, each reused from page to page.
  std::string buffers[2];
  std::future<Status> inFlight;
  std::string inFlightPath;
  auto finishWrite = [&]() -> Status {
    if (!inFlight.valid()) return {};
    Status st = inFlight.get();
    if (st) written.push_back(inFlightPath);
    return st;
  };
  // A job is all or nothing: the pipeline deletes the source after a success.
  auto undo = [&](const std::string& why) {
    (void)finishWrite();
    for (const std::string& path : written) (void)deleteFile(path);
    return fail(why);
  };
  for (std::size_t n = 0; n < pages.size(); ++n) {
    const PageContent& page = shorten ? shortenPage(pages[n]) : pages[n];
    std::string& bytes = buffers[n % 2];
    // The pump between pages goes on every page file but the last one written.
    writePage(bytes, shorten ? shortened : drawing_, page, settings_, n + 1 == pages.size(), reader_.state().feed);
    if (Status st = finishWrite(); !st) return undo("cannot write a page file: " + st.error());
    if (owner.disposeCancelled()) return undo("the dispose was cancelled");
    Result<std::string> path = outputPath(job.outputFolder, job.source, job.timestamp, page.page);
    if (!path) return undo(path.error());
    inFlightPath = *path;
    // Runs in place at get() when no thread can be started.
    inFlight = std::async(std::launch::async | std::launch::deferred,
                          [&bytes, target = *path] { return writeFileAtomic(target, bytes); });
    items.push_back(*path + ";" + sizeText(page.box.maxX, page.box.maxY));
  }
  if (Status st = finishWrite(); !st) return undo("cannot write a page file: " + st.error());
  for (const std::string& item : items) owner.appendDisposedOutput(item);
  return {};
}

}  // namespace plotdesk::engine
