#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>
#include <algorithm>
#include <memory>

#include "files/indEnviron.h"
#include "gtex/cmcGTex.h"
#include "resources/embedded_text.h"
#include "sheet/core/SheetEnvironment.h"
#include "sheet/core/SheetModel.h"
#include "sheet/ui/SheetWidthStore.h"

namespace {

constexpr const char* kMemory = "[St_ColCut]GI_Sheet_MemoryCH,0,0";
constexpr const char* kScanEdge = "[St_ColCut]GI_Sheet_ScanEdge,2";
constexpr const char* kCall = "[St_ColCut]GI_Sheet_CallCh,3";
constexpr const char* kMarine = "[St_ColCut]GI_Sheet_MarineCH,4";

// Real sheets of the program's own text, widths kept in a settings file of the test's own.
class Widths : public ::testing::Test {
 protected:
  Widths() {
    const EmbeddedText main = mainResourceText();
    text.setSource(main.lines, main.count);
    settings = std::make_unique<indEnviron>(
        indEnviron::kMutexName, indEnviron::kKeyPath, indEnviron::kKeyPath, QStringList{"kestrin"},
        ScreenSize{1280, 1024}, EnvironPlace{dir.path(), dir.path()});
    store = std::make_unique<SettingsWidthStore>(*settings, text);
  }

  std::unique_ptr<SheetModel> build(const char* call, SheetBuildOptions options = {},
                                    bool keepWidths = true) {
    SheetServices s;
    s.text = &text;
    s.environment = &environment;
    s.widths = keepWidths ? store.get() : nullptr;
    auto sheet = SheetModel::create(call, s);
    sheet->build(options);
    return sheet;
  }
  // What the sheet widget does when it closes.
  void close(std::unique_ptr<SheetModel>& sheet) {
    store->saveWidths(*sheet);
    sheet.reset();
  }
  static int frequencyColumn(const SheetModel& sheet) {
    const int row = sheet.firstBodyRow();
    for (int c = 0; c < sheet.columnCount(); ++c)
      if (sheet.cellAt(c, row).link == CL_Mch_Freq) return c;
    return -1;
  }
  QVariant storedValue(const QString& name) const {
    return QSettings(settings->settingsFilePath(), QSettings::IniFormat).value(name);
  }

  QTemporaryDir dir;
  cmcGTex text;
  EmptySheetEnvironment environment;
  std::unique_ptr<indEnviron> settings;
  std::unique_ptr<SettingsWidthStore> store;
};

TEST_F(Widths, MemoryAndScanEdgeShareTheirWidthsAndTheCallSheetKeepsItsOwn) {
  auto call = build(kCall);
  const int callColumn = frequencyColumn(*call);
  const int callBuilt = call->columnWidth(callColumn);
  close(call);

  auto memory = build(kMemory);
  const int column = frequencyColumn(*memory);
  ASSERT_GE(column, memory->fixedCols());
  ASSERT_NE(callBuilt, 140);
  memory->setColumnWidth(column, 140);
  EXPECT_FALSE(clampDraggedWidths(*memory, 1200));  // within bounds: left alone
  close(memory);
  EXPECT_EQ(storedValue(QString("Display/memory/colwidth/%1").arg(column)).toInt(), 140);

  auto edges = build(kScanEdge);
  EXPECT_EQ(frequencyColumn(*edges), column);
  EXPECT_EQ(edges->columnWidth(column), 140);
  call = build(kCall);
  EXPECT_EQ(call->columnWidth(callColumn), callBuilt);

  // A fresh run reads the same widths back from the file.
  store = std::make_unique<SettingsWidthStore>(*settings, text);
  EXPECT_EQ(build(kScanEdge)->columnWidth(column), 140);
}

TEST_F(Widths, OnlyTheKeptColumnsOfListedSheetsAreStored) {
  auto memory = build(kMemory);
  const std::vector<int> kept = memory->keptColumns();
  QSettings file(settings->settingsFilePath(), QSettings::IniFormat);
  file.beginGroup("Display/memory/colwidth");
  QStringList expected;
  for (int c : kept) {
    expected << QString::number(c);
    EXPECT_GE(c, memory->fixedCols());
    EXPECT_EQ(file.value(QString::number(c)).toInt(), memory->columnWidth(c));  // after build
  }
  QStringList keys = file.childKeys();
  std::sort(keys.begin(), keys.end(), [](auto& a, auto& b) { return a.toInt() < b.toInt(); });
  EXPECT_EQ(keys, expected);
  file.endGroup();

  // The marine sheet is not listed: it always opens with its built widths and stores nothing.
  auto marine = build(kMarine);
  const int column = frequencyColumn(*marine);
  const int built = marine->columnWidth(column);
  marine->setColumnWidth(column, built + 50);
  close(marine);
  EXPECT_EQ(build(kMarine)->columnWidth(column), built);
  file.beginGroup("Display");
  EXPECT_EQ(file.childGroups(), QStringList{"memory"});
}

TEST_F(Widths, DraggedWidthsAreBounded) {
  auto memory = build(kMemory);
  const int column = frequencyColumn(*memory);
  int fixed = 0;
  for (int c = 0; c < memory->fixedCols(); ++c) fixed += memory->columnWidth(c);
  struct Case {
    int dragged;
    int clientWidth;
    int expected;
  } cases[] = {
      {3, 1200, 10},            // too narrow
      {0, 1200, 10},            // dragged shut
      {649, 1200, 649},         // within bounds
      {900, 1200, 650},         // the upper bound
      {500, fixed + 300, 300},  // the window leaves less room
      {500, fixed + 4, 10},     // never below the lower bound
  };
  for (const Case& c : cases) {
    memory->setColumnWidth(column, c.dragged);
    clampDraggedWidths(*memory, c.clientWidth);
    EXPECT_EQ(memory->columnWidth(column), c.expected) << c.dragged << " in " << c.clientWidth;
  }
  // Fixed and hidden columns are not the user's to drag: left as they are.
  memory->setColumnWidth(0, 700);
  clampDraggedWidths(*memory, 1200);
  EXPECT_EQ(memory->columnWidth(0), 700);
}

TEST_F(Widths, AStoredOverwideWidthLoadsAsStoredUntilTheFirstDrag) {
  const int column = frequencyColumn(*build(kMemory));
  settings->writeInteger(SettingsWidthStore::keyPath("memory"), QString::number(column), 2000);
  store = std::make_unique<SettingsWidthStore>(*settings, text);  // a new run

  auto memory = build(kMemory);
  EXPECT_EQ(memory->columnWidth(column), 2000);
  const int other = memory->keptColumns().back();
  memory->setColumnWidth(other, memory->columnWidth(other) + 5);  // the drag of another column
  EXPECT_TRUE(clampDraggedWidths(*memory, 1200));
  EXPECT_EQ(memory->columnWidth(column), 650);
}

TEST_F(Widths, AResetForgetsEveryFamily) {
  auto memory = build(kMemory);
  const int column = frequencyColumn(*memory);
  const int built = memory->columnWidth(column);
  memory->setColumnWidth(column, built + 30);
  close(memory);
  auto call = build(kCall);
  call->setColumnWidth(frequencyColumn(*call), 77);
  close(call);

  SheetBuildOptions reset;
  reset.resetWidths = true;
  EXPECT_EQ(build(kMemory, reset)->columnWidth(column), built);
  // The reset build stored its fresh widths again; the call family is simply gone.
  EXPECT_EQ(storedValue(QString("Display/memory/colwidth/%1").arg(column)).toInt(), built);
  EXPECT_FALSE(storedValue(QString("Display/call/colwidth/%1").arg(column)).isValid());
  EXPECT_NE(build(kCall)->columnWidth(column), 77);
}

TEST_F(Widths, AChangedFontScaleScalesTheKeptWidths) {
  auto memory = build(kMemory);
  const int column = frequencyColumn(*memory);
  memory->setColumnWidth(column, 140);
  close(memory);

  SheetBuildOptions large;
  large.fontScalePercent = 150;
  auto builtLarge = build(kMemory, large, false);
  auto reopened = build(kMemory, large);
  EXPECT_EQ(reopened->columnWidth(column), 210);
  // Columns the user never dragged are as wide as the larger font needs, not cut at 100 %.
  for (int c : reopened->keptColumns()) {
    if (c == column) continue;
    EXPECT_GE(reopened->columnWidth(c), builtLarge->columnWidth(c) - 1) << "column " << c;
  }
  // A width dragged at 150 % is kept at 100 % and comes back in proportion at either scale.
  reopened->setColumnWidth(column, 180);
  close(reopened);
  EXPECT_EQ(storedValue(QString("Display/memory/colwidth/%1").arg(column)).toInt(), 120);
  EXPECT_EQ(build(kMemory)->columnWidth(column), 120);
  EXPECT_EQ(build(kMemory, large)->columnWidth(column), 180);
}

TEST_F(Widths, PrintingScalesTheStoredWidthsButNeverWidens) {
  // Point size x printer pixels per screen pixel x 16 / (P x 16 / 100, in integers) x 0.1.
  EXPECT_DOUBLE_EQ(SettingsWidthStore::printFactor(10, 1.0, 100), 1.0);
  EXPECT_DOUBLE_EQ(SettingsWidthStore::printFactor(12, 6.25, 100), 7.5);
  EXPECT_DOUBLE_EQ(SettingsWidthStore::printFactor(10, 1.0, 150), 160.0 / 24 * 0.1);
  EXPECT_DOUBLE_EQ(SettingsWidthStore::printFactor(8, 2.0, 60), 8 * 2.0 * 16 / 9 * 0.1);

  auto memory = build(kMemory);
  const std::vector<int> kept = memory->keptColumns();
  const int narrow = kept[0], wide = kept[1];
  memory->setColumnWidth(narrow, 41);
  memory->setColumnWidth(wide, 1000);
  close(memory);

  // 0.8: printer font 8 points on a printer with as many pixels per inch as the screen.
  settings->setFontSizePrinter(8);
  SheetBuildOptions print;
  print.printing = true;
  print.printScale = 1.0;
  auto printed = build(kMemory, print);
  auto builtForPrint = build(kMemory, print, false);
  ASSERT_GT(builtForPrint->columnWidth(narrow), 33);
  EXPECT_EQ(printed->columnWidth(narrow), 33);  // 41 x 0.8 = 32.8, rounded
  ASSERT_LT(builtForPrint->columnWidth(wide), 800);
  EXPECT_EQ(printed->columnWidth(wide), builtForPrint->columnWidth(wide));  // not 1000 x 0.8
  // A printing build never writes.
  EXPECT_EQ(storedValue(QString("Display/memory/colwidth/%1").arg(narrow)).toInt(), 41);
}

}  // namespace
