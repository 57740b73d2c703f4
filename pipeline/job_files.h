#pragma once
// Which files in the watch folder are jobs, and the names the pipeline gives
// them. An entry name is a path relative to its folder beginning with '/':
// "/part.plt" or "/sub/part.plt".
#include <string>
#include <string_view>
#include <vector>

namespace plotdesk {

// True when `path` names a plot job under `filter` (the ';'-separated
// Watcher_Filter): each entry is a wildcard pattern compared with the file
// name ignoring letter case, so "*.PLT" takes "a.plt" and "b.Plt" but not
// "c.plt.bak"; "*.*" takes every file. The transfer marker never is a job.
bool isJobName(std::string_view path, std::string_view filter);

// The jobs in `folder`, as entry names in name order: files only, the marker
// left out, sub-folders (except those whose name begins with a dot) only with
// `subFolders`. A folder that cannot be read gives none.
std::vector<std::string> scanJobs(const std::string& folder, std::string_view filter, bool subFolders);

// "/a_20110405_134501.plt" for source "/w/a.plt" and timestamp
// "20110405_134501": base name and extension split at the last dot of the
// file name.
std::string backupSourceName(std::string_view sourcePath, std::string_view timestamp);

// "/name" from a full path or entry name: the text from the last '/'.
std::string nameWithSlash(std::string_view path);

}  // namespace plotdesk
