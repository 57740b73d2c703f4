#include "platform/numbers.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>

namespace plotdesk {
namespace {

struct RealCase {
  const char* text;
  double value;
  size_t consumed;
};

TEST(Numbers, ParseRealFollowsTheDecimalScan) {
  const RealCase cases[] = {
      {"", 0, 0},          {"abc", 0, 0},       {"  12.5xyz", 12.5, 6}, {"-3", -3, 2},
      {"+7.", 7, 3},       {".25", 0.25, 3},    {"-.5,", -0.5, 3},     {".", 0, 0},
      {"-", 0, 0},         {"1e5", 1, 1},       {"\t\n 42;", 42, 5},   {"0012.500", 12.5, 8},
      {"3.1415926", 3.1415926, 9}, {"1500.000000", 1500, 11}, {"- 5", 0, 0},
  };
  for (const auto& c : cases) {
    size_t used = 99;
    EXPECT_DOUBLE_EQ(parseReal(c.text, &used), c.value) << c.text;
    EXPECT_EQ(used, c.consumed) << c.text;
  }
}

TEST(Numbers, ParseIntDropsTheFractionAndClamps) {
  const std::pair<const char*, int> cases[] = {
      {"42", 42}, {" -17abc", -17}, {"abc", 0}, {"3.9", 3}, {"", 0}, {"+8", 8},
      {"99999999999999999999", std::numeric_limits<int>::max()},
      {"-99999999999999999999", std::numeric_limits<int>::min()},
  };
  for (auto [text, value] : cases) EXPECT_EQ(parseInt(text), value) << text;
}

TEST(Numbers, HugeAndTinyDigitStringsDoNotFail) {
  std::string huge(400, '9');
  EXPECT_TRUE(std::isinf(parseReal(huge)));
  std::string tiny = "0." + std::string(400, '0') + "1";
  EXPECT_EQ(parseReal(tiny), 0.0);
}

TEST(Numbers, FormattingIgnoresTheLocale) {
  // A locale with a decimal comma must not change anything (skipped where absent).
  const char* old = std::setlocale(LC_NUMERIC, nullptr);
  std::string saved = old ? old : "C";
  std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
  EXPECT_EQ(formatFixed(1500.0), "1500.000000");
  EXPECT_EQ(formatFixed(0.5, 2), "0.50");
  EXPECT_DOUBLE_EQ(parseReal("2.5"), 2.5);
  std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(Numbers, FormatTable) {
  const std::pair<double, const char*> general[] = {
      {0, "0"},          {-0.0, "0"},         {0.00005, "0"},        {-0.00009, "0"},
      {0.0001, "0.0001"}, {1.5, "1.5"},       {-2.25, "-2.25"},      {123456.4, "123456"},
      {1234567, "1234567"}, {1234567.6, "1234568"}, {-2000000.2, "-2000000"},
      {999999.4, "999999"}, {999999.5, "1000000"}, {0.000123456789, "0.000123457"},
      {std::numeric_limits<double>::quiet_NaN(), "0"},
  };
  for (auto [v, text] : general) EXPECT_EQ(formatGeneral(v), text) << v;
  EXPECT_EQ(formatInt(-12), "-12");
  EXPECT_EQ(formatFixed(3.75), "3.750000");
  EXPECT_EQ(formatFixed(2500.0, 2), "2500.00");
}

}  // namespace
}  // namespace plotdesk
