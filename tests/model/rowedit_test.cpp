#include "model/rowedit.h"

#include <gtest/gtest.h>

#include "base/cmcEvMan.h"
#include "base/prompter.h"
#include "gtex/cmcCellObj.h"
#include "gtex/cmcGTex.h"
#include "model/ChannelView.h"
#include "model/cmcClipCh.h"
#include "model/cmcEeprom.h"
#include "model/memorymap.h"
#include "resources/embedded_text.h"

namespace {

const QString kOverflowPaste =
    "Channel overflow.\nSome of the copied channel contents won't be pasted in the list.\n"
    "Are you sure?";
const QString kOverwrite = "Overwriting. Are you sure?";
const QString kClear = "Clearing. Are you sure?";
const QString kDelete = "Deleting. Are you sure?";
const QString kOverflow =
    "Channel overflow.\nThe channel contents at the bottom line in this sheet will be deleted.\n"
    "Are you sure?";

struct Recorded {
  int code;
  intptr_t a;
  QByteArray text;
};

class RowEditTest : public ::testing::Test {
 protected:
  RowEditTest() : working_(memmap::kImageSize), defaults_(memmap::kImageSize) {
    const EmbeddedText main = mainResourceText();
    text_.setSource(main.lines, main.count);
    // Default image: every record filled with a recognisable pattern, every channel empty.
    for (int a = 0; a < 0x1340; ++a) defaults_.setByte(a, 0x11);
    for (int i = 0; i <= 205; ++i) {
      defaults_.setByte(memmap::kFlagBytes + i, 0x3A);
      working_.setByte(memmap::kFlagBytes + i, 0x3A);
    }
    cell_.category = CT_Conv;
    cell_.link = CL_Mch_Freq;
    events_.subscribe(&RowEditTest::record, this);
  }
  ~RowEditTest() override { events_.unsubscribe(&RowEditTest::record, this); }

  static void record(void* self, const cmcEvent& e) {
    static_cast<RowEditTest*>(self)->events_seen_.push_back({e.code, e.a, e.text()});
  }

  // A channel in use whose frequency tells where it came from.
  void fill(int index, int tag) {
    ChannelView v(working_, options_);
    v.load(kKindConventional, index);
    v.inUse = true;
    v.frequency = 144000000 + 5000 * tag;
    v.setName("TAG", 3);
    v.bank = tag % 10;
    v.commit();
  }
  int tagOf(int index) {
    ChannelView v(working_, options_);
    v.load(kKindConventional, index);
    if (!v.inUse) return -1;
    return static_cast<int>((v.frequency - 144000000) / 5000);
  }
  // A channel record without its opaque bits (byte 14 bits 1-0, byte 15 bit 0), which stay
  // with the row whatever is stored into it.
  QByteArray record16(const cmcEeprom& image, int index) {
    QByteArray r(16, 0);
    image.readBlock(16 * index, reinterpret_cast<uint8_t*>(r.data()), 16);
    r[14] = static_cast<char>(r[14] & 0xFC);
    r[15] = static_cast<char>(r[15] & 0xFE);
    return r;
  }

  cmcCellCapsule request(int first, int last) {
    cmcCellCapsule r;
    r.cell = &cell_;
    if (first != last) {
      r.multipleSelection.bits = kMultiSelectActive;
      r.multipleSelection.first = first;
      r.multipleSelection.last = last;
    }
    return r;
  }

  // Runs a command on the current row `index` with rows first..last selected.
  cmcCellCapsule run(int command, int index, int first, int last, int rangeFirst = 0,
                     int rangeLast = 99) {
    cmcCellCapsule r = request(first, last);
    ChannelView view(working_, options_);
    view.load(kKindConventional, index);
    RowEditContext context{working_, defaults_, options_, clipboard_, prompter_, text_, &events_};
    EXPECT_EQ(rowEdit(command, r, view, rangeFirst, rangeLast, context), kDispatchDone);
    return r;
  }

  QStringList asked() const { return prompter_.texts(); }
  QByteArray statusText() const {
    for (auto it = events_seen_.rbegin(); it != events_seen_.rend(); ++it) {
      if (it->code == ev::kStatusText) return it->text;
    }
    return {};
  }
  bool sawEvent(int code, intptr_t a = -1) const {
    for (const Recorded& e : events_seen_) {
      if (e.code == code && (a < 0 || e.a == a)) return true;
    }
    return false;
  }

  DestinationOptions options_;
  cmcEeprom working_, defaults_;
  cmcClipCh clipboard_;
  ScriptedPrompter prompter_;
  cmcGTex text_;
  cmcEvMan events_;
  cmcCellObj cell_;
  std::vector<Recorded> events_seen_;
};

}  // namespace

TEST_F(RowEditTest, OverflowPasteAsksAndWritesOnlyWhatFits) {
  for (int i = 95; i <= 99; ++i) fill(i, i);
  run(CL_PMenu_Copy, 95, 95, 99);
  EXPECT_EQ(statusText(), " Copied");
  EXPECT_TRUE(asked().isEmpty());
  // Rows 98 and 99 are cleared first so that only the overflow is asked.
  working_.setByte(memmap::kFlagBytes + 98, 0x3A);
  working_.setByte(memmap::kFlagBytes + 99, 0x3A);
  const QByteArray row100 = record16(working_, 100);

  const cmcCellCapsule r = run(CL_PMenu_Paste, 98, 98, 98);
  EXPECT_EQ(asked(), QStringList{kOverflowPaste});
  EXPECT_EQ(prompter_.log()[0].message.caption, "Kestrin");
  EXPECT_EQ(prompter_.log()[0].message.buttons, PromptButtons::OkCancel);
  EXPECT_EQ(prompter_.log()[0].message.icon, PromptIcon::Warning);
  EXPECT_EQ(prompter_.log()[0].answer, PromptAnswer::Ok);
  EXPECT_EQ(tagOf(98), 95);
  EXPECT_EQ(tagOf(99), 96);
  EXPECT_EQ(record16(working_, 100), row100);
  EXPECT_EQ(working_.getByte(memmap::kFlagBytes + 100), 0x3A);
  EXPECT_TRUE(r.multipleSelection.bits & kMultiSelectApplied);
  EXPECT_EQ(r.multipleSelection.first, 98);
  EXPECT_EQ(r.multipleSelection.last, 99);
  EXPECT_TRUE(sawEvent(ev::kRefreshAllSheets));
  EXPECT_EQ(statusText(), " Pasted");
}

TEST_F(RowEditTest, PasteOntoEmptyRowsAsksNothingAndOntoUsedRowsAsksToOverwrite) {
  fill(5, 5);
  run(CL_PMenu_Copy, 5, 5, 5);
  run(CL_PMenu_Paste, 50, 50, 50);
  EXPECT_TRUE(asked().isEmpty());
  EXPECT_EQ(tagOf(50), 5);
  EXPECT_TRUE(sawEvent(ev::kRefreshRow, 50));
  run(CL_PMenu_Paste, 5, 5, 5);
  EXPECT_EQ(asked(), QStringList{kOverwrite});
}

TEST_F(RowEditTest, DeleteMovesRowsUpInsideTheBlockOnly) {
  for (int i = 10; i <= 100; ++i) fill(i, i);
  working_.setByte(memmap::kFlagBytes + 99, working_.getByte(memmap::kFlagBytes + 99) | 0x80);
  const QByteArray row100 = record16(working_, 100);
  const uint8_t flag100 = working_.getByte(memmap::kFlagBytes + 100);

  const cmcCellCapsule r = run(CL_PMenu_Delete, 10, 10, 10);
  EXPECT_EQ(asked(), QStringList{kDelete + "\n\nChannel 10"});
  for (int i = 10; i <= 98; ++i) ASSERT_EQ(tagOf(i), i + 1) << i;
  EXPECT_EQ(tagOf(99), -1);
  EXPECT_EQ(record16(working_, 99), record16(defaults_, 99));  // the default image's bytes
  EXPECT_EQ(working_.getByte(memmap::kFlagBytes + 99), 0xBA);  // bit 7 kept
  EXPECT_EQ(record16(working_, 100), row100);
  EXPECT_EQ(working_.getByte(memmap::kFlagBytes + 100), flag100);
  EXPECT_TRUE(r.jump.requested);
  EXPECT_EQ(r.jump.index, 10);
  EXPECT_EQ(r.jump.link, CL_Mch_Freq);
  EXPECT_FALSE(r.multipleSelection.bits & kMultiSelectApplied);
  EXPECT_EQ(statusText(), " Deleted");
}

TEST_F(RowEditTest, InsertAtTheTopPushesTheLastRowOut) {
  for (int i = 0; i <= 99; ++i) fill(i, i);
  const cmcCellCapsule r = run(CL_PMenu_Insert, 0, 0, 0);
  EXPECT_EQ(asked(), QStringList{kOverflow});
  EXPECT_EQ(tagOf(0), -1);
  for (int i = 1; i <= 99; ++i) ASSERT_EQ(tagOf(i), i - 1) << i;
  EXPECT_EQ(r.multipleSelection.first, 0);
  EXPECT_EQ(r.multipleSelection.last, 0);
  EXPECT_EQ(statusText(), " Inserted");

  // With the last rows empty nothing is lost and nothing is asked.
  prompter_.clearLog();
  working_.setByte(memmap::kFlagBytes + 98, 0x3A);
  working_.setByte(memmap::kFlagBytes + 99, 0x3A);
  run(CL_PMenu_Insert, 3, 3, 4);
  EXPECT_TRUE(asked().isEmpty());
  EXPECT_EQ(tagOf(3), -1);
  EXPECT_EQ(tagOf(4), -1);
  EXPECT_EQ(tagOf(5), 2);
}

TEST_F(RowEditTest, CarryDownSwapsTheNeighbourToTheTop) {
  for (int i = 10; i <= 13; ++i) fill(i, i);
  const cmcCellCapsule r = run(CL_PMenu_CarryDown, 12, 10, 12);
  EXPECT_EQ(tagOf(10), 13);
  EXPECT_EQ(tagOf(11), 10);
  EXPECT_EQ(tagOf(12), 11);
  EXPECT_EQ(tagOf(13), 12);
  EXPECT_EQ(r.multipleSelection.first, 11);
  EXPECT_EQ(r.multipleSelection.last, 13);
  EXPECT_EQ(r.jump.index, 13);
  EXPECT_TRUE(asked().isEmpty());
  EXPECT_EQ(statusText(), "");

  const cmcCellCapsule up = run(CL_PMenu_CarryUp, 11, 11, 11);
  EXPECT_EQ(tagOf(10), 10);
  EXPECT_EQ(tagOf(11), 13);
  EXPECT_EQ(up.jump.index, 10);

  // No room: the block's end row and the one-row call range stay as they are.
  const cmcEeprom before = [&] {
    cmcEeprom c;
    c.assign(working_);
    return c;
  }();
  run(CL_PMenu_CarryDown, 99, 99, 99);
  run(CL_PMenu_CarryUp, 0, 0, 0);
  run(CL_PMenu_CarryDown, 206, 206, 206, 206, 206);
  EXPECT_TRUE(working_.equals(before));
}

TEST_F(RowEditTest, ClearAsksOnlyWhenSomethingIsInUse) {
  const cmcEeprom before = [&] {
    cmcEeprom c;
    c.assign(working_);
    return c;
  }();
  run(CL_PMenu_Clear, 7, 7, 7);
  EXPECT_TRUE(asked().isEmpty());
  EXPECT_TRUE(working_.equals(before));
  EXPECT_FALSE(sawEvent(ev::kStatusText));

  fill(7, 7);
  fill(8, 8);
  run(CL_PMenu_Clear, 7, 6, 8);
  EXPECT_EQ(asked(), QStringList{kClear});
  EXPECT_EQ(tagOf(7), -1);
  EXPECT_EQ(tagOf(8), -1);
  EXPECT_EQ(record16(working_, 7), record16(defaults_, 7));
  for (int i = 6; i <= 8; ++i) EXPECT_TRUE(sawEvent(ev::kRefreshRow, i)) << i;
  EXPECT_EQ(statusText(), " Cleared");
}

TEST_F(RowEditTest, ACancelledConfirmationChangesNothing) {
  for (int i = 0; i <= 99; ++i) fill(i, i);
  struct Case {
    int command;
    int index, first, last;
    QString question;
  };
  const Case cases[] = {
      {CL_PMenu_Paste, 97, 97, 97, kOverflowPaste},
      {CL_PMenu_Paste, 10, 10, 10, kOverwrite},  // fits, but row 10 is in use
      {CL_PMenu_Clear, 5, 5, 9, kClear},
      {CL_PMenu_Delete, 5, 5, 8, kDelete + "\n\nChannels 5 to 8"},
      {CL_PMenu_Insert, 5, 5, 5, kOverflow},
  };
  for (const Case& c : cases) {
    clipboard_.capture(working_, options_, kKindConventional, 20, c.question == kOverwrite ? 1 : 5);
    prompter_.clearLog();
    events_seen_.clear();
    cmcEeprom before;
    before.assign(working_);
    prompter_.push(PromptAnswer::Cancel);
    run(c.command, c.index, c.first, c.last);
    EXPECT_EQ(asked(), QStringList{c.question}) << c.command;
    EXPECT_EQ(prompter_.log().back().answer, PromptAnswer::Cancel);
    EXPECT_TRUE(working_.equals(before)) << c.command;
    EXPECT_FALSE(sawEvent(ev::kStatusText)) << c.command;
  }
}

TEST_F(RowEditTest, FunctionMemoriesClearFromTheDefaultImage) {
  ChannelView f2(working_, options_);
  f2.load(kKindFunction, 1);
  f2.inUse = true;
  f2.frequency = 145000000;
  f2.commit();
  cmcCellCapsule r;
  ChannelView view(working_, options_);
  view.load(kKindFunction, 1);
  RowEditContext context{working_, defaults_, options_, clipboard_, prompter_, text_, &events_};
  rowEdit(CL_PMenu_Clear, r, view, 0, 1, context);
  EXPECT_EQ(asked(), QStringList{kClear});
  EXPECT_FALSE(view.inUse);  // the view was reloaded
  EXPECT_TRUE(working_.getByte(memmap::kF2State + memmap::state::kUseSkip) & 0x20);
}

TEST_F(RowEditTest, PopupMenuEnabling) {
  struct Case {
    int command, kind, index;
    bool disabled;
  };
  const Case cases[] = {
      {CL_PMenu_Copy, kKindConventional, 0, false},
      {CL_PMenu_Copy, kKindConventional, 307, true},
      {CL_PMenu_Paste, kKindConventional, 10, true},  // empty clipboard
      {CL_PMenu_CarryDown, kKindConventional, 99, true},
      {CL_PMenu_CarryDown, kKindConventional, 98, false},
      {CL_PMenu_CarryUp, kKindConventional, 100, true},
      {CL_PMenu_CarryUp, kKindConventional, 200, true},
      {CL_PMenu_CarryUp, kKindConventional, 201, false},
      {CL_PMenu_CarryDown, kKindConventional, 205, true},
      {CL_PMenu_CarryDown, kKindConventional, 206, true},
      {CL_PMenu_CarryUp, kKindConventional, 250, true},  // marine
      {CL_PMenu_Clear, kKindConventional, 206, true},
      {CL_PMenu_Insert, kKindConventional, 206, true},
      {CL_PMenu_Delete, kKindConventional, 206, true},
      {CL_PMenu_Delete, kKindConventional, 205, false},
      {CL_PMenu_CarryUp, kKindFunction, 0, true},
      {CL_PMenu_CarryUp, kKindFunction, 1, false},
      {CL_PMenu_Clear, kKindFunction, 0, true},  // F-1 is not in display mode M
  };
  for (const Case& c : cases) {
    EXPECT_EQ(rowEditDisabled(c.command, c.kind, c.index, clipboard_, working_), c.disabled)
        << c.command << " " << c.kind << " " << c.index;
  }
  working_.setByte(memmap::kF1State + memmap::state::kDisplayMode, memmap::kDisplayMemory);
  EXPECT_FALSE(rowEditDisabled(CL_PMenu_Clear, kKindFunction, 0, clipboard_, working_));

  // Paste onto the call channel is refused while the clipboard holds an empty channel.
  fill(0, 0);
  clipboard_.capture(working_, options_, kKindConventional, 0, 2);  // row 1 is empty
  EXPECT_FALSE(rowEditDisabled(CL_PMenu_Paste, kKindConventional, 10, clipboard_, working_));
  EXPECT_TRUE(rowEditDisabled(CL_PMenu_Paste, kKindConventional, 206, clipboard_, working_));
  EXPECT_TRUE(rowEditDisabled(CL_PMenu_Paste, kKindFunction, 0, clipboard_, working_));
  clipboard_.capture(working_, options_, kKindConventional, 0, 1);
  EXPECT_FALSE(rowEditDisabled(CL_PMenu_Paste, kKindConventional, 206, clipboard_, working_));
}
