// The navigation tree: built from the resource text, its overlays from the warning check, its
// selection opening sheets, and the sheet history.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <algorithm>
#include <QTreeWidget>

#include "app/FolderPage.h"
#include "app/cuiTree.h"
#include "support/AppRig.h"
#include "gtex/cellmarkup.h"
#include "sheet/core/DocumentCompare.h"

namespace {

constexpr uint32_t kOutOfRangeHz = 100000000;  // below the transceiver's range: an error
constexpr uint32_t kGoodHz = 146520000;
constexpr int kFmNarrow = 1;  // a caution without the FM-narrow option

QStringList outline(QTreeWidgetItem* item, int depth = 0) {
  QStringList lines{QString(depth * 2, ' ') + item->text(0)};
  for (int i = 0; i < item->childCount(); ++i) lines << outline(item->child(i), depth + 1);
  return lines;
}

QTreeWidgetItem* node(AppRig& rig, const char* call) { return rig.app->tree()->findNode(call); }

constexpr char kMemory0[] = "[St_ColCut]GI_Sheet_MemoryCH,0,0";
constexpr char kMemory1[] = "[St_ColCut]GI_Sheet_MemoryCH,1,100";
constexpr char kMemoryTop[] = "GI_Sheet_TreeTop";

TEST(Tree, BuiltByTheDepthRuleWithModelNameAndImages) {
  AppRig rig;
  QTreeWidget* tree = rig.app->tree()->control();
  ASSERT_EQ(tree->topLevelItemCount(), 1);
  EXPECT_EQ(outline(tree->topLevelItem(0)),
            QStringList({"Osprel", "  Memory CH", "      0 -  99", "    100 - 199",
                         "    Program Scan Edge", "    CALL CH", "    Marine CH", "    Bank Name",
                         "  DTMF Memory", "  Common Setting", "  Function Memory", "    F-1",
                         "      Common Setting", "    F-2", "      Common Setting"}));
  EXPECT_TRUE(tree->topLevelItem(0)->isExpanded());
  EXPECT_FALSE(tree->topLevelItem(0)->child(0)->isExpanded());
  EXPECT_FALSE(tree->topLevelItem(0)->icon(0).isNull());
  // The first node is selected and its sheet shown.
  EXPECT_EQ(tree->currentItem(), tree->topLevelItem(0));
  EXPECT_EQ(rig.shownCall(), "GI_Sheet_TopPage");
}

TEST(Tree, MarineNodeOnlyWithOptionFlagsAAndC) {
  AppRig::Options o;
  o.flagsAC = false;
  AppRig without(o);
  EXPECT_EQ(node(without, "[St_ColCut]GI_Sheet_MarineCH,4"), nullptr);
  AppRig with;
  EXPECT_NE(node(with, "[St_ColCut]GI_Sheet_MarineCH,4"), nullptr);
}

TEST(Tree, ErrorOverlayOnACollapsedParentAndErrorOverWarning) {
  AppRig rig;
  rig.setChannel(5, kOutOfRangeHz);
  rig.setChannel(6, kGoodHz, kFmNarrow);
  rig.setChannel(105, kGoodHz, kFmNarrow);
  const WarningCheckResult counts = rig.app->runWarningCheckOnTree();
  EXPECT_GE(counts.errors, 1);
  EXPECT_GE(counts.warnings, 1);

  QTreeWidgetItem* memory = node(rig, kMemory0)->parent();
  ASSERT_EQ(rig.app->tree()->callStringOf(memory), kMemoryTop);
  ASSERT_FALSE(memory->isExpanded());
  // Channels 0-99 hold an error and a caution: the error shows; 100-199 only a caution.
  EXPECT_EQ(cuiTree::overlayOf(node(rig, kMemory0)), kOverlayError);
  EXPECT_EQ(cuiTree::overlayOf(node(rig, kMemory1)), kOverlayWarning);
  // Collapsed, "Memory CH" carries the error of a page below it; the root is expanded.
  EXPECT_EQ(cuiTree::overlayOf(memory), kOverlayError);
  EXPECT_EQ(cuiTree::overlayOf(memory->parent()), -1);
  EXPECT_EQ(cuiTree::overlayOf(node(rig, "GI_Sheet_DTMF_Memory,6")), -1);

  // Expanding runs the check again: the mark stays on the page only.
  memory->setExpanded(true);
  EXPECT_EQ(cuiTree::overlayOf(memory), -1);
  EXPECT_EQ(cuiTree::overlayOf(node(rig, kMemory0)), kOverlayError);
}

TEST(Tree, DelayedCheckMarksTheTreeAfterAnEdit) {
  AppRig rig;
  EXPECT_EQ(cuiTree::overlayOf(node(rig, kMemory1)), -1);
  rig.setChannel(150, kOutOfRangeHz);
  rig.app->dataChanged();
  EXPECT_EQ(cuiTree::overlayOf(node(rig, kMemory1)), -1);  // not at once
  EXPECT_TRUE(spinUntil([&] { return cuiTree::overlayOf(node(rig, kMemory1)) == kOverlayError; }));
}

TEST(Tree, SelectingANodeOpensItsSheetButNotTheOneShownAgain) {
  AppRig rig;
  QTreeWidget* tree = rig.app->tree()->control();
  tree->setCurrentItem(node(rig, kMemory0));
  ASSERT_TRUE(spinUntil([&] { return rig.shownCall() == kMemory0; }));
  const int opened = rig.app->sheetsOpened();
  cuiSheet* shown = rig.app->currentSheet();
  // Away and back to the same node within the change delay: nothing is reopened.
  tree->setCurrentItem(node(rig, kMemory1));
  tree->setCurrentItem(node(rig, kMemory0));
  rig.settle(400);
  EXPECT_EQ(rig.app->sheetsOpened(), opened);
  EXPECT_EQ(rig.app->currentSheet(), shown);
}

TEST(Tree, NodePopupMenuFollowsTheSelection) {
  AppRig rig;
  QTreeWidget* tree = rig.app->tree()->control();
  tree->setCurrentItem(node(rig, kMemory0));
  ASSERT_NE(rig.app->tree()->nodePopup(), nullptr);
  QStringList items;
  for (QAction* a : rig.app->tree()->popupMenu()->actions()) items << a->text();
  EXPECT_EQ(items, QStringList({"Import...", "Export..."}));
  tree->setCurrentItem(node(rig, "GI_Sheet_DTMF_Memory,6"));
  EXPECT_EQ(rig.app->tree()->nodePopup(), nullptr);
  EXPECT_TRUE(rig.app->tree()->popupMenu()->actions().isEmpty());
}

TEST(SheetHistory, ASheetLeftAndReopenedComesBackWhereItWas) {
  AppRig rig;
  QTreeWidget* tree = rig.app->tree()->control();
  tree->setCurrentItem(node(rig, kMemory0));
  ASSERT_TRUE(spinUntil([&] { return rig.shownCall() == kMemory0; }));
  cuiSheet* sheet = rig.app->currentSheet();
  SheetViewPosition there;
  there.current = sheet->model().findSelectableCell(CL_Mch_Freq, 42);
  ASSERT_TRUE(there.current.valid());
  there.leftColumn = there.current.column;
  there.topRow = there.current.row - 3;
  sheet->restorePosition(there);
  const SheetViewPosition stood = sheet->position();

  tree->setCurrentItem(node(rig, "GI_Sheet_DTMF_Memory,6"));
  ASSERT_TRUE(spinUntil([&] { return rig.shownCall() == "GI_Sheet_DTMF_Memory,6"; }));
  tree->setCurrentItem(node(rig, kMemory1));
  ASSERT_TRUE(spinUntil([&] { return rig.shownCall() == kMemory1; }));
  tree->setCurrentItem(node(rig, kMemory0));
  ASSERT_TRUE(spinUntil([&] { return rig.shownCall() == kMemory0; }));
  const SheetViewPosition back = rig.app->currentSheet()->position();
  EXPECT_EQ(back.current, stood.current);
  EXPECT_EQ(back.leftColumn, stood.leftColumn);
  EXPECT_EQ(back.topRow, stood.topRow);
  // One record per call string, the newest first.
  QList<QByteArray> calls;
  for (const SheetRecord& r : rig.app->sheetHistory()) calls << r.callString;
  EXPECT_EQ(calls.count(kMemory0), 1);
  EXPECT_EQ(calls.first(), kMemory1);
}

}  // namespace

namespace {

// Print All prints the pages of the tree as it stands: no Marine CH without options A and C,
// here and in the PDF written without a window.
TEST(Tree, PrintAllTakesExactlyTheTreesPages) {
  constexpr char kMarine[] = "[St_ColCut]GI_Sheet_MarineCH,4";
  for (bool marine : {false, true}) {
    AppRig::Options o;
    o.flagsAC = marine;
    AppRig rig(o);
    const std::vector<QByteArray> pages = rig.app->treeSheetPages();
    EXPECT_EQ(std::count(pages.begin(), pages.end(), QByteArray(kMarine)), marine ? 1 : 0);
    EXPECT_EQ(std::count(pages.begin(), pages.end(), QByteArray(kMemory0)), 1);
    cmcCellParser parser(rig.text);
    EXPECT_EQ(treePages(rig.text, parser, marine ? 0x0F : 0x06), pages) << "marine " << marine;
  }
}

}  // namespace

namespace {

// A folder shows its pages with the channels in use on each; Enter on one opens it.
TEST(Tree, AFolderListsItsPagesWithTheirChannels) {
  AppRig rig;
  rig.setChannel(5, 146520000);
  rig.setChannel(7, 146540000);
  QTreeWidget* tree = rig.app->tree()->control();
  tree->setCurrentItem(node(rig, kMemoryTop));
  ASSERT_TRUE(spinUntil([&] { return rig.shownCall() == kMemoryTop; }));
  auto* page = rig.app->currentSheet()->findChild<FolderPage*>();
  ASSERT_NE(page, nullptr);
  EXPECT_TRUE(page->isVisible());
  QStringList rows;
  for (int i = 0; i < page->list()->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* row = page->list()->topLevelItem(i);
    rows << row->text(0).trimmed() + "|" + row->text(1);
  }
  // The factory image has channels of its own in use on the first page.
  int used = 0;
  for (int i = 0; i < 100; ++i) {
    ChannelView v(rig.app->document().working(), rig.app->document().options());
    v.load(kKindConventional, i);
    used += v.inUse ? 1 : 0;
  }
  ASSERT_GE(used, 2);
  EXPECT_EQ(rows, QStringList({QString("0 - 99|%1 of 100 in use").arg(used), "100 - 199|0 of 100 in use",
                               "Program Scan Edge|0 of 6 in use", "CALL CH|1 of 1 in use",
                               "Marine CH|", "Bank Name|"}));
  page->list()->setFocus();
  page->list()->setCurrentItem(page->list()->topLevelItem(1));
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(page->list(), &enter);
  EXPECT_TRUE(spinUntil([&] { return rig.shownCall() == kMemory1; }));
}

}  // namespace

// The tree keeps the sizes of its nodes; a longer caption or a larger font must still widen the
// column, to the very width the style gives a plain tree.
TEST(Tree, TheColumnFollowsCaptionsAndFont) {
  AppRig rig;
  QTreeWidget* tree = rig.app->tree()->control();
  QTreeWidget plain;
  plain.setIconSize(tree->iconSize());
  plain.setTextElideMode(tree->textElideMode());
  plain.setHeaderHidden(true);
  plain.headerItem()->setSizeHint(0, QSize(0, 0));
  plain.header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  plain.header()->setStretchLastSection(false);
  auto widthOf = [](QTreeWidget* t) { return t->header()->sectionSize(0); };
  auto plainWidthOf = [&](const QString& caption) {
    plain.clear();
    plain.setFont(tree->font());
    auto* item = new QTreeWidgetItem(&plain, {caption});
    item->setIcon(0, tree->topLevelItem(0)->icon(0));
    return widthOf(&plain);
  };
  QTreeWidgetItem* root = tree->topLevelItem(0);
  root->setExpanded(false);
  const int before = widthOf(tree);
  EXPECT_EQ(before, plainWidthOf(root->text(0)));

  root->setText(0, root->text(0) + QStringLiteral(" with a much longer caption"));
  const int longer = widthOf(tree);
  EXPECT_GT(longer, before);
  EXPECT_EQ(longer, plainWidthOf(root->text(0)));

  QFont font = tree->font();
  font.setPixelSize(font.pixelSize() > 0 ? font.pixelSize() * 2 : 24);
  tree->setFont(font);
  EXPECT_GT(widthOf(tree), longer);
  EXPECT_EQ(widthOf(tree), plainWidthOf(root->text(0)));
}
