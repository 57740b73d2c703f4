#include "app/station_qt.h"

#include "app/station_services.h"
#include "ui/main_window.h"
#include "ui/preview.h"
#include "ui/qt/main_window_widget.h"
#include "ui/qt/qt_event_loop.h"

namespace plotdesk {

int runStationWindowQt(const WindowChoice& choice, const std::string& programFolder) {
  Clock& clock = realClock();
  QtEventLoop loop;
  PreviewModel preview;
  PreviewSinkAdapter previewSink(preview, programFolder);
  EngineDisposeFactory engines(programFolder);
  MachineLinkFactory links(programFolder, clock);
  MainWindowWidget widget(&preview);
  MainWindow window({loop, clock, programFolder, choice.live, engines, links, &preview, &previewSink}, widget);
  widget.attach(&window);
  window.open();
  if (widget.isHidden() && !widget.isMinimized()) widget.show();
  int code = loop.run();
  widget.attach(nullptr);
  return code;
}

}  // namespace plotdesk
