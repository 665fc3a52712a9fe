#include "catalogue_support.h"
#include "model/editor_values.h"

namespace {

using namespace memmap;

class ChannelCells : public CatalogueTest {};

TEST_F(ChannelCells, FactoryChannelsShowTheirValues) {
  EXPECT_EQ(channelText(CL_Mch_Freq, 0), "146.010000");
  EXPECT_EQ(channelText(CL_Misc_ChNo_0Base, 0), "0");
  EXPECT_EQ(channelText(CL_Mch_Offset_Freq, 0), "  0.000000");
  // The call channel and marine names (the marine rows' labels).
  EXPECT_EQ(channelText(CL_Mch_Freq, 206), "146.010000");
  EXPECT_EQ(channelText(CL_Mch_Name, 207), " M- 1");
  // An empty channel shows nothing, its label stays.
  for (int link : {CL_Mch_Freq, CL_Mch_Dup, CL_Mch_Name, CL_Mch_Bank_Group})
    EXPECT_EQ(channelText(link, 1), "") << link;
  EXPECT_EQ(channelText(CL_Misc_ChNo_0Base, 1), "1");
  EXPECT_EQ(shown(CT_Conv, CL_Misc_ChNo_Edge, 3, "2"), "2B");
}

TEST_F(ChannelCells, TypingOnAnEmptyChannelGoesToItsFrequency) {
  // "1" on the name of an empty channel: nothing shown, the grid is asked to replay the key on
  // the frequency cell of the same row.
  Asked onName = key(CT_Conv, CL_Mch_Name, 5, "0,0", '1');
  EXPECT_EQ(onName.result, kDispatchDone);
  EXPECT_EQ(onName.req.resultText, "");
  EXPECT_TRUE(onName.req.jump.requested);
  EXPECT_EQ(onName.req.jump.link, CL_Mch_Freq);
  EXPECT_EQ(onName.req.jump.category, CT_Conv);
  EXPECT_EQ(onName.req.jump.index, 5);
  EXPECT_EQ(onName.req.jump.key, '1');

  // Replayed there, the key starts the in-place editor with "1".
  Asked onFreq = key(CT_Conv, CL_Mch_Freq, 5, "0,0", '1');
  EXPECT_FALSE(onFreq.req.jump.requested);
  EXPECT_EQ(onFreq.result, kDispatchOpenEditor);
  EXPECT_EQ(onFreq.req.resultText, "1");

  // The committed text fills the channel from the template and stores the frequency.
  Asked committed = type(CT_Conv, CL_Mch_Freq, 5, "0,0", "145.5");
  EXPECT_EQ(committed.req.resultText, "145.500000");
  const ChannelView v = channel(5);
  EXPECT_TRUE(v.inUse);
  EXPECT_EQ(v.frequency, 145500000u);
  EXPECT_EQ(v.offset, 600000u);  // the template's offset
  EXPECT_EQ(channelText(CL_Mch_Offset_Freq, 5), "  0.600000");
  // Repainted by row, the change reported for the delayed check.
  EXPECT_EQ(committed.repaints, std::vector<int>{kRepaintSameIndex});
  EXPECT_GE(app.changes, 1);
  EXPECT_TRUE(doc.isModified());

  // Keys beyond the character range are not redirected (the edit key is).
  EXPECT_TRUE(key(CT_Conv, CL_Mch_Dup, 6, "0,0", kKeyEdit).req.jump.requested);
  EXPECT_FALSE(key(CT_Conv, CL_Mch_Dup, 6, "0,0", kKeyLeftAtRowStart).req.jump.requested);
}

TEST_F(ChannelCells, AChannelAbove174MHzLooksEmpty) {
  setChannel(8, 174500000);
  for (int link = CL_Mch_Freq; link <= CL_Mch_Bank_Group; ++link)
    EXPECT_EQ(channelText(link, 8), "") << linkName(link);
  EXPECT_EQ(channelText(CL_Misc_ChNo_0Base, 8), "8");
  // The frequency cell carries the range mark; an edit starts from an empty text.
  EXPECT_TRUE(ask(CT_Conv, CL_Mch_Freq, 8, "0,0", 0, nullptr, false).req.marks & kMarkRange);
  Asked edit = key(CT_Conv, CL_Mch_Freq, 8, "0,0", kKeyEnter);
  EXPECT_EQ(edit.result, kDispatchOpenEditor);
  EXPECT_EQ(edit.req.resultText, "");
}

TEST_F(ChannelCells, MarksOfFrequencyAndMode) {
  // USA_A: 144..148 MHz without receive expansion; FM-N needs its option.
  doc.setOptionBits(0);
  setChannel(3, 150000000);
  Asked wide = ask(CT_Conv, CL_Mch_Freq, 3, "0,0", 0, nullptr, false);
  EXPECT_EQ(wide.req.resultText, "150.000000");
  EXPECT_TRUE(wide.req.marks & kMarkCaution);
  EXPECT_FALSE(wide.req.marks & kMarkRange);

  ChannelView v = channel(3);
  v.mode = 1;  // FM-N
  v.commit();
  Asked mode = ask(CT_Conv, CL_Mch_Mode, 3, "0,0", 0, nullptr, false);
  EXPECT_EQ(mode.req.resultText, "FM-N");
  EXPECT_TRUE(mode.req.marks & kMarkCaution);
  EXPECT_EQ(mode.req.markPosition, kMarkRightEdge);
  // The list offered still holds FM-N, since the channel uses it; the item is cautioned.
  Asked list = key(CT_Conv, CL_Mch_Mode, 3, "0,0", kKeyEnter);
  EXPECT_EQ(list.result, kDispatchListOpened);
  EXPECT_EQ(list.req.popup.listName, "GI_Sheet_Sel_Mch_Mode");
  cmcCellObj item = cellOf(CT_None, FlexMarking_Mode, 1);
  item.text = QByteArray("FM-N");
  cmcCellCapsule itemReq;
  itemReq.cell = &item;
  catalogue->dispatch(itemReq, false);
  EXPECT_EQ(itemReq.resultText, "FM-N");
  EXPECT_TRUE(itemReq.marks & kMarkCaution);
  EXPECT_EQ(itemReq.markPosition, kMarkAfterText);
  // An FM channel of the same destination is offered FM only.
  EXPECT_EQ(key(CT_Conv, CL_Mch_Mode, 0, "0,0", kKeyEnter).req.popup.listName,
            "GI_Sheet_Sel_Mch_Mode_NoFMN");
}

TEST_F(ChannelCells, FieldsThatDoNotApplyAreGreyButEditable) {
  ChannelView v = channel(0);
  v.toneMode = 2;  // TSQL
  v.tone = 8;
  v.commit();
  Asked tone = ask(CT_Conv, CL_Mch_TONE_Freq, 0, "0,0", 0, nullptr, false);
  EXPECT_EQ(tone.req.resultText, "88.5");
  EXPECT_TRUE(tone.req.paint.fontColourSet);
  EXPECT_EQ(tone.req.paint.fontColour, 0xC0C0C0u);
  EXPECT_FALSE(ask(CT_Conv, CL_Mch_TSQL_Freq, 0, "0,0", 0, nullptr, false).req.paint.fontColourSet);

  Asked stepped = key(CT_Conv, CL_Mch_TONE_Freq, 0, "0,0", kKeySpace);
  EXPECT_EQ(stepped.req.resultText, "91.5");
  EXPECT_EQ(channel(0).tone, 9);
  // A typed tone takes the nearest one.
  type(CT_Conv, CL_Mch_TONE_Freq, 0, "0,0", "90");
  EXPECT_EQ(channel(0).tone, 9);

  // Grey rules of the other dependent fields.
  struct Case {
    int link;
    int toneMode;
    int duplex;
    bool grey;
  } cases[] = {
      {CL_Mch_Dup_Reverse, 0, 0, true},    {CL_Mch_Dup_Reverse, 0, 1, false},
      {CL_Mch_Offset_Freq, 0, 0, true},    {CL_Mch_Offset_Freq, 0, 2, false},
      {CL_Mch_TSQL_Freq, 5, 0, false},     {CL_Mch_TSQL_Freq, 1, 0, true},
      {CL_Mch_DTCS, 6, 0, false},          {CL_Mch_DTCS, 2, 0, true},
      {CL_Mch_DTCS_Polarity, 3, 0, false}, {CL_Mch_DTCS_Polarity, 0, 0, true},
  };
  for (const Case& c : cases) {
    ChannelView w = channel(0);
    w.toneMode = c.toneMode;
    w.duplex = c.duplex;
    w.commit();
    EXPECT_EQ(ask(CT_Conv, c.link, 0, "0,0", 0, nullptr, false).req.paint.fontColourSet, c.grey)
        << linkName(c.link) << " tone mode " << c.toneMode << " duplex " << c.duplex;
  }
}

TEST_F(ChannelCells, TypedValuesAreCheckedAndStored) {
  type(CT_Conv, CL_Mch_Freq, 0, "0,0", "130");
  EXPECT_EQ(channel(0).frequency, 136000000u);
  type(CT_Conv, CL_Mch_Freq, 0, "0,0", "145.012345");
  EXPECT_EQ(channel(0).frequency, 145012500u);  // onto the 6.25 kHz grid
  type(CT_Conv, CL_Mch_Offset_Freq, 0, "0,0", "25");
  EXPECT_EQ(channel(0).offset, 20000000u);
  EXPECT_EQ(type(CT_Conv, CL_Mch_Name, 0, "0,0", "ab_c?").req.resultText, "AB C?");
  EXPECT_EQ(QByteArray(channel(0).name.data(), 6), "AB C? ");
  // Display-only requests never start anything.
  Asked painted = ask(CT_Conv, CL_Mch_Dup, 0, "0,0", kKeyEnter, nullptr, false);
  EXPECT_EQ(painted.result, kDispatchDone);
  EXPECT_TRUE(painted.repaints.empty());
}

TEST_F(ChannelCells, MarineAttributeSetsTheRoleInAllBlocks) {
  // Marine channel 3 (index 210) becomes the call channel.
  cmcCellObj choice = cellOf(CT_None, Flex0, 2);
  Asked a;
  a.cell = cellOf(CT_Conv, CL_ChList_Atr, 210);
  cmcCellCapsule parent;
  parent.cell = &choice;
  a.req.cell = &a.cell;
  a.req.parent = &parent;
  a.req.operation = kOpChoiceMade;
  a.req.sheetArguments = "4";
  int rules = 0;
  a.req.repaint = [&](int r) { rules = r; };
  catalogue->dispatch(a.req, true);
  EXPECT_EQ(a.req.resultText, "C");
  EXPECT_EQ(rules & kRepaintSameLink, kRepaintSameLink);
  for (int block = 0; block < 3; ++block) EXPECT_EQ(settingByte(block, settings::kMarineCall), 3);
  EXPECT_EQ(shown(CT_Conv, CL_ChList_Atr, 210, "4"), "C");
}

// Function memories: the display mode decides what the row shows.
class FunctionMemory : public CatalogueTest {
 protected:
  void setMode(int fm, int mode) {
    const int address = (fm == 0 ? kF1State : kF2State) + state::kDisplayMode;
    doc.working().setByte(address, uint8_t(mode == kDisplayVFO ? 0x06 : mode));
  }
  int mode(int fm) {
    return displayMode(
        doc.working().getByte((fm == 0 ? kF1State : kF2State) + state::kDisplayMode));
  }
};

TEST_F(FunctionMemory, WeatherModeShowsOnlyModeChannelAndFrequency) {
  setMode(0, kDisplayWX);
  doc.working().setByte(kF1State + state::kWeatherChannel, 1);
  ChannelView v = channel(0, kKindFunction);
  v.loadFrom(doc.working(), kKindWeather, 1);
  v.commit();
  EXPECT_EQ(shown(CT_Func, CL_Disp_VMC, 0, "8,0"), "WX");
  EXPECT_EQ(shown(CT_Func, CL_Disp_ChNo, 0, "8,0"), "2");
  Asked freq = ask(CT_Func, CL_Mch_Freq, 0, "8,0", 0, nullptr, false);
  EXPECT_EQ(freq.req.resultText, "162.400000");
  EXPECT_FALSE(freq.req.marks & kMarkCaution);  // a weather channel of a USA set
  EXPECT_EQ(shown(CT_Func, CL_Mch_Dup, 0, "8,0"), "");
  // The frequency takes no keys in this mode.
  EXPECT_EQ(key(CT_Func, CL_Mch_Freq, 0, "8,0", '1').result, kDispatchDone);
  EXPECT_EQ(type(CT_Func, CL_Mch_Freq, 0, "8,0", "145").req.resultText, "162.400000");
  EXPECT_EQ(channel(0, kKindFunction).frequency, 162400000u);
  // Space on the weather channel number opens the chooser like Enter.
  EXPECT_EQ(key(CT_Func, CL_Disp_ChNo, 0, "8,0", kKeySpace).result, kDispatchOpenEditor);
  type(CT_Func, CL_Disp_ChNo, 0, "8,0", "3");
  EXPECT_EQ(doc.working().getByte(kF1State + state::kWeatherChannel), 2);
  EXPECT_EQ(channel(0, kKindFunction).frequency, 162475000u);
}

TEST_F(FunctionMemory, ChoosingAModeRefillsTheMemory) {
  setMode(1, kDisplayVFO);
  ASSERT_EQ(shown(CT_Func, CL_Mch_Name, 1, "10,1"), "---");
  EXPECT_EQ(shown(CT_Func, CL_Disp_ChNo, 1, "10,1"), "---");

  // Mode C: the call channel's contents.
  setChannel(206, 147000000);
  cmcCellObj call = cellOf(CT_None, Flex0, kDisplayCall);
  cmcCellObj cell = cellOf(CT_Func, CL_Disp_VMC, 1);
  cmcCellCapsule req;
  req.cell = &cell;
  req.parent = nullptr;
  cmcCellCapsule parent;
  parent.cell = &call;
  req.parent = &parent;
  req.operation = kOpChoiceMade;
  req.sheetArguments = "10,1";
  catalogue->dispatch(req, true);
  EXPECT_EQ(mode(1), kDisplayCall);
  EXPECT_EQ(channel(1, kKindFunction).frequency, 147000000u);
  EXPECT_EQ(shown(CT_Func, CL_Disp_VMC, 1, "10,1"), "C");

  // Mode M on memory channel 0 (bytes 20-21 hold 0).
  cmcCellObj memory = cellOf(CT_None, Flex0, kDisplayMemory);
  parent.cell = &memory;
  catalogue->dispatch(req, true);
  EXPECT_EQ(mode(1), kDisplayMemory);
  EXPECT_EQ(channel(1, kKindFunction).frequency, 146010000u);
  EXPECT_EQ(shown(CT_Func, CL_Disp_ChNo, 1, "10,1"), "0");
  // Space steps the list; on a non-USA set WX is not offered.
  Asked list = key(CT_Func, CL_Disp_VMC, 1, "10,1", kKeySpace);
  EXPECT_EQ(list.result, kDispatchListOpened);
  EXPECT_EQ(list.req.popup.listName, "GI_Sheet_Sel_Disp_VMC_USA");
}

}  // namespace
