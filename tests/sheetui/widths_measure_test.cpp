#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QImage>

#include "base/textcodec.h"
#include "gtex/cmcGTex.h"
#include "resources/embedded_text.h"
#include "sheet/core/SheetEnvironment.h"
#include "sheet/core/SheetModel.h"
#include "sheet/ui/ScreenMeasure.h"

namespace {

CellFont fontOfHeight(int height, uint8_t style = 0) {
  CellFont font;
  font.height = height;
  font.style = style;
  return font;
}

TEST(ScreenFonts, HeightsAreCharacterOrCellHeights) {
  // Negative: the character (em) height; positive: the whole line, ascent plus descent.
  EXPECT_EQ(cellQFont(fontOfHeight(-17)).pixelSize(), 17);
  for (int cellHeight : {12, 16, 24}) {
    const QFontMetrics metrics(cellQFont(fontOfHeight(cellHeight)));
    EXPECT_NEAR(metrics.ascent() + metrics.descent(), cellHeight, 1) << cellHeight;
  }
  const QFont bold = cellQFont(fontOfHeight(-12, kFontBold | kFontItalic | kFontUnderline));
  EXPECT_TRUE(bold.bold() && bold.italic() && bold.underline() && !bold.strikeOut());
  CellFont fixed = fontOfHeight(-12);
  fixed.pitch = kPitchFixed;
  fixed.face = "Courier New";
  EXPECT_TRUE(cellQFont(fixed).fixedPitch());
  EXPECT_EQ(cellQFont(fixed).family(), "Courier New");
}

TEST(ScreenFonts, AFontWithoutHeightTakesItsPointSizeAtTheDevicesResolution) {
  CellFont points = fontOfHeight(0);
  points.size = 10;
  QImage printer(10, 10, QImage::Format_RGB32);
  printer.setDotsPerMeterY(11811);  // 300 per inch
  QImage screen(10, 10, QImage::Format_RGB32);
  screen.setDotsPerMeterY(3780);  // 96 per inch
  // Kept conversions must not hand one device's font to another.
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(cellQFont(points, &printer).pixelSize(), 42);  // 10 x 300 / 72
    EXPECT_EQ(cellQFont(points, &screen).pixelSize(), 13);
  }
}

TEST(ScreenFonts, MeasuresWithTheRealMetricsInBothCodePages) {
  const ScreenMeasure measure;
  const CellFont font = fontOfHeight(-17);
  const QFontMetrics metrics(cellQFont(font));
  EXPECT_EQ(measure.lineWidth("145.500000", font), metrics.horizontalAdvance("145.500000"));
  // Some systems (Wine without fonts of its own) have only a fixed-pitch font to give.
  if (metrics.horizontalAdvance('W') != metrics.horizontalAdvance('i')) {
    EXPECT_GT(measure.lineWidth("WWWWW", font), measure.lineWidth("iiiii", font));
  }
  const QByteArray katakana = toCp932(QString::fromUtf8("\xe3\x83\x86\xe3\x82\xb9\xe3\x83\x88"));
  ASSERT_EQ(katakana.size(), 6);  // three double-byte characters
  EXPECT_EQ(measure.lineWidth(katakana, font),
            metrics.horizontalAdvance(QString::fromUtf8("\xe3\x83\x86\xe3\x82\xb9\xe3\x83\x88")));
  EXPECT_EQ(measure.lineHeight(font), metrics.height());
  EXPECT_EQ(measure.measure("a\nbb", font).height, 2 * metrics.height());
}

// The display font scale reaches the measure through the sheet's fonts: a memory sheet built at
// 150 % has wider auto-sized columns and taller rows than at 100 %.
TEST(ScreenFonts, TheDisplayFontScaleWidensTheBuiltSheet) {
  cmcGTex text;
  const EmbeddedText main = mainResourceText();
  text.setSource(main.lines, main.count);
  const ScreenMeasure measure;
  const EmptySheetEnvironment environment;
  SheetServices services;
  services.text = &text;
  services.measure = &measure;
  services.environment = &environment;
  auto sizes = [&](int percent) {
    auto sheet = SheetModel::create("[St_ColCut]GI_Sheet_MemoryCH,0,0", services);
    SheetBuildOptions options;
    options.fontScalePercent = percent;
    sheet->build(options);
    const int column = sheet->findSelectableCell(CL_Mch_Freq, 0).column;
    return std::make_pair(sheet->columnWidth(column), sheet->rowHeight(sheet->firstBodyRow()));
  };
  const auto [width100, height100] = sizes(100);
  const auto [width150, height150] = sizes(150);
  EXPECT_NEAR(width150, width100 * 3 / 2, width100 / 6);
  EXPECT_GT(height150, height100);
}

}  // namespace
