#pragma once
// The plot disposer: reads one source plot file, runs the enabled processing
// steps in their fixed order and writes one machine plot file per page.
#include <string>
#include <vector>

#include "engine/console_job.h"
#include "engine/dispose_engine.h"
#include "engine/drawing.h"
#include "engine/plot_reader.h"

namespace plotdesk::engine {

class PlotDisposer final : public DisposeEngine {
 public:
  explicit PlotDisposer(DisposeSettings settings);
  PlotDisposer(const PlotDisposer&) = delete;  // the reader refers to drawing_
  PlotDisposer& operator=(const PlotDisposer&) = delete;

  Status dispose(const DisposeJob& job, DisposeOwner& owner) override;

  // One processing step of the run. A step without `run` is not implemented
  // yet: a job that enables it fails before reading, naming the step, rather
  // than silently producing different cuts.
  struct Step {
    const char* name;
    bool enabled;
    Status (PlotDisposer::*run)();
  };
  // The steps between reading and writing, in run order.
  std::vector<Step> steps();
  // A console job: the same reading and steps, then the console layout into
  // job.output instead of page files.
  Status disposeConsoleJob(const ConsoleJob& job);

  // The drawing after the steps. A dispose into page files shortens strokes
  // page by page while writing (see writePages), so there the drawing keeps
  // its polylines as they were before shortening.
  const Drawing& drawing() const { return drawing_; }
  const DisposeSettings& settings() const { return settings_; }

 private:
  Status copySource(const DisposeJob& job, DisposeOwner& owner);
  Status writePages(const DisposeJob& job, DisposeOwner& owner);
  // Reads the source and runs the enabled steps.
  Status process(const std::string& source, DisposeOwner& owner);
  Status convertCircles();
  Status convertText();
  Status removeSawtoothStep();
  Status deletePointsStep();
  Status addPointsStep();
  Status align();
  Status paginate();
  Status linkStrokes();
  Status orderPens();
  Status shortenStrokes();

  // Stroke shortening waits for writePages, which applies it to one page at
  // a time: it turns every segment into a polyline of its own, and a marker
  // holds millions of segments.
  bool shortenWhileWriting_ = false;
  DisposeSettings settings_;
  Drawing drawing_;
  PlotReader reader_;
};

}  // namespace plotdesk::engine
