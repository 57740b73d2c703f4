// Measures the dispose engine on one plot file with the settings of a program
// folder: reader throughput on bytes in memory, the whole dispose (read,
// steps, page files) and the peak memory of the process.
//
//   plotdesk-bench-dispose SRC HOME OUTDIR [REPEATS]
//
// Prints one line of "key=value" fields for the bench/run script.
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "config/settings_store.h"
#include "platform/memory_tuning.h"
#include "engine/dispose_engine.h"
#include "engine/plot_reader.h"
#include "platform/files.h"

using namespace plotdesk;
using Seconds = std::chrono::duration<double>;

namespace {

double peakMb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_maxrss) / 1024.0;
}

double cpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Best wall time of `repeats` runs; `cpu` receives the best thread CPU time,
// which other work on a shared machine disturbs less.
template <class F>
double bestOf(int repeats, F&& f, double* cpu = nullptr) {
  double best = 1e30;
  double bestCpu = 1e30;
  for (int i = 0; i < repeats; ++i) {
    auto t0 = std::chrono::steady_clock::now();
    double c0 = cpuSeconds();
    if (!f()) return -1;
    bestCpu = std::min(bestCpu, cpuSeconds() - c0);
    best = std::min(best, Seconds(std::chrono::steady_clock::now() - t0).count());
  }
  if (cpu != nullptr) *cpu = bestCpu;
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  plotdesk::keepFreedMemoryForReuse();  // as the station does
  if (argc < 4) {
    std::fprintf(stderr, "usage: plotdesk-bench-dispose SRC HOME OUTDIR [REPEATS]\n");
    return 2;
  }
  const std::string source = argv[1];
  const std::string home = withTrailingSlash(argv[2]);
  const std::string outDir = argv[3];
  const int repeats = argc > 4 ? std::max(1, std::atoi(argv[4])) : 5;
  const double baseMb = peakMb();
  Result<long long> size = fileSize(source);
  if (!size || !createFolder(outDir)) {
    std::fprintf(stderr, "cannot use %s or %s\n", source.c_str(), outDir.c_str());
    return 1;
  }
  const double mb = static_cast<double>(*size) / 1e6;
  const engine::DisposeSettings settings = engine::readDisposeSettings(SettingsStore(home));

  // The first dispose in a fresh process gives the peak memory of one job.
  std::string error;
  auto disposeOnce = [&] {
    auto engine = engine::makeDisposeEngine(settings);
    engine::CollectingOwner owner;
    Status st = engine ? (*engine)->dispose({source, outDir, "bench"}, owner) : Status(fail(engine.error()));
    if (!st) error = st.error();
    return st.ok();
  };
  double firstDispose = bestOf(1, disposeOnce);
  const double jobPeakMb = peakMb();
  if (firstDispose < 0) {
    std::fprintf(stderr, "dispose failed: %s\n", error.c_str());
    return 1;
  }
  double dispose = std::min(firstDispose, bestOf(repeats, disposeOnce));

  Result<std::string> bytes = readFile(source);
  if (!bytes) return 1;
  size_t polylines = 0;
  double scanCpu = 0;
  double scan = bestOf(repeats, [&] {
    engine::Drawing d;
    engine::PlotReader reader(d, settings.readerOptions());
    bool ok = reader.scan(*bytes).ok();
    polylines = d.polylines.size();
    return ok;
  }, &scanCpu);
  std::printf("file=%s size_mb=%.2f polylines=%zu read_ms=%.1f read_mb_s=%.0f read_cpu_mb_s=%.0f dispose_ms=%.1f "
              "peak_mb=%.1f base_mb=%.1f limit_mb=%.1f\n",
              fileNamePart(source).data(), mb, polylines, scan * 1e3, mb / scan, mb / scanCpu, dispose * 1e3, jobPeakMb, baseMb,
              5 * mb + 50);
  return 0;
}
