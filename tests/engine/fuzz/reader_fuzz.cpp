// libFuzzer target: any bytes through the reader and the page writer. The
// first byte picks reader options so page breaks by label, linking and
// scaling are covered too.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/plot_reader.h"
#include "engine/plot_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace plotdesk::engine;
  if (size == 0) return 0;
  const uint8_t mode = data[0];
  ReaderOptions options;
  options.fileType = (mode & 1) ? 1 : 5;
  options.autoLink = (mode & 2) != 0;
  options.minDistanceClose = (mode & 4) ? 100.0 : 0.0001;
  options.scale = (mode & 8) ? 2.5 : 1.0;
  Drawing drawing;
  PlotReader reader(drawing, options);
  std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  if (!reader.scan(bytes, [](int percent) { return percent >= 0 && percent <= 100; })) return 0;
  if (drawing.pageCount < 1) __builtin_trap();
  DisposeSettings settings;
  settings.dotlineToLine = (mode & 16) != 0;
  settings.spOrder = (mode & 32) != 0;
  settings.addPagiPG = (mode & 64) != 0;
  for (const PageContent& page : collectPages(drawing)) {
    std::string text = writePage(drawing, page, settings, page.page == drawing.pageCount - 1);
    // Machine files never carry an exponent: no digit is followed by "e".
    for (size_t i = 1; i < text.size(); ++i) {
      if ((text[i] == 'e' || text[i] == 'E') && text[i - 1] >= '0' && text[i - 1] <= '9' &&
          page.labels.empty()) {
        __builtin_trap();
      }
    }
  }
  return 0;
}
