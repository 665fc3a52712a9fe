#include <QAction>
#include <QUndoStack>
#include <functional>

#include "model/catalogue_support.h"
#include "sheet/ui/DocumentUndo.h"

namespace {

// Every kind of change goes through the real catalogue, as the grid, the popup menu and the
// flag-bits dialog hand it over, wrapped in a Change as they wrap it.
class Undo : public CatalogueTest {
 public:
  // For the table of kinds below.
  using CatalogueTest::doc;
  using CatalogueTest::key;
  using CatalogueTest::prompter;
  using CatalogueTest::setChannel;
  using CatalogueTest::type;

  Undo() {
    doc.setTitleListener([this] { ++titleCalls; });
  }

  void change(const std::function<void()>& edit) {
    DocumentUndo::Change step(&undo, "edit");
    edit();
  }
  // A choice from a list (or the flag-bits dialog's word as typed text) on a cell.
  void choose(int category, int link, int index, const char* args, int choice,
              const QByteArray& typed = {}) {
    cmcCellObj chosen = cellOf(CT_None, Flex0, choice);
    cmcCellCapsule parent;
    parent.cell = &chosen;
    cmcCellObj cell = cellOf(category, link, index);
    cmcCellCapsule req;
    req.cell = &cell;
    req.parent = &parent;
    req.operation = kOpChoiceMade;
    req.typedText = typed;
    req.sheetArguments = args;
    req.origin = CellOrigin::Grid;
    catalogue->dispatch(req, true);
  }
  // A popup-menu command applied to a channel's cell.
  void rowEdit(int command, int index) {
    cmcCellObj cell = cellOf(CT_Conv, CL_Mch_Name, index);
    cmcCellCapsule req;
    req.cell = &cell;
    req.origin = CellOrigin::Grid;
    req.popupCommand = command;
    req.sheetArguments = "0,0";
    catalogue->dispatch(req, true);
  }

  DocumentUndo undo{doc};
  int titleCalls = 0;
};

struct Kind {
  const char* name;
  std::function<void(Undo&)> prepare;  // outside the history
  std::function<void(Undo&)> edit;
};

class EveryKindOfChange : public Undo, public ::testing::WithParamInterface<Kind> {};

TEST_P(EveryKindOfChange, UndoRestoresTheBytesAndRedoReappliesThem) {
  const Kind& kind = GetParam();
  if (kind.prepare) kind.prepare(*this);
  doc.markSaved();
  cmcEeprom before;
  before.assign(doc.working());

  change([&] { kind.edit(*this); });
  ASSERT_TRUE(doc.working().differs(before)) << "the edit changed nothing";
  EXPECT_TRUE(doc.modifiedFlag());
  cmcEeprom after;
  after.assign(doc.working());
  ASSERT_EQ(undo.stack()->count(), 1);

  int restored = 0;
  QObject::connect(&undo, &DocumentUndo::imageRestored, [&] { ++restored; });
  undo.undo();
  EXPECT_TRUE(doc.working().equals(before));
  EXPECT_FALSE(doc.modifiedFlag());  // back at the saved bytes
  EXPECT_EQ(restored, 1);

  undo.redo();
  EXPECT_TRUE(doc.working().equals(after));
  EXPECT_TRUE(doc.modifiedFlag());
  EXPECT_EQ(restored, 2);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, EveryKindOfChange,
    ::testing::Values(
        Kind{"TypedFrequency", nullptr,
             [](Undo& t) { t.type(CT_Conv, CL_Mch_Freq, 5, "0,0", "145.5"); }},
        Kind{"SpaceStepsAList", nullptr,
             [](Undo& t) { t.key(CT_Conv, CL_Mch_TONE_Freq, 0, "0,0", kKeySpace); }},
        Kind{"ListChoice",
             [](Undo& t) {  // F-2 in VFO mode first, so that choosing C refills it
               t.doc.working().setByte(memmap::kF2State + memmap::state::kDisplayMode, 0x06);
             },
             [](Undo& t) { t.choose(CT_Func, CL_Disp_VMC, 1, "10,1", memmap::kDisplayCall); }},
        Kind{"PasteOfACopiedChannel",
             [](Undo& t) {
               t.setChannel(3, 147000000);
               t.doc.clipboard().capture(t.doc.working(), t.doc.options(), kKindConventional, 3, 3);
             },
             [](Undo& t) { t.rowEdit(CL_PMenu_Paste, 40); }},
        Kind{"DeleteShiftsThePage",
             [](Undo& t) {
               for (int ch = 0; ch < 8; ++ch) t.setChannel(ch, 145000000 + ch * 25000);
               t.prompter.push(PromptAnswer::Ok);
             },
             [](Undo& t) { t.rowEdit(CL_PMenu_Delete, 2); }},
        Kind{"FlagBitsCommit", nullptr,
             [](Undo& t) {
               // Bank A set and nothing else: bit 25 of the dialog's word.
               t.choose(CT_Null, CL_Common_BankLink_A_J, 0, "7", 0, QByteArray::number(1 << 25));
             }}),
    [](const ::testing::TestParamInfo<Kind>& info) { return std::string(info.param.name); });

TEST_F(Undo, TheSavedPointMovesWithSaving) {
  change([&] { type(CT_Conv, CL_Mch_Freq, 5, "0,0", "145.5"); });
  doc.markSaved();
  change([&] { type(CT_Conv, CL_Mch_Freq, 5, "0,0", "146"); });
  ASSERT_TRUE(doc.modifiedFlag());
  const int callsBefore = titleCalls;

  undo.undo();  // back to what was saved
  EXPECT_FALSE(doc.modifiedFlag());
  EXPECT_EQ(channel(5).frequency, 145500000u);
  EXPECT_GT(titleCalls, callsBefore);  // the title loses its mark
  undo.undo();                         // before the save: modified again
  EXPECT_TRUE(doc.modifiedFlag());
  EXPECT_FALSE(channel(5).inUse && channel(5).frequency == 145500000u);
  undo.redo();
  EXPECT_FALSE(doc.modifiedFlag());
  undo.redo();
  EXPECT_EQ(channel(5).frequency, 146000000u);
  EXPECT_TRUE(doc.modifiedFlag());
}

TEST_F(Undo, OnlyTheOutermostChangeRecordsAndOnlyWhenTheImageChanged) {
  change([&] {
    DocumentUndo::Change inner(&undo, "inner");
    type(CT_Conv, CL_Mch_Freq, 5, "0,0", "145.5");
    DocumentUndo::Change another(&undo, "another");
    type(CT_Conv, CL_Mch_Freq, 6, "0,0", "146");
  });
  ASSERT_EQ(undo.stack()->count(), 1);
  EXPECT_EQ(undo.stack()->undoText(), "edit");
  undo.undo();
  EXPECT_FALSE(channel(5).frequency == 145500000u || channel(6).frequency == 146000000u);

  // A display request and a value typed again change nothing: no step.
  change([&] { channelText(CL_Mch_Freq, 0); });
  EXPECT_EQ(undo.stack()->count(), 1);
  EXPECT_TRUE(undo.canRedo());  // nothing new replaced the redo step
  {
    DocumentUndo::Change none(nullptr, "no history");  // callers without undo
    type(CT_Conv, CL_Mch_Freq, 7, "0,0", "147");
  }
  EXPECT_EQ(undo.stack()->count(), 1);
}

TEST_F(Undo, ClearingStartsAFreshHistoryEvenInsideAChange) {
  change([&] { type(CT_Conv, CL_Mch_Freq, 5, "0,0", "145.5"); });
  undo.clear();
  EXPECT_FALSE(undo.canUndo());

  // A menu command dispatched from the grid opens another document inside the grid's Change:
  // its "before" is the old document and must not become a step.
  change([&] {
    type(CT_Conv, CL_Mch_Freq, 6, "0,0", "146");
    doc.newDocument();
    undo.clear();
  });
  EXPECT_EQ(undo.stack()->count(), 0);
  EXPECT_FALSE(doc.modifiedFlag());

  change([&] { type(CT_Conv, CL_Mch_Freq, 7, "0,0", "147"); });
  EXPECT_EQ(undo.stack()->count(), 1);  // recording works again afterwards
}

TEST_F(Undo, EditMenuActionsHaveTheirShortcutsAndFollowTheHistory) {
  QObject owner;
  QAction* undoAction = undo.createUndoAction(&owner);
  QAction* redoAction = undo.createRedoAction(&owner);
  EXPECT_EQ(undoAction->shortcuts(), QList<QKeySequence>{QKeySequence("Ctrl+Z")});
  EXPECT_EQ(redoAction->shortcuts(),
            (QList<QKeySequence>{QKeySequence("Ctrl+Y"), QKeySequence("Ctrl+Shift+Z")}));
  EXPECT_FALSE(undoAction->isEnabled());
  EXPECT_FALSE(redoAction->isEnabled());

  change([&] { type(CT_Conv, CL_Mch_Freq, 5, "0,0", "145.5"); });
  EXPECT_TRUE(undoAction->isEnabled());
  EXPECT_FALSE(redoAction->isEnabled());
  undoAction->trigger();
  EXPECT_FALSE(doc.modifiedFlag());
  EXPECT_FALSE(undoAction->isEnabled());
  EXPECT_TRUE(redoAction->isEnabled());
  redoAction->trigger();
  EXPECT_EQ(channel(5).frequency, 145500000u);
}

}  // namespace
