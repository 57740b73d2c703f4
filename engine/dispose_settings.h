#pragma once
// Every setting the dispose engine uses, read once before a job. The engine
// never touches the settings files after the snapshot, so a job sees one
// consistent set of values even while the operator edits the settings.
#include <array>
#include <string>

#include "engine/plot_reader.h"

namespace plotdesk {
class SettingsStore;
}

namespace plotdesk::engine {

struct DisposeSettings {
  // Page size (mm); pagination is on only when enabled and both are above 0.
  bool splitPageEnabled = false;
  double pageWidth = 1500.0;
  double pageLength = 1200.0;

  // Read from the store only with pagination on; otherwise the engine's own values.
  int fileType = 5;
  std::string splitLabel = "PG |PG;|NR |NR;";
  double scale = 1.0;  // Graphics_Zoom / 100
  bool addPG = false;
  bool scanExtContour = false;
  bool aaToLine = false;
  bool addPagiPG = false;
  bool removeSawtooth = true;
  int alignType = 1;
  bool autoCutMaterial = false;
  bool autoFeedMaterial = false;
  bool dotlineToLine = false;

  // Read from the store only with optimisation on (Optimize_Function 1).
  bool optimise = false;
  bool cutterHandle = false;
  bool autoLink = false;
  double minDistanceClose = 0.0001;
  bool leaveCut = false;
  double distLeaveCut = 1.0;
  double distLeaveCut2 = 1.0;
  std::array<bool, 8> spDecomp{};
  bool spOrder = false;
  std::array<int, 8> spOut{1, 2, 3, 4, 5, 6, 7, 8};
  // Only with optimisation and pen order on.
  bool sooAddPagebreak = false;
  bool addSPNewFile = false;

  // Always read.
  bool fontDispose = false;
  bool othenType = false;
  double fontScaleX = 100.0;
  double fontScaleY = 100.0;
  double fontSpace = 3.75;
  bool positionOptimize = false;
  bool deletePoints = false;
  int dpIntervalPoints = 3;
  double dpMinLength = 5.0;
  double dpMinAngle = 5.0;
  bool addPoints = false;
  int apTimes = 1;
  double apMinLength = 5.0;
  double apMaxLength = 20.0;
  double apMinAngle = 2.0;
  double apMaxAngle = 10.0;
  bool holdPosition = false;
  bool inkjetMark = false;
  bool inkjetMinPosit = false;
  double markLength = 40.0;
  double markWidth = 1.0;
  bool strokeSet = false;
  std::array<int, 8> strokeSP{1, 2, 3, 2, 2, 2, 2, 2};
  bool controlMacPrg = false;
  bool cutBeginFeed = false;
  int machineType = 0;

  // The value stored in Split_AlignType whatever pagination says: it picks the engine.
  int storedAlignType = 1;
  // Where the stroke font and other data files are looked up.
  std::string programFolder;

  bool paginationEnabled() const { return splitPageEnabled && pageWidth > 0 && pageLength > 0; }
  ReaderOptions readerOptions() const;
};

DisposeSettings readDisposeSettings(const SettingsStore& store);

}  // namespace plotdesk::engine
