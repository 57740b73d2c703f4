#include "ui/preview.h"

#include <gtest/gtest.h>

#include <atomic>

#include "platform/files.h"
#include "tests/support/temp_dir.h"

namespace plotdesk {
namespace {

TEST(Preview, ShowsExtentsAndTurnsAboutTheCentre) {
  test::TempDir dir;
  std::string plt = dir.file("a.plt");
  ASSERT_TRUE(writeFileAtomic(plt, "IN;SP1;PU0,0;PD400,0,400,200;PU;"));
  struct Case {
    int rotate;
    PreviewExtents ext;
  };
  const Case cases[] = {
      {0, {0, 0, 400, 200, true}},
      {1, {100, -100, 300, 300, true}},
      {2, {0, 0, 400, 200, true}},
      {3, {100, -100, 300, 300, true}},
      {7, {0, 0, 400, 200, true}},
  };
  for (const auto& c : cases) {
    PreviewModel model;
    int notices = 0;
    model.setChangeNotice([&] { ++notices; });
    ASSERT_TRUE(model.showFile(plt, c.rotate));
    PreviewExtents e = model.extents();
    EXPECT_TRUE(e.valid);
    EXPECT_NEAR(e.minX, c.ext.minX, 1e-9) << c.rotate;
    EXPECT_NEAR(e.minY, c.ext.minY, 1e-9) << c.rotate;
    EXPECT_NEAR(e.maxX, c.ext.maxX, 1e-9) << c.rotate;
    EXPECT_NEAR(e.maxY, c.ext.maxY, 1e-9) << c.rotate;
    EXPECT_EQ(notices, 1);
  }
  // A quarter turn moves the first vertex (0,0) to (300,-100).
  PreviewModel turned;
  ASSERT_TRUE(turned.showFile(plt, 1));
  auto first = turned.snapshot().strokes.at(0).at(0);
  EXPECT_NEAR(first[0], 300, 1e-9);
  EXPECT_NEAR(first[1], -100, 1e-9);
}

TEST(Preview, RasteriseClearAndFailures) {
  test::TempDir dir;
  std::string plt = dir.file("line.plt");
  ASSERT_TRUE(writeFileAtomic(plt, "PU0,0;PD100,0;PU;"));
  PreviewModel model;
  EXPECT_FALSE(model.showFile(dir.file("missing.plt"), 0));
  ASSERT_TRUE(model.showFile(plt, 0));
  auto image = model.rasterise(11, 5);
  int ink = 0;
  for (unsigned char p : image) ink += p == 0;
  EXPECT_EQ(ink, 11);           // the whole bottom row
  EXPECT_EQ(image[4 * 11 + 5], 0);
  model.clear();
  EXPECT_FALSE(model.extents().valid);
  NullPreview none;
  EXPECT_FALSE(none.available());
  EXPECT_FALSE(none.showFile(plt, 0));
  EXPECT_EQ(trueTypeFileFor("SimHei"), "SimHei.ttf");
  EXPECT_EQ(trueTypeFileFor("hztxts.shx"), "");
}

}  // namespace
}  // namespace plotdesk
