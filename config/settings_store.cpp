#include "config/settings_store.h"

#include <mutex>

#include "platform/files.h"
#include "platform/ini_file.h"
#include "platform/numbers.h"
#include "platform/program_folder.h"

namespace plotdesk {
namespace {

constexpr DefaultSpec toSpec(const char* text) { return {text, false}; }
constexpr DefaultSpec toSpec(DefaultSpec spec) { return spec; }
#define PD_NONE (DefaultSpec{nullptr, false})
#define PD_HOME(x) (DefaultSpec{x, true})

constexpr std::array<KeyInfo, static_cast<size_t>(KeyId::AxisXAvoidance) + 1> kKeys = {{
#define PD_KEY(Id, File, Section, Key, Type, Read, Created, G, S) \
  {#Id, SettingsFile::File, Section, Key, KeyType::Type, toSpec(Read), toSpec(Created), G != 0, S != 0},
#include "config/settings_keys.def"
#undef PD_KEY
}};

bool equalsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

std::string specText(const DefaultSpec& spec, const std::string& folder) {
  if (!spec.text) return {};
  return spec.home ? folder + spec.text : std::string(spec.text);
}

std::string formatTyped(KeyType type, std::string_view text) {
  switch (type) {
    case KeyType::INT: return formatInt(parseInt64(text));
    case KeyType::REAL: return formatFixed(parseReal(text), 6);
    case KeyType::REAL2: return formatFixed(parseReal(text), 2);
    case KeyType::TEXT: break;
  }
  return std::string(text);
}

std::mutex& folderMutex() {
  static std::mutex m;
  return m;
}
std::string& defaultFolder() {
  static std::string folder;
  return folder;
}

}  // namespace

const std::array<KeyInfo, static_cast<size_t>(KeyId::AxisXAvoidance) + 1>& settingsKeys() { return kKeys; }
const KeyInfo& keyInfo(KeyId id) { return kKeys[static_cast<size_t>(id)]; }

const KeyInfo* findKey(std::string_view section, std::string_view key) {
  for (const auto& k : kKeys) {
    if (equalsNoCase(k.section, section) && equalsNoCase(k.key, key)) return &k;
  }
  return nullptr;
}

void SettingsStore::setDefaultProgramFolder(std::string folder) {
  std::lock_guard g(folderMutex());
  defaultFolder() = withTrailingSlash(folder);
}

const std::string& SettingsStore::defaultProgramFolder() {
  std::lock_guard g(folderMutex());
  if (defaultFolder().empty()) defaultFolder() = resolveProgramFolder(std::nullopt);
  return defaultFolder();
}

SettingsStore::SettingsStore() : SettingsStore(defaultProgramFolder()) {}

SettingsStore::SettingsStore(std::string programFolder) : folder_(withTrailingSlash(programFolder)) {
  createMissingFiles();
}

std::string SettingsStore::path(SettingsFile file) const {
  return folder_ + (file == SettingsFile::PRG ? "QK_PrgVersion.ini" : "QR_DataConfig.ini");
}

void SettingsStore::createMissingFiles() const {
  for (SettingsFile file : {SettingsFile::PRG, SettingsFile::DATA}) {
    std::string target = path(file);
    if (fileExists(target)) continue;
    if (!folderExists(folder_)) (void)createFolder(folder_);
    // Same formatting and placement as the setters, written in one step.
    std::string content;
    for (const auto& k : kKeys) {
      if (k.file != file || !k.createdAs.text) continue;
      content = iniApplyWrite(content, k.section, k.key, formatTyped(k.type, specText(k.createdAs, folder_)));
    }
    if (fileExists(target)) continue;  // another process was quicker
    (void)writeFileAtomic(target, content);  // a failed write leaves the read defaults in force
  }
}

std::string SettingsStore::readDefaultText(const KeyInfo& key) const { return specText(key.readDefault, folder_); }

std::string SettingsStore::readText(const KeyInfo& key) const {
  return iniRead(path(key.file), key.section, key.key, readDefaultText(key));
}

int SettingsStore::readInt(const KeyInfo& key) const { return parseInt(readText(key)); }
double SettingsStore::readReal(const KeyInfo& key) const { return parseReal(readText(key)); }

std::string SettingsStore::readFormatted(const KeyInfo& key) const {
  switch (key.type) {
    case KeyType::INT: return formatInt(readInt(key));
    case KeyType::REAL:
    case KeyType::REAL2: return formatFixed(readReal(key), 6);
    case KeyType::TEXT: break;
  }
  return readText(key);
}

Status SettingsStore::writeText(const KeyInfo& key, std::string_view value) {
  return iniWrite(path(key.file), key.section, key.key, value);
}

Status SettingsStore::writeInt(const KeyInfo& key, long long value) { return writeText(key, formatInt(value)); }

Status SettingsStore::writeReal(const KeyInfo& key, double value) {
  return writeText(key, formatFixed(value, key.type == KeyType::REAL2 ? 2 : 6));
}

Status SettingsStore::writeParsed(const KeyInfo& key, std::string_view value) {
  return writeText(key, formatTyped(key.type, value));
}

std::string SettingsStore::localisedText(int languageId, std::string_view key, std::string_view fallback) const {
  const char* file = nullptr;
  switch (languageId) {
    case 1: file = "QR_Lang_Chs.ini"; break;
    case 2: file = "QR_Lang_Tw.ini"; break;
    case 3: file = "QR_Lang_Korea.ini"; break;
    case 4: file = "QR_Lang_Tur.ini"; break;
    default: return std::string(fallback);
  }
  return iniRead(folder_ + file, "Language", key, fallback);
}

}  // namespace plotdesk
