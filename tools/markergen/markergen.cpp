// Writes a synthetic garment marker in the style of CAD plot output: a frame,
// then closed pattern pieces with many vertices, for load tests and benchmarks.
//
//   plotdesk-markergen OUT [VERTICES] [SEED] [POLYLINES]
//
// Default 1500000 vertices, seed 1. With POLYLINES, writes that many short
// open polylines instead of closed pieces, in the style of CAD output that
// puts every seam on its own: half of them start where the one before ended
// (so linking has work), and every 100th is followed by a label in ASCII and
// GB2312 hanzi.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <random>
#include <string>

namespace {

// Open polylines; see the usage above.
bool writeStrokes(std::FILE* f, long total, long polylines, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> cx(2000, 718000);
  std::uniform_int_distribution<int> cy(2000, 66000);
  std::uniform_int_distribution<int> step(-300, 300);
  const long perLine = std::max(2L, total / std::max(1L, polylines));
  std::string out = "IN;\r\nPA;\r\nSP1;\r\nSI0.3,0.4;\r\n";
  char buf[96];
  int x = 0;
  int y = 0;
  for (long k = 0; k < polylines; ++k) {
    if (k % 2 == 0) {
      x = cx(rng);
      y = cy(rng);
    }
    std::snprintf(buf, sizeof buf, "PU%d,%d;PD", x, y);
    out += buf;
    for (long i = 1; i < perLine; ++i) {
      x = std::clamp(x + step(rng), 0, 720000);
      y = std::clamp(y + step(rng), 0, 68000);
      std::snprintf(buf, sizeof buf, i + 1 < perLine ? "%d,%d," : "%d,%d;\r\n", x, y);
      out += buf;
    }
    if (k % 100 == 99) {
      std::snprintf(buf, sizeof buf, "PU%d,%d;LBP-%ld \xd6\xd0\xce\xc4\x03;\r\n", x, y, k / 100);
      out += buf;
    }
    if (out.size() > (1 << 20)) {
      if (std::fwrite(out.data(), 1, out.size(), f) != out.size()) return false;
      out.clear();
    }
  }
  out += "PU0,0;\r\nPG;\r\n";
  return std::fwrite(out.data(), 1, out.size(), f) == out.size();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: plotdesk-markergen OUT [VERTICES] [SEED]\n");
    return 2;
  }
  const long total = argc > 2 ? std::atol(argv[2]) : 1500000;
  const unsigned seed = argc > 3 ? static_cast<unsigned>(std::atol(argv[3])) : 1U;
  std::FILE* f = std::fopen(argv[1], "wb");
  if (f == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  if (argc > 4) {
    bool ok = writeStrokes(f, total, std::atol(argv[4]), seed);
    ok = std::fclose(f) == 0 && ok;
    if (!ok) std::perror(argv[1]);
    return ok ? 0 : 1;
  }
  std::mt19937 rng(seed);
  const int width = 720000;  // 18 m of fabric in plotter units
  const int height = 68000;  // 1.7 m
  std::string out = "IN;\r\nPA;\r\nSP1;\r\n";
  char buf[64];
  std::snprintf(buf, sizeof buf, ";PU%d,0\r\n;PD0,0,0,%d,%d,%d,%d,0\r\n", width, height, width, height, width);
  out += buf;
  long written = 5;
  std::uniform_int_distribution<int> cx(6000, width - 6000);
  std::uniform_int_distribution<int> cy(6000, height - 6000);
  std::uniform_int_distribution<int> count(30, 400);
  std::uniform_real_distribution<double> wobble(0.8, 1.2);
  while (written < total) {
    const int n = static_cast<int>(std::min<long>(count(rng), total - written));
    const int x0 = cx(rng);
    const int y0 = cy(rng);
    const double r = 1500.0 + (rng() % 2500);
    for (int i = 0; i <= n; ++i) {
      const double a = 6.283185307179586 * (i % n) / n;
      const double k = i == n ? 1.0 : wobble(rng);
      const int x = x0 + static_cast<int>(r * k * std::cos(a));
      const int y = y0 + static_cast<int>(r * k * std::sin(a) * 0.8);
      if (i == 0) {
        std::snprintf(buf, sizeof buf, ";PU%d,%d\r\n;PD", x, y);
      } else {
        std::snprintf(buf, sizeof buf, (i % 4 == 0 || i == n) ? "%d,%d\r\n;PD" : "%d,%d,", x, y);
      }
      out += buf;
    }
    out.resize(out.size() - 3);  // the last ";PD" opens nothing
    written += n;
    if (out.size() > (1 << 20)) {
      if (std::fwrite(out.data(), 1, out.size(), f) != out.size()) break;
      out.clear();
    }
  }
  out += ";PU0,0;\r\nPG;\r\n";
  bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
  ok = std::fclose(f) == 0 && ok;
  if (!ok) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}
