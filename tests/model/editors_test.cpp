#include "model/editors.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

#include "gtex/cmcCellObj.h"
#include "gtex/cmcFCache.h"
#include "gtex/cmcGTex.h"
#include "model/ChannelView.h"
#include "model/cmcEeprom.h"
#include "model/editor_channel.h"
#include "model/editor_values.h"
#include "model/memorymap.h"
#include "resources/embedded_text.h"

namespace {

cmcCellCapsule keyRequest(int key) {
  cmcCellCapsule r;
  r.origin = CellOrigin::Grid;
  r.key = key;
  return r;
}

cmcCellCapsule typedRequest(const QByteArray& text) {
  cmcCellCapsule r;
  r.origin = CellOrigin::Grid;
  r.operation = kOpTextEntered;
  r.typedText = text;
  return r;
}

// A choice from a popup list: the parent request carries the chosen item's cell.
struct Choice {
  cmcCellObj item;
  cmcCellCapsule parentRequest;
  cmcCellCapsule request;
  Choice(int link, int index) {
    item.link = link;
    item.index = index;
    parentRequest.cell = &item;
    request.operation = kOpChoiceMade;
    request.parent = &parentRequest;
  }
};

// A list in reading order (as the store's byPosition) with its by-value copy.
SelectionList makeList(const std::vector<std::pair<int, QByteArray>>& inReadingOrder) {
  SelectionList list;
  for (const auto& [value, text] : inReadingOrder) list.byPosition.push_back({0, 0, value, text});
  list.byValue = list.byPosition;
  std::stable_sort(
      list.byValue.begin(), list.byValue.end(),
      [](const SelectionChoice& a, const SelectionChoice& b) { return a.value < b.value; });
  return list;
}

class EditorsTest : public ::testing::Test {
 protected:
  EditorsTest() {
    std::vector<std::pair<int, QByteArray>> tones;
    for (int i = 0; i < kToneCount; ++i) {
      const int t = kCtcssTonesTenthHz[i];
      tones.push_back({i, QByteArray::number(t / 10) + "." + QByteArray::number(t % 10)});
    }
    lists_["GI_Sheet_Sel_Mch_TFreq"] = makeList(tones);
    lists_["GI_Sheet_Sel_Mch_Dup"] = makeList({{0, ""}, {1, "-DUP"}, {2, "+DUP"}});
    // Two columns: reading order runs down the first column, then the second.
    lists_["GI_Sheet_Sel_Two_Columns"] = makeList({{0, "a"}, {2, "c"}, {1, "b"}, {3, "d"}});
    lists_["GI_Sheet_Sel_Marine_CHAtr"] = makeList({{0, ""}, {1, "P"}, {2, "C"}});
    text_.setSource(kText, sizeof kText / sizeof *kText);
  }

  ValueEditors editors() {
    return ValueEditors(
        [this](const QByteArray& name, int link) -> const SelectionList* {
          if (link != Flex0) return nullptr;
          auto it = lists_.find(name);
          return it == lists_.end() ? nullptr : &it->second;
        },
        &text_);
  }

  static constexpr const char* kText[] = {
      "",
      "#GI_Sheet_Sel_VMC_Cells",
      "{S(%%FlexVMCCh[%d])}CALL",
      "#",
      "#GI_Sheet_Sel_VMC_Data",
      "",
      "{($iCG2)}\\_Emergency CH\\_",
      "{($iSp)}",
      "",
      "#",
      "#End_Of_Ovl",
  };
  std::map<QByteArray, SelectionList> lists_;
  cmcGTex text_;
};

}  // namespace

TEST_F(EditorsTest, SelectionShowsStepsInReadingOrderAndOpensItsList) {
  const ValueEditors e = editors();
  struct Case {
    const char* list;
    int value;
    int key;
    int after;
    const char* shown;
  };
  const Case cases[] = {
      {"GI_Sheet_Sel_Mch_Dup", 2, kKeyNone, 2, "+DUP"},
      {"GI_Sheet_Sel_Mch_Dup", 0, kKeyNone, 0, ""},   // OFF shows empty in data cells
      {"GI_Sheet_Sel_Mch_Dup", 7, kKeyNone, 7, ""},   // not a choice
      {"GI_Sheet_Sel_Mch_Dup", 2, kKeySpace, 0, ""},  // past the last comes the first
      {"GI_Sheet_Sel_Mch_Dup", 0, kKeyBackspace, 2, "+DUP"},
      {"GI_Sheet_Sel_Mch_Dup", 7, kKeySpace, 0, ""},  // unknown: first, or last
      {"GI_Sheet_Sel_Mch_Dup", 7, kKeyBackspace, 2, "+DUP"},
      {"GI_Sheet_Sel_Two_Columns", 0, kKeySpace, 2, "c"},  // down the column, not by value
      {"GI_Sheet_Sel_Two_Columns", 1, kKeyBackspace, 2, "c"},
      {"GI_Sheet_Sel_Mch_TFreq", 0, kKeyBackspace, 49, "254.1"},
  };
  for (const Case& c : cases) {
    cmcCellCapsule r = keyRequest(c.key);
    int value = c.value;
    const EditResult result = e.selection(r, c.list, value);
    EXPECT_EQ(value, c.after) << c.list << " " << c.value << " key " << c.key;
    EXPECT_EQ(result.changed, c.key != kKeyNone);
    EXPECT_EQ(r.resultText, c.shown);
  }

  // Without an edit grid keys only display.
  cmcCellCapsule paint;
  paint.key = kKeySpace;
  int value = 1;
  EXPECT_FALSE(e.selection(paint, "GI_Sheet_Sel_Mch_Dup", value).changed);
  EXPECT_EQ(value, 1);

  cmcCellCapsule enter = keyRequest(kKeyEnter);
  const EditResult opened = e.selection(enter, "GI_Sheet_Sel_Mch_Dup", value);
  EXPECT_EQ(opened.dispatch, kDispatchListOpened);
  EXPECT_FALSE(opened.changed);
  EXPECT_EQ(enter.popup.kind, kPopupList);
  EXPECT_EQ(enter.popup.listName, "GI_Sheet_Sel_Mch_Dup");
  EXPECT_EQ(enter.popup.keyLink, Flex0);
  EXPECT_EQ(enter.popup.value, 1);

  Choice choice(Flex0, 2);
  EXPECT_TRUE(e.selection(choice.request, "GI_Sheet_Sel_Mch_Dup", value).changed);
  EXPECT_EQ(value, 2);
  Choice foreign(FlexVMCCh, 0);  // an item of another list is not a choice here
  EXPECT_FALSE(e.selection(foreign.request, "GI_Sheet_Sel_Mch_Dup", value).changed);
  EXPECT_EQ(value, 2);
}

TEST_F(EditorsTest, TypedTonesMatchTheNearestNumber) {
  const ValueEditors e = editors();
  struct Case {
    const char* typed;
    int value;
  };
  const Case cases[] = {{"88", 8}, {"90", 9}, {" 67 ", 0}, {"300", 49}, {"abc", 0}};
  for (const Case& c : cases) {
    cmcCellCapsule r = typedRequest(c.typed);
    int value = 20;
    EXPECT_TRUE(e.selectionTyped(r, "GI_Sheet_Sel_Mch_TFreq", value, kMatchNearestNumber).changed);
    EXPECT_EQ(value, c.value) << c.typed;
  }
  // Match mode 3 takes no typed text, and digits do not start an editor there.
  cmcCellCapsule typed = typedRequest("2");
  int value = 1;
  EXPECT_FALSE(e.selectionTyped(typed, "GI_Sheet_Sel_Mch_Dup", value, kMatchNone).changed);
  EXPECT_EQ(value, 1);
  cmcCellCapsule digit = keyRequest('5');
  EXPECT_EQ(e.selectionTyped(digit, "GI_Sheet_Sel_Mch_Dup", value, kMatchNone).dispatch,
            kDispatchDone);

  // Mode 0: a digit or the edit key opens the in-place editor.
  digit = keyRequest('5');
  value = 8;
  EXPECT_EQ(e.selectionTyped(digit, "GI_Sheet_Sel_Mch_TFreq", value, 0).dispatch,
            kDispatchOpenEditor);
  EXPECT_EQ(digit.resultText, "5");
  EXPECT_EQ(digit.caretStart, 1);
  cmcCellCapsule edit = keyRequest(kKeyEdit);
  EXPECT_EQ(e.selectionTyped(edit, "GI_Sheet_Sel_Mch_TFreq", value, 0).dispatch,
            kDispatchOpenEditor);
  EXPECT_EQ(edit.resultText, "88.5");
  EXPECT_EQ(edit.maxLength, kTypedListTextLimit);
  cmcCellCapsule space = keyRequest(kKeySpace);  // other keys step as usual
  EXPECT_TRUE(e.selectionTyped(space, "GI_Sheet_Sel_Mch_TFreq", value, 0).changed);
  EXPECT_EQ(value, 9);
}

TEST_F(EditorsTest, MarineAttributeOnlyEverSetsBits) {
  const ValueEditors e = editors();
  int flags = 0;
  cmcCellCapsule display;
  e.attribute(display, "GI_Sheet_Sel_Marine_CHAtr", flags);
  EXPECT_EQ(display.resultText, "");
  Choice call(Flex0, 2);
  EXPECT_TRUE(e.attribute(call.request, "GI_Sheet_Sel_Marine_CHAtr", flags).changed);
  EXPECT_EQ(flags, 2);
  Choice priority(Flex0, 1);
  EXPECT_TRUE(e.attribute(priority.request, "GI_Sheet_Sel_Marine_CHAtr", flags).changed);
  EXPECT_EQ(flags, 3);
  EXPECT_EQ(priority.request.resultText, "PC");
  Choice again(Flex0, 1), none(Flex0, 0);
  EXPECT_FALSE(e.attribute(again.request, "GI_Sheet_Sel_Marine_CHAtr", flags).changed);
  EXPECT_FALSE(e.attribute(none.request, "GI_Sheet_Sel_Marine_CHAtr", flags).changed);
  EXPECT_EQ(flags, 3);
  cmcCellCapsule enter = keyRequest(kKeyEnter);
  EXPECT_EQ(e.attribute(enter, "GI_Sheet_Sel_Marine_CHAtr", flags).dispatch, kDispatchListOpened);
  EXPECT_EQ(enter.popup.listName, "GI_Sheet_Sel_Marine_CHAtr");
}

TEST_F(EditorsTest, FrequencyEntryKeys) {
  struct Case {
    int key;
    bool emptyStart;
    int dispatch;
    const char* text;
    int caret;
  };
  const Case cases[] = {
      {kKeyFullStop, true, kDispatchOpenEditor, "0.000000", 2},
      {kKeyFullStop, false, kDispatchOpenEditor, "146.010000", 4},
      {kKeyEnter, true, kDispatchOpenEditor, "", 0},
      {kKeyEnter, false, kDispatchOpenEditor, "146.010000", 10},
      {kKeyEdit, false, kDispatchOpenEditor, "146.010000", 10},
      {kKeySpace, true, kDispatchOpenEditor, "", 0},
      {'7', false, kDispatchOpenEditor, "7", 1},
      {'-', true, kDispatchOpenEditor, "-", 1},
      {kKeyBackspace, false, kDispatchDone, "146.010000", 0},
      {'x', false, kDispatchDone, "146.010000", 0},
  };
  for (const Case& c : cases) {
    cmcCellCapsule r = keyRequest(c.key);
    int64_t hz = 146010000;
    const EditResult result =
        ValueEditors::frequency(r, hz, kRangeLowHz, kRangeHighHz, c.emptyStart);
    EXPECT_EQ(result.dispatch, c.dispatch) << c.key;
    EXPECT_FALSE(result.changed);
    EXPECT_EQ(r.resultText, c.text) << c.key;
    EXPECT_EQ(r.caretStart, c.caret) << c.key;
    EXPECT_EQ(hz, 146010000);
  }
  cmcCellCapsule typed = typedRequest("999");
  int64_t hz = 146010000;
  EXPECT_TRUE(ValueEditors::frequency(typed, hz, kRangeLowHz, kRangeHighHz, false).changed);
  EXPECT_EQ(hz, 174000000);
  EXPECT_EQ(typed.resultText, "174.000000");
  cmcCellCapsule empty = typedRequest("");
  EXPECT_FALSE(ValueEditors::frequency(empty, hz, kRangeLowHz, kRangeHighHz, false).changed);
}

TEST_F(EditorsTest, NumberAndChannelEntries) {
  // Temporary volume 0..32: space and backspace wrap.
  int64_t v = 32;
  cmcCellCapsule space = keyRequest(kKeySpace);
  EXPECT_TRUE(ValueEditors::number(space, v, 0, 32).changed);
  EXPECT_EQ(v, 0);
  cmcCellCapsule back = keyRequest(kKeyBackspace);
  EXPECT_TRUE(ValueEditors::number(back, v, 0, 32).changed);
  EXPECT_EQ(v, 32);
  // PA volume stored 0..31 shown 1..32.
  v = 4;
  cmcCellCapsule edit = keyRequest(kKeyEdit);
  EXPECT_EQ(ValueEditors::number(edit, v, 0, 31, 1).dispatch, kDispatchOpenEditor);
  EXPECT_EQ(edit.resultText, "5");
  cmcCellCapsule minus = keyRequest('-');  // no negative values: no editor
  EXPECT_EQ(ValueEditors::number(minus, v, 0, 31, 1).dispatch, kDispatchDone);
  EXPECT_EQ(minus.resultText, "5");
  cmcCellCapsule typed = typedRequest("32");
  EXPECT_TRUE(ValueEditors::number(typed, v, 0, 31, 1).changed);
  EXPECT_EQ(v, 31);

  int64_t ch = 7;
  cmcCellCapsule oneB = typedRequest("1B");
  EXPECT_TRUE(ValueEditors::channel(oneB, ch, 0, 205).changed);
  EXPECT_EQ(ch, 203);
  EXPECT_EQ(oneB.resultText, " 1B");
  cmcCellCapsule enter = keyRequest(kKeyEnter);
  EXPECT_EQ(ValueEditors::channel(enter, ch, 0, 205).dispatch, kDispatchOpenEditor);
  EXPECT_EQ(enter.resultText, "1B");
  cmcCellCapsule letter = keyRequest('b');
  EXPECT_EQ(ValueEditors::channel(letter, ch, 0, 205).dispatch, kDispatchOpenEditor);
  EXPECT_EQ(letter.resultText, "b");
  cmcCellCapsule seven = typedRequest("7");
  EXPECT_TRUE(ValueEditors::channel(seven, ch, 0, 205).changed);
  EXPECT_EQ(ch, 7);
}

TEST_F(EditorsTest, EmergencyChooserBuildsItsListFromTheResourceText) {
  const ValueEditors e = editors();
  EmergencyContext context;
  context.channelInUse = [](int index) { return index == 3 || index == 201; };

  cmcCellCapsule enter = keyRequest(kKeyEnter);
  int value = 1;  // memory channel 0, empty: still listed as the current value
  EXPECT_EQ(e.emergency(enter, value, context).dispatch, kDispatchListOpened);
  EXPECT_EQ(enter.popup.kind, kPopupList);
  EXPECT_EQ(enter.popup.keyLink, FlexVMCCh);
  EXPECT_EQ(enter.popup.listName, "GI_Sheet_Sel_VMC");
  const QList<QByteArray> expected = {"",
                                      "{($iCG2)}\\_Emergency CH\\_",
                                      "{($iSp)}",
                                      "",
                                      "{S(%FlexVMCCh[1])}CALL",
                                      "{S(%FlexVMCCh[4])}CALL",
                                      "{S(%FlexVMCCh[202])}CALL"};
  EXPECT_EQ(enter.popup.cellLines, expected);

  context.offerVfoAndCall = true;
  const QList<QByteArray> offered = e.emergencyListLines(4, context);
  ASSERT_EQ(offered.size(), 4 + 4);
  EXPECT_EQ(offered[4], "{S(%FlexVMCCh[0])}CALL");
  EXPECT_EQ(offered.back(), "{S(%FlexVMCCh[207])}CALL");

  cmcCellCapsule typed = typedRequest("c");
  EXPECT_TRUE(e.emergency(typed, value, context).changed);
  EXPECT_EQ(value, 207);
  EXPECT_EQ(typed.resultText, "CALL");
  cmcCellCapsule edge = typedRequest("1b");
  EXPECT_TRUE(e.emergency(edge, value, context).changed);
  EXPECT_EQ(value, 202);
  cmcCellCapsule empty = typedRequest("5");  // channel 5 is not in use
  EXPECT_FALSE(e.emergency(empty, value, context).changed);
  EXPECT_EQ(value, 202);
  Choice choice(FlexVMCCh, 4);
  EXPECT_TRUE(e.emergency(choice.request, value, context).changed);
  EXPECT_EQ(value, 4);
  cmcCellCapsule v = keyRequest('v');
  EXPECT_EQ(e.emergency(v, value, context).dispatch, kDispatchOpenEditor);
  EXPECT_EQ(v.resultText, "v");

  EXPECT_TRUE(emergencyCaution(0, context));   // VFO while offered
  EXPECT_FALSE(emergencyCaution(4, context));  // channel 3 in use
  EXPECT_TRUE(emergencyCaution(6, context));   // channel 5 empty
  context.offerVfoAndCall = false;
  EXPECT_FALSE(emergencyCaution(207, context));
}

TEST_F(EditorsTest, NamesAndDtmfCodes) {
  uint8_t name[6] = {'O', 'L', 'D', ' ', ' ', ' '};
  cmcCellCapsule typed = typedRequest("ab_c?");
  EXPECT_TRUE(ValueEditors::name(typed, name, 6).changed);
  EXPECT_EQ(QByteArray(reinterpret_cast<char*>(name), 6), "AB C? ");
  EXPECT_EQ(typed.resultText, "AB C?");
  cmcCellCapsule enter = keyRequest(kKeyBackspace);  // backspace acts as Enter
  EXPECT_EQ(ValueEditors::name(enter, name, 6).dispatch, kDispatchOpenEditor);
  EXPECT_EQ(enter.resultText, "AB C?");
  EXPECT_EQ(enter.maxLength, 6);
  cmcCellCapsule letter = keyRequest('q');
  EXPECT_EQ(ValueEditors::name(letter, name, 6).dispatch, kDispatchOpenEditor);
  EXPECT_EQ(letter.resultText, "q");

  uint8_t comment[16];
  std::fill(std::begin(comment), std::end(comment), ' ');
  cmcCellCapsule lower = typedRequest("lower_case");  // comments are not filtered
  EXPECT_TRUE(ValueEditors::text(lower, comment, 16).changed);
  EXPECT_EQ(lower.resultText, "lower_case");

  uint8_t memory[16] = {};
  cmcCellCapsule dtmf = typedRequest("12*#a");
  EXPECT_TRUE(ValueEditors::dtmf(dtmf, memory).changed);
  EXPECT_EQ(memory[0], 0x12);
  EXPECT_EQ(memory[1], 0xEF);
  EXPECT_EQ(memory[2], 0xA0);
  EXPECT_EQ(memory[15], 5);
  EXPECT_EQ(dtmf.resultText, "12*#A");
  cmcCellCapsule hash = keyRequest('#');
  EXPECT_EQ(ValueEditors::dtmf(hash, memory).dispatch, kDispatchOpenEditor);
  cmcCellCapsule other = keyRequest('g');
  EXPECT_EQ(ValueEditors::dtmf(other, memory).dispatch, kDispatchDone);
  EXPECT_EQ(other.resultText, "12*#A");
}

TEST_F(EditorsTest, BankLinkPattern) {
  uint32_t value = 0;
  cmcCellCapsule space = keyRequest(kKeySpace);
  EXPECT_TRUE(ValueEditors::bitPattern(space, value, 1, 10).changed);
  EXPECT_EQ(value, 0x3FFu);
  EXPECT_EQ(space.resultText, "ABCDEFGHIJ\n");
  space = keyRequest(kKeySpace);
  ValueEditors::bitPattern(space, value, 1, 10);
  EXPECT_EQ(value, 0u);
  cmcCellCapsule c = keyRequest('c');
  EXPECT_TRUE(ValueEditors::bitPattern(c, value, 1, 10).changed);
  EXPECT_EQ(c.resultText, "__C_______\n");
  cmcCellCapsule back = keyRequest(kKeyBackspace);
  ValueEditors::bitPattern(back, value, 1, 10);
  EXPECT_EQ(back.resultText, "AB_DEFGHIJ\n");
  cmcCellCapsule k = keyRequest('K');  // no position K
  EXPECT_FALSE(ValueEditors::bitPattern(k, value, 1, 10).changed);

  cmcCellCapsule enter = keyRequest(kKeyEnter);
  value = 0x200;  // bank A alone
  EXPECT_EQ(ValueEditors::bitPattern(enter, value, 1, 10).dispatch, kDispatchListOpened);
  EXPECT_EQ(enter.popup.kind, kPopupFlagBits);
  EXPECT_EQ(enter.popup.value, 1 << 25);  // position A is bit 25 of the dialog's word
  EXPECT_EQ(enter.popup.first, 1);
  EXPECT_EQ(enter.popup.last, 10);

  Choice dialog(Flex0, 0);
  dialog.request.typedText = QByteArray::number((1 << 25) | (1 << 16));  // A and J
  EXPECT_TRUE(ValueEditors::bitPattern(dialog.request, value, 1, 10).changed);
  EXPECT_EQ(value, 0x201u);
}

TEST_F(EditorsTest, TypedFrequencyIntoAnEmptyChannelTakesTheTemplate) {
  const DestinationOptions options;
  cmcEeprom working(memmap::kImageSize), defaults(memmap::kImageSize);
  ChannelView tmpl(defaults, options);
  // The template: 146.01 MHz, +DUP 0.6 MHz, TSQL 100.0 Hz, 12.5k step, skip.
  ChannelFields t;
  t.frequency = 146010000;
  t.duplex = 2;
  t.offset = 600000;
  t.toneMode = 2;
  t.toneSquelch = 12;
  t.step = 3;
  ChannelView::encodeStateRecord(defaults, memmap::kTemplate, t, options);

  ChannelView view(working, options);
  view.load(kKindConventional, 5);
  view.inUse = false;
  view.commit();
  ASSERT_TRUE(storeTypedFrequency(view, defaults, 145500000));
  ChannelView check(working, options);
  check.load(kKindConventional, 5);
  EXPECT_TRUE(check.inUse);
  EXPECT_EQ(check.frequency, 145500000u);
  EXPECT_FALSE(check.frequencyUnit6250);
  EXPECT_EQ(check.duplex, 2);
  EXPECT_EQ(check.offset, 600000u);
  EXPECT_EQ(check.toneSquelch, 12);
  EXPECT_EQ(check.step, 3);
  EXPECT_EQ(check.scanSkip, 0);  // memory channels take the template without skip
  EXPECT_EQ(check.bank, ChannelFields::kNoBank);

  // A channel in use keeps its settings; the value is snapped.
  check.toneSquelch = 20;
  check.commit();
  ASSERT_TRUE(storeTypedFrequency(check, defaults, 145012345));
  check.load(kKindConventional, 5);
  EXPECT_EQ(check.frequency, 145012500u);
  EXPECT_TRUE(check.frequencyUnit6250);
  EXPECT_EQ(check.toneSquelch, 20);

  // A scan edge takes the template with skip set.
  ChannelView edge(working, options);
  edge.load(kKindConventional, 201);
  edge.inUse = false;
  edge.commit();
  ASSERT_TRUE(storeTypedFrequency(edge, defaults, 145000000));
  edge.load(kKindConventional, 201);
  EXPECT_EQ(edge.scanSkip, 1);
}

TEST_F(EditorsTest, CautionMarksOfEurA) {
  const BandTable bands(4);
  ChannelFields ch;
  DestinationOptions eur;
  eur.destination = 4;
  eur.fmNarrow = true;
  ch.frequency = 145500000;
  EXPECT_FALSE(channelCaution(bands, eur, ch));
  ch.frequency = 146500000;
  EXPECT_TRUE(channelCaution(bands, eur, ch));
  eur.rxExpansion = true;
  EXPECT_FALSE(channelCaution(bands, eur, ch));
  ch.inUse = false;
  EXPECT_FALSE(channelCaution(bands, eur, ch));
  ch.inUse = true;
  ch.mode = kModeFmNarrow;
  eur.fmNarrow = false;
  EXPECT_TRUE(channelCaution(bands, eur, ch));
  ch.frequency = 174500000;
  EXPECT_TRUE(channelOutOfRange(ch));
}

TEST_F(EditorsTest, HostileTypedTextKeepsEveryValueInsideItsField) {
  const ValueEditors e = editors();
  EmergencyContext context;
  context.offerVfoAndCall = true;
  context.channelInUse = [](int) { return true; };
  std::mt19937 random(4711);
  for (int round = 0; round < 1500; ++round) {
    QByteArray t;
    const int n = round % 100 == 0 ? 4000 : static_cast<int>(random() % 30);
    for (int i = 0; i < n; ++i) t.append(static_cast<char>(random() % 256));
    if (round % 4 == 0) t.append('\x81');
    if (round % 4 == 1) t.prepend("-.-.");

    cmcCellCapsule r = typedRequest(t);
    int tone = 0;
    e.selectionTyped(r, "GI_Sheet_Sel_Mch_TFreq", tone, kMatchNearestNumber);
    ASSERT_GE(tone, 0);
    ASSERT_LT(tone, kToneCount);
    int64_t hz = 146010000;
    r = typedRequest(t);
    ValueEditors::frequency(r, hz, kRangeLowHz, kRangeHighHz, false);
    ASSERT_GE(hz, kRangeLowHz);
    ASSERT_LE(hz, kRangeHighHz);
    int64_t offset = 0;
    r = typedRequest(t);
    ValueEditors::frequency(r, offset, 0, 20000000, false);
    ASSERT_GE(offset, 0);
    ASSERT_LE(offset, 20000000);
    int64_t foghorn = 200;
    r = typedRequest(t);
    ValueEditors::number(r, foghorn, 200, 850, 0, 10);
    ASSERT_GE(foghorn, 200);
    ASSERT_LE(foghorn, 850);
    int64_t ch = 0;
    r = typedRequest(t);
    ValueEditors::channel(r, ch, 0, 205);
    ASSERT_GE(ch, 0);
    ASSERT_LE(ch, 205);
    int emergency = 0;
    r = typedRequest(t);
    e.emergency(r, emergency, context);
    ASSERT_GE(emergency, 0);
    ASSERT_LE(emergency, 207);
    uint8_t guard[20];
    std::fill(std::begin(guard), std::end(guard), 0x7F);
    r = typedRequest(t);
    ValueEditors::name(r, guard + 1, 6);
    ASSERT_EQ(guard[0], 0x7F);
    ASSERT_EQ(guard[7], 0x7F);
    r = typedRequest(t);
    ValueEditors::dtmf(r, guard + 2, 24);
    ASSERT_LE(guard[2 + 15], 24);
    ASSERT_EQ(guard[18], 0x7F);
  }
}

TEST(EditorsWithCache, ListsComeFromTheirDescriptionInTheResourceText) {
  static const char* const kLines[] = {
      "",
      "#GI_Sheet_Sel_Mch_Dup_Cells",
      "{S(%Flex0[0]:)}OFF  \\_",
      "{S(%Flex0[1])}-DUP",
      "{S(%Flex0[2])}+DUP",
      "#",
      "#End_Of_Ovl",
  };
  cmcGTex text;
  text.setSource(kLines, sizeof kLines / sizeof *kLines);
  cmcFCache cache(text);
  const ValueEditors e(cache, text);
  int value = 0;
  cmcCellCapsule display;
  e.selection(display, "GI_Sheet_Sel_Mch_Dup", value);
  EXPECT_EQ(display.resultText, "");  // OFF carries an empty argument
  cmcCellCapsule back = keyRequest(kKeyBackspace);
  EXPECT_TRUE(e.selection(back, "GI_Sheet_Sel_Mch_Dup", value).changed);
  EXPECT_EQ(value, 2);
  EXPECT_EQ(back.resultText, "+DUP");
}

// The editors over the program's own resource text: the lists and the run-time emergency list
// come out as the sheets will show them.
TEST(EditorsWithMainText, ListsAndEmergencyLinesOfTheProgramsText) {
  const EmbeddedText main = mainResourceText();
  cmcGTex text;
  text.setSource(main.lines, main.count);
  cmcFCache cache(text);
  const ValueEditors e(cache, text);

  struct Case {
    const char* list;
    int link;
    QByteArray typed;  // empty: display only
    int value;
    int after;
    const char* shown;
  };
  const Case cases[] = {
      {"GI_Sheet_Sel_Mch_TFreq", Flex0, "88", 0, 8, "88.5"},
      {"GI_Sheet_Sel_Mch_TFreq", Flex0, "90", 0, 9, "91.5"},
      {"GI_Sheet_Sel_Mch_DTCS", Flex0, "754", 0, 103, "754"},
      {"GI_Sheet_Sel_Mch_DTCS", Flex0, "30", 0, 3, "031"},
      {"GI_Sheet_Sel_Mch_TS_Pitch", Flex0, "", 3, 3, "12.5k"},
      {"GI_Sheet_Sel_Mch_Mode", FlexMarking_Mode, "", 1, 1, "FM-N"},
      {"GI_Sheet_Sel_Mch_Dup", Flex0, "", 0, 0, ""},
      {"GI_Sheet_Sel_Mch_Bank_Group", Flex0, "", 10, 10, ""},
      {"GI_Sheet_Sel_Mch_Bank_Group", Flex0, "", 2, 2, "C"},
  };
  for (const Case& c : cases) {
    cmcCellCapsule r;
    if (!c.typed.isEmpty()) {
      r.operation = kOpTextEntered;
      r.typedText = c.typed;
    }
    int value = c.value;
    e.selectionTyped(r, c.list, value, kMatchNearestNumber, c.link);
    EXPECT_EQ(value, c.after) << c.list << " " << c.typed.constData();
    EXPECT_EQ(r.resultText, c.shown) << c.list;
  }
  // Backspace from the first tone wraps to the last.
  cmcCellCapsule back = keyRequest(kKeyBackspace);
  int tone = 0;
  e.selection(back, "GI_Sheet_Sel_Mch_TFreq", tone);
  EXPECT_EQ(tone, 49);
  EXPECT_EQ(back.resultText, "254.1");

  EmergencyContext context;
  context.channelInUse = [](int index) { return index == 0; };
  const QList<QByteArray> lines = e.emergencyListLines(0, context);
  ASSERT_EQ(lines.size(), 6);
  EXPECT_EQ(lines[1], "{($iCG2)}\\_Emergency CH\\_");
  EXPECT_EQ(lines[4], "{S(%FlexVMCCh[0])}CALL");
  EXPECT_EQ(lines[5], "{S(%FlexVMCCh[1])}CALL");
}
