#include "pipeline/pipeline_settings.h"

#include <cctype>

#include "config/settings_store.h"

namespace plotdesk {
namespace {

std::string upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

std::string withoutTrailingSlash(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

}  // namespace

PipelineSettings PipelineSettings::fromStore(const std::string& programFolder, bool live) {
  SettingsStore store(programFolder);
  PipelineSettings s;
  s.live = live;
  s.watchFolder = withoutTrailingSlash(store.Watcher_Dir());
  s.disposeFolder = store.programFolder() + "DisposeFile_Folder";
  s.continueFolder = store.programFolder() + "ContinueFile_Folder";
  s.backupFolder = withoutTrailingSlash(store.Save_PrintedFile_Dir());
  s.fileType = store.File_Type();
  s.transferType = store.Transfer_Type();
  s.splitAlignType = store.Split_AlignType();
  s.savePrintedFile = store.Save_PrintedFile_Enabled() == 1;
  s.saveDisposedFile = store.Save_DisposedFile_Enabled() == 1;
  s.disposeDelaySeconds = store.Dispose_DelayTime();
  s.transferDelaySeconds = store.Transfer_DelayTime();
  s.printUnfinished = store.Print_Unfinished() == 1;
  s.fileCodeConversion = store.FileCode_Conv() == 1;
  s.dropMissingPrintFile = store.FNExist_DelItem() == 1;
  s.continuePrinting = store.Continue_PrintFile() == 1;
  s.printPreview = store.Print_PreView() == 1;
  s.watcherEnabled = store.Watcher_Enabled() == 1;
  s.watchSubFolders = store.Watcher_SubDir() == 1;
  s.watcherFilter = upper(store.Watcher_Filter());
  s.icCutState = store.IC_CutState() == 1;
  s.oldProgramMode = store.OldProram_Mode() == 1;
  switch (store.Watcher_Mode()) {
    case 1: s.watchMode = WatchMode::Notify; break;
    case 2: s.watchMode = WatchMode::Poll; break;
    default: s.watchMode = WatchMode::Automatic; break;
  }
  return s;
}

}  // namespace plotdesk
