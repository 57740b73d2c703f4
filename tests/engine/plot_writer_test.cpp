#include "engine/plot_writer.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "engine/plot_reader.h"

namespace plotdesk::engine {
namespace {

Drawing readDrawing(std::string_view text) {
  Drawing d;
  PlotReader reader(d, {});
  EXPECT_TRUE(reader.scan(text));
  return d;
}

std::string pageText(const Drawing& d, const DisposeSettings& s, int page = 0) {
  for (const PageContent& p : collectPages(d)) {
    if (p.page == page) return writePage(d, p, s, page == d.pageCount - 1);
  }
  return "<no page>";
}

TEST(Writer, NumberFormat) {
  const std::pair<double, const char*> rows[] = {
      {0, "0"},
      {-0.0, "0"},
      {0.000001, "0"},  // never "1e-006": a machine stops a number at the "e"
      {-0.00009, "0"},
      {0.0001, "0.0001"},
      {12.5, "12.5"},
      {-3, "-3"},
      {123456.7, "123457"},
      {999999, "999999"},
      {999999.4, "999999"},
      {999999.5, "1000000"},
      {1234567, "1234567"},  // never "1.23457e+006"
      {-1234567.6, "-1234568"},
      {1e12, "1000000000000"},
      {0.1F, "0.1"},
      {2.0 / 3.0, "0.666667"},
  };
  for (auto [value, text] : rows) {
    std::string out;
    appendNumber(out, value);
    EXPECT_EQ(out, text) << value;
  }
  EXPECT_EQ(sizeText(4000, 2000), "100.00 * 50.00");
  EXPECT_EQ(sizeText(0, 0), "0.00 * 0.00");
}

TEST(Writer, PageWithEveryElementKind) {
  Drawing d = readDrawing(
      "IN;SP1;PU0,0;PD400,0,400,400;PU;"
      "SP3;LT2,1.5,1;PU100,50;CI25;"
      "SP1;LT;DI1,1;SI0.2,0.4;PU10,20;LBAB\x03"
      "DT#;DI30;LBC#");
  DisposeSettings s;
  EXPECT_EQ(pageText(d, s),
            "IN;\r\n"
            "JS400,400;\r\n"
            "SP1;\r\nLT0,0,0;\r\nPU0,0;\r\nPD400,0,400,400;\r\n"
            "SP3;\r\nLT2,1.5,1;\r\nPU100,50;\r\nCI25;\r\n"
            "SP1;\r\nLT0,0,0;\r\nDI1,1;\r\nSI0.2,0.4;\r\nDT\x03;\r\nPU10,20;\r\nLBAB\x03;\r\n"
            "SP1;\r\nLT0,0,0;\r\nDI30;\r\nSI0.2,0.4;\r\nDT#;\r\nPU10,20;\r\nLBC#;\r\n");
}

TEST(Writer, OutputOptions) {
  Drawing d = readDrawing("SP1;PD10,10;SP9;PU1,1;PD5,5;");
  DisposeSettings s;
  s.strokeSet = true;
  s.strokeSP[0] = 1;
  s.dotlineToLine = true;
  s.addPG = true;
  EXPECT_EQ(pageText(d, s),
            "IN;\r\nJS10,10;\r\n"
            "SP1;\r\nLT0,0.0,1;\r\nPU0,0;\r\nPD10,10;\r\n"
            "SP2;\r\nLT0,0.0,1;\r\nPU1,1;\r\nPD5,5;\r\n"
            "PG;\r\n");
}

TEST(Writer, ShortPolylinesCountForTheBoxButAreNotWritten) {
  Drawing d = readDrawing("PD10,10;");
  d.polylines.push_back(Polyline{{}, {{5000, 7000}}});
  EXPECT_EQ(pageText(d, DisposeSettings{}), "IN;\r\nJS5000,7000;\r\nSP1;\r\nLT0,0,0;\r\nPU0,0;\r\nPD10,10;\r\n");
}

TEST(Writer, PenSlotOrderWithPumpBetweenPages) {
  Drawing d = readDrawing("SP2;PD1,1;SP1;PD2,2;PG;PD3,3;");
  ASSERT_EQ(d.pageCount, 2);
  DisposeSettings s;
  s.spOrder = true;
  s.addPagiPG = true;
  std::string slots;
  for (int k = 0; k < 8; ++k) {
    if (k == 0) slots += "SP1;\r\nLT0,0,0;\r\nPU1,1;\r\nPD2,2;\r\n";
    if (k == 1) slots += "SP2;\r\nLT0,0,0;\r\nPU0,0;\r\nPD1,1;\r\n";
    slots += "SK;\r\n";
  }
  EXPECT_EQ(pageText(d, s, 0), "IN;\r\nJS2,2;\r\n" + slots + "SK;\r\n");
  // The last page gets no pump; pen-order page breaks follow every slot.
  s.sooAddPagebreak = true;
  std::string last = "IN;\r\nJS3,3;\r\nSP1;\r\nLT0,0,0;\r\nPU2,2;\r\nPD3,3;\r\n";
  for (int k = 0; k < 8; ++k) last += "PG;\r\n";
  EXPECT_EQ(pageText(d, s, 1), last);
}

TEST(Writer, CollectPagesSkipsEmptyAndOutOfRangePages) {
  Drawing d = readDrawing("PD1,1;PG;PG;PD2,2;PU4000,0;PD4000,2000;");
  Circle beyond;
  beyond.header.kind = ElementKind::Circle;
  beyond.header.page = 7;  // beyond the page count
  d.circles.push_back(beyond);
  std::vector<PageContent> pages = collectPages(d);
  ASSERT_EQ(pages.size(), 2U);
  EXPECT_EQ(pages[0].page, 0);
  EXPECT_EQ(pages[1].page, 2);
  EXPECT_EQ(pages[1].polylines.size(), 2U);
  EXPECT_EQ(pages[1].box.maxX, 4000);
  EXPECT_EQ(pages[1].box.maxY, 2000);
  EXPECT_EQ(pages[1].box.minX, 1);
}

}  // namespace
}  // namespace plotdesk::engine
