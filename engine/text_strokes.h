#pragma once
// Labels to strokes: a cutter cannot draw HPGL labels, so each label is
// replaced by polylines taken from the stroke font. Printable ASCII and GB2312
// double-byte characters are drawn; other bytes are skipped.
#include "engine/plot_reader.h"
#include "engine/stroke_font.h"
#include "platform/result.h"

namespace plotdesk::engine {

struct TextStrokeSettings {
  bool useRunRise = false;         // rotate by the label's run and rise rather than its angle
  double scaleY = 100.0;           // percent
  double space = 3.75;             // mm between characters, and added to a space's width
  bool positionOptimize = false;  // shift the text back along its direction by its length
};

// Converts every label, in list order, through the reader's commit (each
// polyline takes the label's page, pen and line type) and empties the label
// list. Commits any pending element first. Fails, naming the label, when its
// strokes would land outside the usable coordinate range.
Status convertLabels(PlotReader& reader, const StrokeFont& font, const TextStrokeSettings& settings);

}  // namespace plotdesk::engine
