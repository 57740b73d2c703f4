#pragma once
// Profile (INI) files: "[Section]" headers and "key=value" lines.
//  - section and key names match case-insensitively; the first match wins;
//  - key = text before the first '=', trimmed; value trimmed, one pair of
//    surrounding quotes removed; ';' inside a value is data;
//  - CRLF, LF and a UTF-8 byte-order mark are accepted;
//  - reads are cut to kIniValueMax bytes;
//  - a write replaces the key's line in place, or inserts it at the end of its
//    section (appending the section when missing), keeping every other byte.
// Writes are atomic (temporary file, then rename) and serialised across
// threads and processes.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/result.h"

namespace plotdesk {

inline constexpr size_t kIniValueMax = 259;

// Reads from a file; a missing file, section or key gives `fallback` (also cut).
std::string iniRead(const std::string& path, std::string_view section, std::string_view key,
                    std::string_view fallback);
// The same lookup on file content already in memory.
std::string iniLookup(std::string_view content, std::string_view section, std::string_view key,
                      std::string_view fallback);
// The key/value pairs of the first matching section, in file order (values cut).
std::vector<std::pair<std::string, std::string>> iniSection(std::string_view content,
                                                            std::string_view section);

Status iniWrite(const std::string& path, std::string_view section, std::string_view key,
                std::string_view value);
Status iniRemoveKey(const std::string& path, std::string_view section, std::string_view key);

// Pure edit used by iniWrite: returns the new content.
std::string iniApplyWrite(std::string_view content, std::string_view section, std::string_view key,
                          std::string_view value);

}  // namespace plotdesk
