#include "ui/preview.h"

#include <algorithm>
#include <cmath>

#include "engine/drawing.h"
#include "engine/plot_reader.h"

namespace plotdesk {

std::string trueTypeFileFor(const std::string& bigFont) {
  static const std::pair<const char*, const char*> kFonts[] = {
      {"SimSun", "SimSun.ttc"}, {"SimKai", "SimKai.ttf"}, {"SimHei", "SimHei.ttf"},
      {"SimLi", "SimLi.ttf"},   {"SimYou", "SimYou.ttf"}};
  for (auto [name, file] : kFonts) {
    if (bigFont == name) return file;
  }
  return "";
}

void PreviewModel::configure(const PreviewConfig& config) {
  {
    std::lock_guard g(mu_);
    state_.config = config;
  }
  notify();
}

Status PreviewModel::showFile(const std::string& path, int autoRotate) {
  engine::Drawing drawing;
  engine::ReaderOptions options;
  engine::PlotReader reader(drawing, options);
  if (Status s = reader.loadFile(path); !s) return s;

  std::vector<Stroke> strokes;
  strokes.reserve(drawing.polylines.size() + drawing.circles.size());
  for (const auto& p : drawing.polylines) {
    Stroke s;
    s.reserve(p.vertices.size());
    for (const auto& v : p.vertices) s.push_back({v.x, v.y});
    strokes.push_back(std::move(s));
  }
  for (const auto& c : drawing.circles) {
    Stroke s;
    for (int i = 0; i <= 72; ++i) {
      double a = i * (2 * M_PI / 72);
      s.push_back({c.cx + c.radius * std::cos(a), c.cy + c.radius * std::sin(a)});
    }
    strokes.push_back(std::move(s));
  }
  PreviewExtents ext;
  for (const auto& s : strokes) {
    for (const auto& [x, y] : s) {
      if (!ext.valid) {
        ext = {x, y, x, y, true};
      } else {
        ext.minX = std::min(ext.minX, x);
        ext.minY = std::min(ext.minY, y);
        ext.maxX = std::max(ext.maxX, x);
        ext.maxY = std::max(ext.maxY, y);
      }
    }
  }
  if (ext.valid && autoRotate >= 1 && autoRotate <= 3) {
    double cx = (ext.minX + ext.maxX) / 2, cy = (ext.minY + ext.maxY) / 2;
    // Exact quarter turns, so the rotated extents are exact too.
    auto turn = [autoRotate](double dx, double dy) -> std::array<double, 2> {
      switch (autoRotate) {
        case 1: return {-dy, dx};
        case 2: return {-dx, -dy};
        default: return {dy, -dx};
      }
    };
    for (auto& s : strokes) {
      for (auto& p : s) {
        auto r = turn(p[0] - cx, p[1] - cy);
        p = {cx + r[0], cy + r[1]};
      }
    }
    if (autoRotate != 2) {
      double hw = (ext.maxX - ext.minX) / 2, hh = (ext.maxY - ext.minY) / 2;
      ext = {cx - hh, cy - hw, cx + hh, cy + hw, true};
    }
  }
  {
    std::lock_guard g(mu_);
    state_.strokes = std::move(strokes);
    state_.extents = ext;
    state_.file = path;
  }
  notify();
  return {};
}

void PreviewModel::clear() {
  {
    std::lock_guard g(mu_);
    state_.strokes.clear();
    state_.extents = {};
    state_.file.clear();
  }
  notify();
}

PreviewExtents PreviewModel::extents() const {
  std::lock_guard g(mu_);
  return state_.extents;
}

PreviewModel::Snapshot PreviewModel::snapshot() const {
  std::lock_guard g(mu_);
  return state_;
}

void PreviewModel::setChangeNotice(std::function<void()> notice) {
  std::lock_guard g(mu_);
  notice_ = std::move(notice);
}

void PreviewModel::notify() {
  std::function<void()> n;
  {
    std::lock_guard g(mu_);
    n = notice_;
  }
  if (n) n();
}

std::vector<unsigned char> PreviewModel::rasterise(int width, int height) const {
  std::vector<unsigned char> image(static_cast<size_t>(std::max(width, 0)) * static_cast<size_t>(std::max(height, 0)), 255);
  Snapshot s = snapshot();
  if (!s.extents.valid || width <= 1 || height <= 1) return image;
  double w = std::max(s.extents.maxX - s.extents.minX, 1e-9);
  double h = std::max(s.extents.maxY - s.extents.minY, 1e-9);
  double scale = std::min((width - 1) / w, (height - 1) / h);
  auto plot = [&](double x, double y) {
    int px = static_cast<int>(std::lround((x - s.extents.minX) * scale));
    int py = height - 1 - static_cast<int>(std::lround((y - s.extents.minY) * scale));  // y up
    if (px >= 0 && px < width && py >= 0 && py < height) image[static_cast<size_t>(py) * width + px] = 0;
  };
  for (const auto& stroke : s.strokes) {
    for (size_t i = 0; i + 1 < stroke.size(); ++i) {
      double x0 = stroke[i][0], y0 = stroke[i][1], x1 = stroke[i + 1][0], y1 = stroke[i + 1][1];
      double len = std::hypot(x1 - x0, y1 - y0) * scale;
      int steps = std::max(1, static_cast<int>(std::ceil(len)));
      for (int k = 0; k <= steps; ++k) {
        double t = static_cast<double>(k) / steps;
        plot(x0 + (x1 - x0) * t, y0 + (y1 - y0) * t);
      }
    }
  }
  return image;
}

}  // namespace plotdesk
