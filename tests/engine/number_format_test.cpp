// The page writer's fast number path must write exactly what the general
// machine-number format writes, for every value, ties and decade edges included.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>

#include "engine/plot_writer.h"
#include "platform/numbers.h"

namespace plotdesk::engine {
namespace {

void expectSame(double v) {
  std::string fast;
  appendNumber(fast, v);
  ASSERT_EQ(fast, formatGeneral(v)) << std::hexfloat << v;
}

TEST(NumberFormat, FastPathMatchesTheGeneralFormat) {
  std::mt19937_64 rng(20261211);
  std::uniform_real_distribution<double> mantissa(1.0, 10.0);
  std::uniform_int_distribution<int> exponent(-6, 7);
  std::uniform_int_distribution<long long> digits(0, 99999999);
  for (int i = 0; i < 300000; ++i) {
    double v = mantissa(rng) * std::pow(10.0, exponent(rng));
    expectSame(v);
    expectSame(-v);
    // Decimal texts as a CAD file writes them, read back like the reader does.
    char text[64];
    std::snprintf(text, sizeof text, "%lld.%07lld", digits(rng) % 1000000, digits(rng) % 10000000);
    expectSame(parseReal(text));
  }
  // Exact ties of the seventh digit and their neighbours, at every decade.
  for (int e = -4; e <= 5; ++e) {
    for (long long k = 100000; k < 1000000; k += 7919) {
      double tie = (static_cast<double>(k) + 0.5) * std::pow(10.0, e - 5);
      for (double v : {tie, std::nextafter(tie, 0.0), std::nextafter(tie, 1e9)}) expectSame(v);
    }
    double edge = std::pow(10.0, e);
    for (double v : {edge, std::nextafter(edge, 0.0), std::nextafter(edge, 1e9)}) expectSame(v);
  }
  for (double v : {0.0001, 0.00009999999999, 999999.4999999, 999999.5, 0.5, 1.5, 2.5, 1e-300, 1e300}) expectSame(v);
}

}  // namespace
}  // namespace plotdesk::engine
