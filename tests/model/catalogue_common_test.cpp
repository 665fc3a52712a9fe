#include "catalogue_support.h"

namespace {

using namespace memmap;

class CommonCells : public CatalogueTest {};

TEST_F(CommonCells, TheSheetNumberChoosesTheBlock) {
  struct Case {
    const char* args;
    int block;
  } cases[] = {{"7", 0}, {"8,0", 1}, {"9", 1}, {"10,1", 2}, {" 11 ", 2}, {"", 0}, {"x", 0}};
  for (const Case& c : cases) {
    for (int block = 0; block < 3; ++block)
      doc.working().setByte(kSettingsBlocks[block] + settings::kBeep, 0);
    key(CT_Null, CL_Common_Beep, 0, c.args, kKeySpace);
    for (int block = 0; block < 3; ++block)
      EXPECT_EQ(settingByte(block, settings::kBeep), block == c.block ? 1 : 0) << c.args;
    EXPECT_EQ(shown(CT_Null, CL_Common_Beep, 0, c.args), "ON") << c.args;
  }
}

TEST_F(CommonCells, SharedSettingsWriteAllThreeBlocks) {
  // DTMF speed edited on the F-1 page.
  key(CT_Null, CL_Common_DTMF_SPEED, 0, "9", kKeySpace);
  for (int block = 0; block < 3; ++block) EXPECT_EQ(settingByte(block, settings::kDtmfSpeed), 1);
  EXPECT_EQ(shown(CT_Null, CL_Common_DTMF_SPEED, 0, "11"), "200ms");

  // The selected DTMF memory: "S" on its row only.
  key(CT_Null, CL_Common_DTMF_CH_NO, 5, "6", kKeySpace);
  for (int block = 0; block < 3; ++block) EXPECT_EQ(settingByte(block, settings::kDtmfChannel), 5);
  EXPECT_EQ(shown(CT_Null, CL_Common_DTMF_CH_NO, 5, "6"), "S");
  EXPECT_EQ(shown(CT_Null, CL_Common_DTMF_CH_NO, 4, "6"), "");
}

TEST_F(CommonCells, MemoryDisplayAsksBeforeChangingEveryNameDisplay) {
  auto nameDisplays = [this] {
    return std::make_pair(channel(0).nameDisplay, channel(206).nameDisplay);
  };
  ASSERT_EQ(nameDisplays(), std::make_pair(0, 0));
  cmcCellObj ch = cellOf(CT_None, Flex0, 1), name = cellOf(CT_None, Flex0, 2);
  auto choose = [&](cmcCellObj& item, const char* args) {
    cmcCellObj cell = cellOf(CT_Null, CL_Common_MemoryDisp);
    cmcCellCapsule parent, req;
    parent.cell = &item;
    req.cell = &cell;
    req.parent = &parent;
    req.operation = kOpChoiceMade;
    req.sheetArguments = args;
    catalogue->dispatch(req, true);
    return req.resultText;
  };

  EXPECT_EQ(choose(ch, "7"), "CH");
  EXPECT_TRUE(prompter.log().empty());

  prompter.push(PromptAnswer::Cancel);
  EXPECT_EQ(choose(name, "7"), "Name");
  ASSERT_EQ(prompter.log().size(), 1u);
  const PromptMessage& asked = prompter.log()[0].message;
  EXPECT_EQ(asked.caption, "Kestrin");
  EXPECT_EQ(asked.text, "The Name Display of all channels will be set to ON.\nAre you sure?");
  EXPECT_EQ(asked.buttons, PromptButtons::OkCancel);
  EXPECT_EQ(asked.defaultAnswer, PromptAnswer::Cancel);
  EXPECT_EQ(settingByte(0, settings::kMemoryDisp), 2);
  EXPECT_EQ(settingByte(0, settings::kMemoryDispCopy), 2);
  EXPECT_EQ(nameDisplays(), std::make_pair(0, 0));

  // Back to CH and again to Name with OK: channels in use follow, empty ones do not.
  choose(ch, "7");
  prompter.push(PromptAnswer::Ok);
  choose(name, "7");
  EXPECT_EQ(nameDisplays(), std::make_pair(1, 1));
  EXPECT_EQ(channel(1).nameDisplay, 0);

  // On a function memory's page nothing is asked.
  prompter.clearLog();
  choose(ch, "9");
  EXPECT_EQ(settingByte(1, settings::kMemoryDisp), 1);
  EXPECT_TRUE(prompter.log().empty());
}

TEST_F(CommonCells, BankKeyGreysAndEmergencyChannelMarks) {
  // Factory: bank key 0, emergency channel VFO, memory display Freq.
  for (int link :
       {CL_Common_EmergencyChannel, CL_Common_EmergencyAlertVolume, CL_Common_TemporaryVolume}) {
    EXPECT_TRUE(ask(CT_Null, link, 0, "7", 0, nullptr, false).req.paint.fontColourSet) << link;
  }
  EXPECT_EQ(shown(CT_Null, CL_Common_EmergencyChannel, 0, "7"), "VFO");
  EXPECT_EQ(shown(CT_Null, CL_Common_TemporaryVolume, 0, "7"), "0 (Mute)");

  Asked bankKey = key(CT_Null, CL_Common_Bank_OPT_Key, 0, "7", kKeySpace);
  EXPECT_EQ(bankKey.req.resultText, "Emergency");
  EXPECT_EQ(bankKey.repaints, std::vector<int>{kRepaintAllLinked});
  EXPECT_FALSE(
      ask(CT_Null, CL_Common_EmergencyChannel, 0, "7", 0, nullptr, false).req.paint.fontColourSet);
  EXPECT_TRUE(
      ask(CT_Null, CL_Common_TemporaryVolume, 0, "7", 0, nullptr, false).req.paint.fontColourSet);

  // Memory channel 0 is in use, channel 1 is not: typing 1 is refused, typing 0 taken.
  type(CT_Null, CL_Common_EmergencyChannel, 0, "7", "1");
  EXPECT_EQ(settingByte(0, settings::kEmergencyChannel), 0);
  EXPECT_EQ(type(CT_Null, CL_Common_EmergencyChannel, 0, "7", "0").req.resultText, "0");
  EXPECT_EQ(settingByte(0, settings::kEmergencyChannel), 1);
  EXPECT_FALSE(ask(CT_Null, CL_Common_EmergencyChannel, 0, "7", 0, nullptr, false).req.marks);
  // Emptied afterwards, the chosen channel is cautioned here and in the summary check.
  ChannelView v = channel(0);
  v.inUse = false;
  v.commit();
  EXPECT_TRUE(ask(CT_Null, CL_Common_EmergencyChannel, 0, "7", 0, nullptr, false).req.marks &
              kMarkCaution);
  EXPECT_TRUE(shown(CT_Null, CL_Check_Common, 0).isEmpty());
  EXPECT_TRUE(ask(CT_Null, CL_Check_Common, 0, "", 0, nullptr, false).req.marks & kMarkCaution);
  EXPECT_FALSE(ask(CT_Null, CL_Check_F1_Common, 0, "", 0, nullptr, false).req.marks);
}

TEST_F(CommonCells, EntriesAndPatterns) {
  struct Case {
    int link;
    const char* typed;
    const char* shows;
    int offset;
    int stored;
  } cases[] = {
      {CL_Common_PaVol, "32", "32", settings::kPaVol, 31},
      {CL_Common_FoghornVol, "1", "1", settings::kFoghornVol, 0},
      {CL_Common_FoghornFreq, "444", "440", settings::kFoghornFreq, 24},
      {CL_Common_TemporaryVolume, "40", "32", settings::kTemporaryVolume, 32},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(type(CT_Null, c.link, 0, "7", c.typed).req.resultText, c.shows) << c.typed;
    EXPECT_EQ(settingByte(0, c.offset), c.stored) << c.typed;
  }
  // WX CH lives in the selected state record, shown from 1.
  type(CT_Null, CL_Common_WXCH, 0, "7", "10");
  EXPECT_EQ(doc.working().getByte(kMainState + state::kWeatherChannel), 9);

  // Bank link A-J: bank A is the first letter; greyed while bank link scan is off.
  for (int bank = 0; bank < 10; ++bank)
    doc.working().setByte(kMainSettings + settings::kBankLinkFirst + bank, 0);
  doc.working().setByte(kMainSettings + settings::kBankLinkScan, 0);
  Asked pattern = key(CT_Null, CL_Common_BankLink_A_J, 0, "7", 'a');
  EXPECT_EQ(pattern.req.resultText, "A_________\n");
  EXPECT_EQ(settingByte(0, settings::kBankLinkFirst), 1);
  EXPECT_TRUE(pattern.req.paint.fontColourSet);
  int refreshes = 0;
  cmcEvHook hook(bus, [&](const cmcEvent& e) { refreshes += e.code == ev::kRefreshAllSheets; });
  key(CT_Null, CL_Common_BankLinkScan, 0, "7", kKeySpace);
  EXPECT_EQ(refreshes, 1);
  EXPECT_FALSE(
      ask(CT_Null, CL_Common_BankLink_A_J, 0, "7", 0, nullptr, false).req.paint.fontColourSet);

  // Names and codes of the bank and DTMF pages.
  type(CT_Null, CL_Bank_Name, 2, "5", "club");
  EXPECT_EQ(shown(CT_Null, CL_Bank_Name, 2, "5"), "CLUB");
  EXPECT_EQ(shown(CT_Null, CL_Misc_BankNm, 2, "5"), "C");
  type(CT_Null, CL_DTMF_Memory_Code, 15, "6", "12*#a");
  EXPECT_EQ(shown(CT_Null, CL_DTMF_Memory_Code, 15, "6"), "12*#A");
  EXPECT_EQ(shown(CT_Null, CL_DTMF_ChNo, 15, "6"), "dF");
  type(CT_Null, CL_Common_CloneComment, 0, "7", "field day_1");
  EXPECT_EQ(shown(CT_Null, CL_Common_CloneComment, 0, "7"), "field day_1");
}

class NonUsaCommon : public CatalogueTest {
 protected:
  NonUsaCommon() : CatalogueTest(4) {}
};

TEST_F(NonUsaCommon, AutoRepeaterIsEmptyAndTakesNoKeys) {
  EXPECT_EQ(shown(CT_Null, CL_Common_AutoRepeater, 0, "7"), "");
  const uint8_t before = settingByte(0, settings::kAutoRepeater);
  key(CT_Null, CL_Common_AutoRepeater, 0, "7", kKeySpace);
  EXPECT_EQ(settingByte(0, settings::kAutoRepeater), before);
  EXPECT_EQ(key(CT_Func, CL_Disp_VMC, 0, "8,0", kKeyEnter).req.popup.listName,
            "GI_Sheet_Sel_Disp_VMC");
}

}  // namespace
