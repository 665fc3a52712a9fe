#include "catalogue_support.h"
#include "gtex/cellmarkup.h"

namespace {

using namespace memmap;

class Commands : public CatalogueTest {
 protected:
  // A menu item's state query (key 0) or execution (key 13).
  cmcCellCapsule item(int link, int index = 0, int key = 0, const char* argument = nullptr) {
    cmcCellObj cell = cellOf(CT_None, link, index);
    if (argument) cell.argument = QByteArray(argument);
    cmcCellCapsule req;
    req.cell = &cell;
    req.key = key;
    catalogue->dispatch(req, false);
    req.cell = nullptr;
    return req;
  }
};

TEST_F(Commands, LinksWithoutImplementationShowTheirId) {
  EXPECT_EQ(shown(CT_Null, CL_Menu_View_Language, 0), "18 *Yet*");
  for (int link : {3, 4, 26, 27, 30, 40, 75, 81, 83, 85, 93, 96, 100, 103, 105, 132, 134, 174})
    EXPECT_EQ(shown(CT_Null, link, 0), QByteArray::number(link) + " *Yet*") << link;
  for (int link : {CL_Null, CL_PMenu_Edit, CL_None, CL_EeDebugWin_3})
    EXPECT_EQ(shown(CT_Null, link, 0), "") << link;
}

TEST_F(Commands, EnterCallsTheApplicationAndQueriesShowState) {
  item(CL_Menu_File_Save, 0, kKeyEnter);  // untitled: Save As
  doc.setCurrentFile("/tmp/x.qev");
  item(CL_Menu_File_Save, 0, kKeyEnter);
  item(CL_Menu_File_Save, 0, kKeyNone);  // a state query runs nothing
  item(CL_Menu_Clone_Read, 0, kKeyEnter);
  item(CallSheet, 0, kKeyEnter, "[St_Common]GI_Sheet_Common,7");
  item(CL_Menu_Com_Speed, 0, kKeyEnter);
  app.visible = false;  // New waits for the main window
  item(CL_Menu_File_New, 0, kKeyEnter);
  EXPECT_EQ(app.calls, QStringList({"saveAs", "save", "cloneRead",
                                    "sheet [St_Common]GI_Sheet_Common,7", "speed 0"}));

  EXPECT_TRUE(item(CL_Menu_View_FontSize, 100).itemState.checked);
  EXPECT_FALSE(item(CL_Menu_View_FontSize, 120).itemState.checked);
  EXPECT_TRUE(item(CL_Menu_Com_Speed, 1).itemState.checked);
  EXPECT_FALSE(item(CL_Menu_File_Import).itemState.disabled);
  EXPECT_TRUE(item(CL_Menu_File_Export).itemState.disabled);
  EXPECT_TRUE(item(CL_Menu_File_Print_Current).itemState.disabled);
  const cmcCellCapsule adj = item(CL_Menu_Clone_Adj);
  EXPECT_TRUE(adj.itemState.disabled && adj.itemState.hidden);

  // Recent files: "&n path" with ampersands doubled; unused entries disabled, hidden after the
  // first.
  app.recent[0] = "R&D.qev";
  const cmcCellCapsule first = item(CL_Menu_File_Recent, 0);
  EXPECT_TRUE(first.itemState.captionSet);
  EXPECT_EQ(first.resultText, "&1 R&&D.qev");
  EXPECT_FALSE(first.itemState.disabled);
  const cmcCellCapsule second = item(CL_Menu_File_Recent, 1);
  EXPECT_TRUE(second.itemState.disabled && second.itemState.hidden);

  // Top-page texts from the application's version and year.
  EXPECT_EQ(shown(CT_Null, CL_Top_Version, 0), "Version 1.02");
  EXPECT_EQ(shown(CT_Null, CL_Top_Copyright, 0), "Copyright (C) 2023 Zelk Inc.");
  EXPECT_EQ(ask(CT_Null, CL_Misc_QuarterPillar, 0, "", 0, nullptr, false).req.paint.decoration,
            kDecorationQuarterPillar);
}

TEST_F(Commands, PopupMenuItemsWorkOnTheCellTheyWereOpenedOn) {
  // The grid's current cell: the frequency of memory channel 0.
  cmcCellObj current = cellOf(CT_Conv, CL_Mch_Freq, 0);
  cmcCellCapsule context;
  context.cell = &current;
  context.origin = CellOrigin::Grid;
  context.sheetArguments = "0,0";

  auto menu = [&](int link, int key) {
    cmcCellObj cell = cellOf(CT_PopupMenu, link);
    cmcCellCapsule req;
    req.cell = &cell;
    req.parent = &context;
    req.key = key;
    const int result = catalogue->dispatch(req, false);
    req.cell = nullptr;
    return std::make_pair(result, req);
  };
  EXPECT_TRUE(menu(CL_PMenu_Paste, 0).second.itemState.disabled);  // nothing copied yet
  EXPECT_TRUE(menu(CL_PMenu_CarryUp, 0).second.itemState.disabled);
  EXPECT_FALSE(menu(CL_PMenu_CarryDown, 0).second.itemState.disabled);
  menu(CL_PMenu_Copy, kKeyEnter);
  EXPECT_FALSE(menu(CL_PMenu_Paste, 0).second.itemState.disabled);

  // Paste onto the empty channel 4, reached through its own cell's popup command.
  cmcCellObj target = cellOf(CT_Conv, CL_Mch_Name, 4);
  cmcCellCapsule paste;
  paste.cell = &target;
  paste.origin = CellOrigin::Grid;
  paste.popupCommand = CL_PMenu_Paste;
  paste.sheetArguments = "0,0";
  catalogue->dispatch(paste, true);
  EXPECT_EQ(channel(4).frequency, 146010000u);
  EXPECT_TRUE(prompter.log().empty());  // the row was empty: nothing to confirm

  // Edit... is Enter on the cell: the frequency entry opens.
  auto [result, edit] = menu(CL_PMenu_Edit, kKeyEnter);
  EXPECT_EQ(result, kDispatchOpenEditor);
  EXPECT_EQ(edit.resultText, "146.010000");

  // Help opens the context help of the cell.
  menu(CL_PMenu_Help, kKeyEnter);
  EXPECT_TRUE(app.calls.contains(QString("contextHelp %1").arg(CL_Mch_Freq)));

  // Clear of the function memory is refused unless it is in mode M.
  cmcCellObj fm = cellOf(CT_Func, CL_Mch_Freq, 0);
  context.cell = &fm;
  context.sheetArguments = "8,0";
  EXPECT_TRUE(menu(CL_PMenu_Clear, 0).second.itemState.disabled);
}

TEST_F(Commands, SummaryChecksAndTheWarningCheck) {
  doc.setOptionBits(0);
  EXPECT_EQ(runWarningCheck(*catalogue, text).errors, 0);
  EXPECT_EQ(runWarningCheck(*catalogue, text).warnings, 0);

  setChannel(5, 150000000);    // outside 144..148 MHz: a caution
  setChannel(105, 175000000);  // outside 136..174 MHz: an error
  setChannel(106, 150000000);  // also a caution on that page; the error wins there
  const WarningCheckResult check = runWarningCheck(*catalogue, text);
  EXPECT_EQ(check.errors, 1);
  EXPECT_EQ(check.warnings, 1);
  EXPECT_EQ(check.errorPages, QList<QByteArray>{"[St_ColCut]GI_Sheet_MemoryCH,1,100"});
  EXPECT_EQ(check.warningPages, QList<QByteArray>{"[St_ColCut]GI_Sheet_MemoryCH,0,0"});
  // The messages name the pages as the tree does.
  EXPECT_EQ(treePageNames(text, check.errorPages + check.warningPages),
            "Memory CH > 100 - 199, Memory CH > 0 - 99");
  EXPECT_EQ(treePageName(text, "[St_Common]GI_Sheet_Common,9"),
            "Function Memory > F-1 > Common Setting");
  EXPECT_EQ(treePageName(text, "[St_Common]GI_Sheet_Common,7"), "Common Setting");

  // With receive expansion the amateur band no longer matters.
  doc.setOptionBits(DestinationOptions::kRxExpansionBit);
  const WarningCheckResult expanded = runWarningCheck(*catalogue, text);
  EXPECT_EQ(expanded.warnings, 0);
  EXPECT_EQ(expanded.errors, 1);
}

}  // namespace
