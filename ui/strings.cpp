#include "ui/strings.h"

#include "platform/files.h"
#include "platform/ini_file.h"
#include "platform/numbers.h"

namespace plotdesk {
namespace {

struct Entry {
  int id;
  const char* text;
};

constexpr Entry kEnglish[] = {
    {101, "&About Plotmover..."},
    {103, "Pause"},
    {104, "Error: The network socket layer cannot be initialised!"},
    {106, "Error"},
    {107, "Continue"},
    {108, "File Name"},
    {109, "Cause"},
    {110, "File Size(mm)"},
    {111, "Result"},
    {112, "Time"},
    {113, "The method of open procedures, function is invalid!"},
    {114, "Connect machine fail!"},
    {115, "Error: Link Server fail!"},
    {116, "Transfer-Type"},
    {117, "Pagination"},
    {118, "IC"},
    {119, "Optimize"},
    {120, "Optimize Other"},
    {121, "Options"},
    {122, "Server closed!"},
    {123, "Error: Listen fail!"},
    {124, "Server Opened."},
    {125, "Error: Initialize Net Socket fail!"},
    {126, "Error: Create Socket fail!"},
    {127, "<DEL>"},
    {128, "Error: Creating Optimize thread failed!"},
    {129, "Error: Creating Transfer thread failed!"},
    {131, "Error: Print-View File Name Can't NULL!"},
    {132, "Error: Pre-View File Isn't Exist!"},
    {134, "Error: Please pause print work, than click pre-view file!"},
    {136, "Error: Machine net Using......"},
    {138, "Error: Zuda Printing be Canceled whit User!"},
    {140, "Error: Net Send Zuda fail!"},
    {142, "Error: Net Receive Zuda Fail!"},
    {143, "Error: Machine Cut Running... ..."},
    {144, "Error: Zuda Printing be Canceled whit Machine!"},
    {146, "Machine return unknown data!"},
    {148, "Other Error!"},
    {149, "Print File OK."},
    {150, "Error: Print File is Null!"},
    {152, "Send file transfer end-command fail."},
    {153, "Send file transfer Error-command fail."},
    {155, "Error: Image color mode error!"},
    {156, "IC Other"},
    {158, "ID"},
    {160, "Control Mac"},
    {170, "Name"},
    {172, "Path"},
    {174, "Prompt"},
    {177, "Inkjet"},
    {178, "Cut"},
    {179, "Half-Cut"},
    {180, "Old type"},
    {181, "Holding position"},
    {182, "Under-Left aligned"},
    {183, "Del negative-coordinate"},
    {184, "Single-Page File divide up with Coordinates"},
    {185, "Single-Page File divide up with Page-break"},
    {186, "Mulit-Page File divide up with Coordinates"},
    {187, "Mulit-Page File divide up with Page-break"},
    {188, "Mulit-Page File divide up with hard partition"},
    {189, "Needn't divide up"},
    {190, "English"},
    {191, "Chinese(Simplified)"},
    {192, "Chinese(Traditional)"},
    {193, "Korea"},
    {194, "Turkic"},
    {218, "Label"},
    {219, "Receipt"},
    {220, "Slovenia"},
    {221, "Poland"},
};

constexpr const char* kLanguageFiles[] = {
    "QKPlotmover_Eng.ini", "QKPlotmover_Chs.ini",    "QKPlotmover_TW.ini",     "QKPlotmover_Korean.ini",
    "QKPlotmover_Tur.ini", "QKPlotmover_Slovenia.ini", "QKPlotmover_Poland.ini",
};

}  // namespace

const char* englishString(int id) {
  for (const auto& e : kEnglish) {
    if (e.id == id) return e.text;
  }
  return "";
}

int languageCount() { return static_cast<int>(std::size(kLanguageFiles)); }

std::string languageFileName(int languageId) {
  if (languageId <= 0 || languageId >= languageCount()) return "";
  return kLanguageFiles[languageId];
}

void StringTable::load(int languageId, const std::string& langFolder, std::ostream& warn) {
  overrides_.clear();
  languageId_ = (languageId > 0 && languageId < languageCount()) ? languageId : 0;
  if (languageId_ == 0) return;
  std::string path = joinPath(langFolder, languageFileName(languageId_));
  auto content = readFile(path);
  if (!content) {
    warn << "plotdesk: warning: language file " << path << " cannot be read (" << content.error()
         << "); using English\n";
    languageId_ = 0;
    return;
  }
  for (auto& [key, value] : iniSection(*content, "Strings")) {
    size_t used = 0;
    int id = parseInt(key, &used);
    if (used == key.size() && used > 0) overrides_[id] = value;
  }
}

std::string StringTable::text(int id) const {
  if (auto it = overrides_.find(id); it != overrides_.end()) return it->second;
  return englishString(id);
}

StringTable& strings() {
  static StringTable table;
  return table;
}

}  // namespace plotdesk
