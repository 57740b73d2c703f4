#pragma once
// User-interface texts by id. English is compiled in; a translation file
// (data/lang/QKPlotmover_<lang>.ini, section [Strings], id=text, UTF-8)
// overrides any id it holds.
#include <map>
#include <ostream>
#include <string>

namespace plotdesk {

// Ids of the texts used across windows.
enum StringId : int {
  IDS_ABOUT = 101,
  IDS_PAUSE = 103,
  IDS_SOCKET_INIT_FAIL = 104,
  IDS_ERROR = 106,
  IDS_CONTINUE = 107,
  IDS_DEMO_WARNING = 113,
  IDS_PROMPT = 174,
};

// The English text of `id`, or "" when the id is unknown.
const char* englishString(int id);

// The language file name for `Program_LanguageID` (unlisted ids mean English, "").
std::string languageFileName(int languageId);
// English, Chinese(Simplified), ... : display names by language id 0-6.
int languageCount();

class StringTable {
 public:
  StringTable() = default;
  // Loads the translation for `languageId` from `langFolder`. A missing or
  // unreadable file leaves English in force and writes one warning to `warn`.
  void load(int languageId, const std::string& langFolder, std::ostream& warn);
  std::string text(int id) const;
  int languageId() const { return languageId_; }

 private:
  int languageId_ = 0;
  std::map<int, std::string> overrides_;
};

// The table the running program uses (loaded once at start-up).
StringTable& strings();
inline std::string tr(int id) { return strings().text(id); }

}  // namespace plotdesk
