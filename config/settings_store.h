#pragma once
// The one accessor of persistent settings. Every user makes a fresh store,
// reads or writes what it needs and drops it; nothing is cached, so the INI
// files are always the single source of truth. Constructing a store creates
// missing settings files with factory values.
#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "platform/result.h"

namespace plotdesk {

enum class SettingsFile { PRG, DATA };
enum class KeyType { INT, REAL, REAL2, TEXT };

struct DefaultSpec {
  const char* text = nullptr;  // nullptr: none
  bool home = false;           // the program folder comes first
};

struct KeyInfo {
  const char* id;
  SettingsFile file;
  const char* section;
  const char* key;
  KeyType type;
  DefaultSpec readDefault;
  DefaultSpec createdAs;
  bool hasGetter;
  bool hasSetter;
};

enum class KeyId : int {
#define PD_KEY(Id, ...) Id,
#include "config/settings_keys.def"
#undef PD_KEY
};

const std::array<KeyInfo, static_cast<size_t>(KeyId::AxisXAvoidance) + 1>& settingsKeys();
const KeyInfo& keyInfo(KeyId id);
// Case-insensitive lookup by INI section and key; nullptr when unknown.
const KeyInfo* findKey(std::string_view section, std::string_view key);

class SettingsStore {
 public:
  // The program folder used by stores built without one (set once at start-up).
  static void setDefaultProgramFolder(std::string folder);
  static const std::string& defaultProgramFolder();

  SettingsStore();
  explicit SettingsStore(std::string programFolder);

  const std::string& programFolder() const { return folder_; }
  std::string path(SettingsFile file) const;
  std::string qmDataConfigPath() const { return folder_ + "QM_DataConfig.ini"; }

  // Generic, table-driven access (used by the typed accessors and the command line).
  std::string readText(const KeyInfo& key) const;  // raw text, read default applied, cut to 259
  int readInt(const KeyInfo& key) const;
  double readReal(const KeyInfo& key) const;
  // The value as the typed getter returns it, as text (int decimal, real "%f", text verbatim).
  std::string readFormatted(const KeyInfo& key) const;
  Status writeText(const KeyInfo& key, std::string_view value);
  Status writeInt(const KeyInfo& key, long long value);
  Status writeReal(const KeyInfo& key, double value);
  // Parses `value` by the key's type and writes it through the typed setter.
  Status writeParsed(const KeyInfo& key, std::string_view value);
  std::string readDefaultText(const KeyInfo& key) const;

  // Text from QR_Lang_*.ini (section "Language") for language ids 1-4; other ids give `fallback`.
  std::string localisedText(int languageId, std::string_view key, std::string_view fallback) const;

  // Typed accessors, one per key.
#define PD_TYPE_INT int
#define PD_TYPE_REAL double
#define PD_TYPE_REAL2 double
#define PD_TYPE_TEXT std::string
#define PD_READ_INT readInt
#define PD_READ_REAL readReal
#define PD_READ_REAL2 readReal
#define PD_READ_TEXT readText
#define PD_GETTER_1(Id, Type) PD_TYPE_##Type Id() const { return PD_READ_##Type(keyInfo(KeyId::Id)); }
#define PD_GETTER_0(Id, Type)
#define PD_SETTER_1(Id, Type) Status set_##Id(const PD_TYPE_##Type& v) { return writeTyped(KeyId::Id, v); }
#define PD_SETTER_0(Id, Type)
#define PD_KEY(Id, File, Section, Key, Type, Read, Created, G, S) PD_GETTER_##G(Id, Type) PD_SETTER_##S(Id, Type)
#include "config/settings_keys.def"
#undef PD_KEY
#undef PD_GETTER_0
#undef PD_GETTER_1
#undef PD_SETTER_0
#undef PD_SETTER_1

 private:
  Status writeTyped(KeyId id, int v) { return writeInt(keyInfo(id), v); }
  Status writeTyped(KeyId id, double v) { return writeReal(keyInfo(id), v); }
  Status writeTyped(KeyId id, const std::string& v) { return writeText(keyInfo(id), v); }
  void createMissingFiles() const;

  std::string folder_;
};

}  // namespace plotdesk
