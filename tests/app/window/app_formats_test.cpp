// Rules of the window that need no window: regional formats, dialog placement, file filters.
#include <gtest/gtest.h>

#include "app/QtFileChooser.h"
#include "app/RegionalFormats.h"
#include "app/dialogplacement.h"

namespace {

struct RegionCase {
  const char* name;
  SystemRegion region;
  const char* dateFormat;
  int dateOrder;
  const char* timeFormat;
  const char* decimal;
  const char* list;
};

class Regional : public ::testing::TestWithParam<RegionCase> {};

TEST_P(Regional, Formats) {
  const RegionCase& c = GetParam();
  const RegionalFormats f = regionalFormats(c.region);
  EXPECT_EQ(f.dateFormat, c.dateFormat);
  EXPECT_EQ(f.dateOrder, c.dateOrder);
  EXPECT_EQ(f.timeFormat, c.timeFormat);
  EXPECT_EQ(f.decimalSeparator, c.decimal);
  EXPECT_EQ(f.listSeparator, c.list);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Regional,
    ::testing::Values(RegionCase{"german",
                                 {"dd.MM.yyyy", ".", ":", "HH:mm:ss", ",", ","},
                                 "dd.mm.yyyy",
                                 2,
                                 "hh:nn:ss",
                                 ",",
                                 ";"},
                      RegionCase{"american",
                                 {"M/d/yy", "/", ":", "h:mm:ss AP", ".", ","},
                                 "mm/dd/yyyy",
                                 1,
                                 "hh:nn:ss",
                                 ".",
                                 ","},
                      RegionCase{"iso",
                                 {"yyyy-MM-dd", "-", ".", "HH.mm.ss", ".", ";"},
                                 "yyyy-mm-dd",
                                 0,
                                 "hh.nn.ss",
                                 ".",
                                 ";"},
                      // An unusual separator becomes "/"; a quoted letter is no date letter.
                      RegionCase{"oddSeparator",
                                 {"d' de 'MM' de 'yyyy", " de ", ":", "", "'", "|"},
                                 "dd/mm/yyyy",
                                 2,
                                 "hh:nn:ss",
                                 ".",
                                 ","},
                      RegionCase{"noDayJapanese",
                                 {"yyyy/MM", "/", ":", "", ".", ",", true},
                                 "yyyy/mm/dd",
                                 0,
                                 "hh:nn:ss",
                                 ".",
                                 ","},
                      RegionCase{"noDayOther",
                                 {"MM/yyyy", "/", ":", "", ".", ",", false},
                                 "mm/dd/yyyy",
                                 1,
                                 "hh:nn:ss",
                                 ".",
                                 ","}),
    [](const auto& info) { return std::string(info.param.name); });

struct PlacementCase {
  const char* name;
  QRect owner;
  QSize dialog;
  QPoint expected;
};

class Placement : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(Placement, CentredThenPulledIntoTheWorkArea) {
  const PlacementCase& c = GetParam();
  const QRect work(0, 0, 1000, 700);
  EXPECT_EQ(placeDialog(c.owner, c.dialog, work), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Placement,
    ::testing::Values(PlacementCase{"centred", {100, 100, 401, 301}, {200, 100}, {200, 200}},
                      PlacementCase{"pastRight", {900, 100, 200, 200}, {300, 100}, {700, 150}},
                      PlacementCase{"pastBottom", {100, 650, 200, 200}, {100, 300}, {150, 400}},
                      PlacementCase{"beforeLeftAndTop", {-300, -300, 100, 100}, {50, 50}, {0, 0}},
                      // Larger than the work area: the left and top edges win.
                      PlacementCase{"tooBig", {0, 0, 1000, 700}, {1200, 900}, {0, 0}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FileChooser, FilterOfTheResourceTextAsDialogFilters) {
  EXPECT_EQ(QtFileChooser::nameFilters("Data files (*.qev)|*.qev|All files (*.*)|*.*"),
            QStringList({"Data files (*.qev)", "All files (*.*)"}));
  EXPECT_EQ(QtFileChooser::nameFilters("Lists|*.csv;*.txt"), QStringList({"Lists (*.csv *.txt)"}));
}

}  // namespace
