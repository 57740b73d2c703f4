#pragma once
// The console job: one drawing disposed for the machine control console into
// a single short file at the console's output path, instead of page files.
//
//   IN;  FN<k>,<k>;  [CL.. ; SP1;LT;PU..;PD..; [CM..;]]  body  SP1;LT;PU<X5>,0;  [PG;]
#include <array>
#include <string>

#include "engine/dispose_settings.h"
#include "engine/drawing.h"
#include "platform/result.h"

namespace plotdesk::engine {

struct ConsoleJob {
  std::string source;
  std::string output;          // the file the console sends
  std::array<float, 5> x{};    // X1..X5 from the job list row, mm
  int number = 0;              // job number, written in FN
};

// The console job file for a drawing that went through the dispose steps.
// Refused unless every element is on page 0 and there is at least one (a
// console job is one piece of material). With CutBegin_Feed on, the feed and
// cut prologue is written from the page size and X1..X4, and the drawing is
// moved along X so that its left edge meets the cut.
Result<std::string> consoleJobText(Drawing& drawing, const DisposeSettings& settings, const ConsoleJob& job);

}  // namespace plotdesk::engine
