#include "config/settings_store.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/files.h"
#include "platform/ini_file.h"
#include "platform/numbers.h"
#include "tests/support/temp_dir.h"

namespace plotdesk {
namespace {

std::string golden(const std::string& name, const std::string& home) {
  auto text = readFile(std::string(PLOTDESK_TEST_SOURCE_DIR) + "/tests/config/golden/" + name);
  EXPECT_TRUE(text) << name;
  std::string out = text ? *text : "";
  for (size_t p; (p = out.find("@HOME@")) != std::string::npos;) out.replace(p, 6, home);
  return out;
}

TEST(SettingsStore, CreatesBothFilesExactly) {
  test::TempDir dir;
  SettingsStore store(dir.path());
  EXPECT_EQ(*readFile(store.path(SettingsFile::PRG)), golden("QK_PrgVersion.ini", dir.slash()));
  EXPECT_EQ(*readFile(store.path(SettingsFile::DATA)), golden("QR_DataConfig.ini", dir.slash()));
  EXPECT_EQ(store.qmDataConfigPath(), dir.slash() + "QM_DataConfig.ini");
  EXPECT_FALSE(fileExists(store.qmDataConfigPath()));
}

TEST(SettingsStore, KeyTableIsConsistent) {
  std::set<std::string> ids, keys;
  for (const auto& k : settingsKeys()) {
    EXPECT_TRUE(ids.insert(k.id).second) << k.id;
    EXPECT_TRUE(keys.insert(std::string(k.section) + "/" + k.key).second) << k.key;
    EXPECT_EQ(k.hasGetter, k.readDefault.text != nullptr) << k.id;
    EXPECT_EQ(findKey(k.section, k.key), &k) << k.id;
  }
  EXPECT_EQ(findKey("qr_split_page", "page_width")->id, std::string("Page_Width"));
  EXPECT_EQ(findKey("QR_Split_Page", "Nope"), nullptr);
}

// Every key: absent reads its default; a written value reads back as written.
TEST(SettingsStore, EveryKeyRoundTrips) {
  test::TempDir dir;
  SettingsStore store(dir.path());
  for (const auto& k : settingsKeys()) (void)iniRemoveKey(store.path(k.file), k.section, k.key);
  for (const auto& k : settingsKeys()) {
    if (!k.hasGetter) continue;
    std::string dflt = store.readDefaultText(k);
    switch (k.type) {
      case KeyType::INT: EXPECT_EQ(store.readInt(k), parseInt(dflt)) << k.id; break;
      case KeyType::REAL:
      case KeyType::REAL2: EXPECT_DOUBLE_EQ(store.readReal(k), parseReal(dflt)) << k.id; break;
      case KeyType::TEXT: EXPECT_EQ(store.readText(k), dflt) << k.id; break;
    }
  }
  for (const auto& k : settingsKeys()) {
    if (!k.hasGetter || !k.hasSetter) continue;
    switch (k.type) {
      case KeyType::INT:
        ASSERT_TRUE(store.writeInt(k, -37));
        EXPECT_EQ(store.readInt(k), -37) << k.id;
        break;
      case KeyType::REAL:
      case KeyType::REAL2:
        ASSERT_TRUE(store.writeReal(k, 12.5));
        EXPECT_DOUBLE_EQ(store.readReal(k), 12.5) << k.id;
        break;
      case KeyType::TEXT:
        ASSERT_TRUE(store.writeText(k, std::string("v;") + k.id));
        EXPECT_EQ(store.readText(k), std::string("v;") + k.id) << k.id;
        break;
    }
  }
}

TEST(SettingsStore, TypedAccessorsAndEncodings) {
  test::TempDir dir;
  SettingsStore store(dir.path());
  EXPECT_DOUBLE_EQ(store.Page_Width(), 1200);
  EXPECT_DOUBLE_EQ(store.Page_Length(), 1500);
  EXPECT_EQ(store.Watcher_Dir(), dir.slash() + "Watcher_Folder");
  ASSERT_TRUE(store.set_Page_Width(1500));
  ASSERT_TRUE(store.set_LabelDelay(0.5));
  ASSERT_TRUE(store.set_Serial_Comport("COM3\r\n[QR_Main]"));
  auto data = *readFile(store.path(SettingsFile::DATA));
  EXPECT_NE(data.find("Page_Width=1500.000000\n"), std::string::npos);
  EXPECT_NE(data.find("[QM_LabelSet]\nLabelDelay=0.50\n"), std::string::npos);
  EXPECT_EQ(store.Serial_Comport(), "COM3  [QR_Main]");  // no key injection
  // Read defaults apply to keys not written at creation.
  EXPECT_EQ(store.DeltaDir(), "0");
  EXPECT_EQ(store.Net_Port(), 70);
  EXPECT_EQ(store.ReceiptIP(), "192.168.1.200");
  EXPECT_DOUBLE_EQ(store.AxisXAvoidance(), 2000.0);
  EXPECT_EQ(store.System_CodePage(), "CP936");
}

TEST(SettingsStore, EdgeCases) {
  test::TempDir dir;
  std::string data;
  {
    SettingsStore store(dir.path());
    data = store.path(SettingsFile::DATA);
    // Without the key lines the read defaults hold; a recreated file has the created values.
    ASSERT_TRUE(iniRemoveKey(data, "QR_Split_Page", "Page_Width"));
    ASSERT_TRUE(iniRemoveKey(data, "QR_Split_Page", "Page_Length"));
    EXPECT_DOUBLE_EQ(store.Page_Width(), 1500);
    EXPECT_DOUBLE_EQ(store.Page_Length(), 1200);
    ASSERT_TRUE(store.set_Watcher_Filter(std::string(300, 'f')));
    EXPECT_EQ(store.Watcher_Filter().size(), 259u);
    ASSERT_TRUE(iniWrite(data, "QR_OptionSet", "Locked_SelPrgID", "abc"));
    EXPECT_EQ(store.Locked_SelPrgID(), 0);
    ASSERT_TRUE(store.set_Net_Port(71));
  }
  ASSERT_TRUE(deleteFile(data));
  SettingsStore again(dir.path());
  EXPECT_DOUBLE_EQ(again.Page_Width(), 1200);
  EXPECT_DOUBLE_EQ(again.Page_Length(), 1500);
  // The console section is not part of creation.
  EXPECT_EQ(*readFile(data), golden("QR_DataConfig.ini", dir.slash()));
  EXPECT_EQ(again.Net_Port(), 70);
}

TEST(SettingsStore, LocalisedTextLookup) {
  test::TempDir dir;
  SettingsStore store(dir.path());
  ASSERT_TRUE(iniWrite(dir.file("QR_Lang_Chs.ini"), "Language", "Caption", "zh"));
  ASSERT_TRUE(iniWrite(dir.file("QR_Lang_Tur.ini"), "Language", "Caption", "tr"));
  const std::pair<int, const char*> cases[] = {{0, "dflt"}, {1, "zh"}, {2, "dflt"}, {4, "tr"}, {5, "dflt"}, {6, "dflt"}, {-1, "dflt"}};
  for (auto [lang, text] : cases) EXPECT_EQ(store.localisedText(lang, "Caption", "dflt"), text) << lang;
}

}  // namespace
}  // namespace plotdesk
