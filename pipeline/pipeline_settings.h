#pragma once
// The settings the pipeline works with, copied once when the window opens
// (and again after the settings dialog closes without saving).
#include <string>

#include "watcher/directory_watcher.h"

namespace plotdesk {

class SettingsStore;

struct PipelineSettings {
  bool live = true;  // Server mode; Demo mode neither watches nor prints continuously

  std::string watchFolder;     // Watcher_Dir
  std::string disposeFolder;   // program folder + "DisposeFile_Folder"
  std::string continueFolder;  // program folder + "ContinueFile_Folder"
  std::string backupFolder;    // Save_PrintedFile_Dir

  int fileType = 0;
  int transferType = 0;
  int splitAlignType = 1;
  bool savePrintedFile = false;
  bool saveDisposedFile = false;
  int disposeDelaySeconds = 1;
  int transferDelaySeconds = 5;
  bool printUnfinished = false;
  bool fileCodeConversion = false;
  bool dropMissingPrintFile = false;  // FNExist_DelItem
  bool continuePrinting = false;
  bool printPreview = false;
  bool watcherEnabled = true;
  bool watchSubFolders = false;
  std::string watcherFilter = "*.PLT;*.HPG;";  // upper case
  bool icCutState = false;
  bool oldProgramMode = false;
  WatchMode watchMode = WatchMode::Automatic;

  // Reads every key through a fresh store of `programFolder` (ending with '/').
  static PipelineSettings fromStore(const std::string& programFolder, bool live);
};

}  // namespace plotdesk
