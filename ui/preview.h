#pragma once
// The plot preview: what the main window and the print worker call to show a
// plot file, as a toolkit-free, thread-safe model. A view repaints on the
// change notice; a null preview stands in where no preview exists.
#include <array>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/result.h"

namespace plotdesk {

struct PreviewConfig {
  std::string printerName;
  int paperSize = 8;
  int orientation = 0;
  double offsetX = 1.0, offsetY = 1.0;
  std::string smallFont = "romans.shx";
  std::string bigFont = "hztxts.shx";
  int lineWidth = 30;
};

struct PreviewExtents {
  double minX = 0, minY = 0, maxX = 0, maxY = 0;
  bool valid = false;
};

class PreviewControl {
 public:
  virtual ~PreviewControl() = default;
  virtual bool available() const = 0;
  virtual void configure(const PreviewConfig& config) = 0;
  // Loads the file, applies the line width, reads the extents and turns the
  // drawing by autoRotate * 90 degrees about their centre (1, 2 or 3).
  virtual Status showFile(const std::string& path, int autoRotate) = 0;
  virtual void clear() = 0;
  virtual PreviewExtents extents() const = 0;
};

// No preview window: every call is skipped and showing a file fails.
class NullPreview final : public PreviewControl {
 public:
  bool available() const override { return false; }
  void configure(const PreviewConfig&) override {}
  Status showFile(const std::string&, int) override { return fail("no preview window"); }
  void clear() override {}
  PreviewExtents extents() const override { return {}; }
};

// Font file behind a "Chinese Font:" system font name, or "" for shape fonts.
std::string trueTypeFileFor(const std::string& bigFont);

class PreviewModel final : public PreviewControl {
 public:
  using Stroke = std::vector<std::array<double, 2>>;
  struct Snapshot {
    std::vector<Stroke> strokes;
    PreviewExtents extents;
    PreviewConfig config;
    std::string file;
  };

  bool available() const override { return true; }
  void configure(const PreviewConfig& config) override;
  Status showFile(const std::string& path, int autoRotate) override;
  void clear() override;
  PreviewExtents extents() const override;

  Snapshot snapshot() const;
  // Called (on the caller's thread) after every change; a view posts a repaint.
  void setChangeNotice(std::function<void()> notice);
  // Grey image, row-major, 255 background and 0 strokes, fitted into width x height.
  std::vector<unsigned char> rasterise(int width, int height) const;

 private:
  void notify();
  mutable std::mutex mu_;
  Snapshot state_;
  std::function<void()> notice_;
};

}  // namespace plotdesk
