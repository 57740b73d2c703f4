#pragma once
// File and folder operations. Paths use '/' and are raw bytes; an over-long
// path is an error, never cut.
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"

namespace plotdesk {

bool folderExists(const std::string& path);
bool fileExists(const std::string& path);  // a regular file
// Creates the folder and its parents; succeeds only when a folder exists afterwards.
Status createFolder(const std::string& path);
// Moves with replace; works across file systems (copy, fsync, rename, then unlink).
Status moveReplace(const std::string& from, const std::string& to);
Status copyFile(const std::string& from, const std::string& to);  // overwrites
Status deleteFile(const std::string& path);
Status deleteTree(const std::string& path);
Result<long long> fileSize(const std::string& path);
Result<std::string> readFile(const std::string& path);
// Writes to a temporary file in the same folder, fsyncs, then renames into place.
Status writeFileAtomic(const std::string& path, std::string_view content);

struct FolderEntry {
  std::string relative;  // "/name" or "/sub/name"
  bool isFolder = false;
};
// Entries of `folder` sorted by name; with `recursive`, sub-folders are entered.
Result<std::vector<FolderEntry>> scanFolder(const std::string& folder, bool recursive);

// Path text helpers.
std::string joinPath(std::string_view folder, std::string_view name);  // exactly one '/' between
std::string withTrailingSlash(std::string_view folder);
std::string_view fileNamePart(std::string_view path);  // text after the last '/'
std::string_view folderPart(std::string_view path);    // up to and including the last '/'
std::string_view extensionOf(std::string_view path);   // after the last dot of the name, "" if none

}  // namespace plotdesk
