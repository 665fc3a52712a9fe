// Every selection list of the main text, value by value: the text a data cell shows, the text
// the drop-down shows, and the explanation beside a choice. Read through the selection-list
// cache, the way the field catalogue reads them.

#include <gtest/gtest.h>

#include <QByteArray>
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "gtex/cellmarkup.h"
#include "gtex/celllinks.h"
#include "gtex/cmcFCache.h"
#include "gtex/cmcGTex.h"
#include "print_util.h"
#include "resources/embedded_text.h"

namespace {

struct Choice {
  int value;
  const char* list;                  // shown in the drop-down
  const char* data = nullptr;        // shown in a data cell when it differs from the list text
  const char* explanation = nullptr; // the unselectable cell beside the choice
};

struct ListCase {
  const char* name;
  std::vector<Choice> choices;
  int keyLink = Flex0;
};

std::vector<Choice> plain(std::initializer_list<const char*> texts, int first = 0) {
  std::vector<Choice> out;
  for (const char* t : texts) out.push_back({first++, t});
  return out;
}

std::vector<ListCase> allLists() {
  std::vector<Choice> tones, codes, tot, bank;
  for (const char* t : {"67.0", "69.3", "71.9", "74.4", "77.0", "79.7", "82.5", "85.4", "88.5", "91.5",
                        "94.8", "97.4", "100.0", "103.5", "107.2", "110.9", "114.8", "118.8", "123.0",
                        "127.3", "131.8", "136.5", "141.3", "146.2", "151.4", "156.7", "159.8", "162.2",
                        "165.5", "167.9", "171.3", "173.8", "177.3", "179.9", "183.5", "186.2", "189.9",
                        "192.8", "196.6", "199.5", "203.5", "206.5", "210.7", "218.1", "225.7", "229.1",
                        "233.6", "241.8", "250.3", "254.1"}) {
    tones.push_back({int(tones.size()), t});
  }
  for (const char* c :
       {"023", "025", "026", "031", "032", "036", "043", "047", "051", "053", "054", "065", "071", "072", "073",
        "074", "114", "115", "116", "122", "125", "131", "132", "134", "143", "145", "152", "155", "156", "162",
        "165", "172", "174", "205", "212", "223", "225", "226", "243", "244", "245", "246", "251", "252", "255",
        "261", "263", "265", "266", "271", "274", "306", "311", "315", "325", "331", "332", "343", "346", "351",
        "356", "364", "365", "371", "411", "412", "413", "423", "431", "432", "445", "446", "452", "454", "455",
        "462", "464", "465", "466", "503", "506", "516", "523", "526", "532", "546", "565", "606", "612", "624",
        "627", "631", "632", "654", "662", "664", "703", "712", "723", "731", "732", "734", "743", "754"}) {
    codes.push_back({int(codes.size()), c});
  }
  static std::vector<std::string> minutes;
  minutes.clear();
  minutes.push_back("OFF");
  for (int m = 1; m <= 30; ++m) minutes.push_back(std::to_string(m) + "min");
  for (size_t i = 0; i < minutes.size(); ++i) tot.push_back({int(i), minutes[i].c_str()});
  static const char* const kBanks[] = {"Bank-A", "Bank-B", "Bank-C", "Bank-D", "Bank-E",
                                       "Bank-F", "Bank-G", "Bank-H", "Bank-I", "Bank-J"};
  static const char* const kLetters[] = {"A", "B", "C", "D", "E", "F", "G", "H", "I", "J"};
  for (int i = 0; i < 10; ++i) bank.push_back({i, kBanks[i], kLetters[i]});
  bank.push_back({10, "OFF", ""});

  const std::vector<const char*> mic = {"LOW/DUP", "TONE/T-SCAN", "M.CALL/PRIO", "V.MHz/SCAN",
                                        "BANK/OPT", "S.MW/MW", "SET/LOCK"};
  auto micList = [&](const char* moni, int last, const char* lastText) {
    std::vector<Choice> out;
    for (size_t i = 0; i < mic.size(); ++i) out.push_back({int(i) + 1, mic[i]});
    out.push_back({8, moni});
    out.push_back({last, lastText});
    return out;
  };

  return {
      {"Misc_OnOff", plain({"OFF", "ON"})},
      {"Misc_OnOff_I", {{0, "ON"}, {1, "OFF"}}},
      {"Misc_OnOff2", {{0, "OFF", ""}, {1, "ON"}}},
      {"Misc_OnOff2_I", {{0, "ON"}, {1, "OFF", ""}}},
      {"Misc_OnOffAuto", plain({"OFF", "ON", "Auto"})},
      {"Misc_YesNo", plain({"No", "Yes"})},
      {"Misc_YesNo2", {{0, "No", ""}, {1, "Yes"}}},
      {"Misc_YesNo2_I", {{0, "Yes"}, {1, "No", ""}}},
      {"Misc_Enable", plain({"Disable", "Enable"})},
      {"Misc_Enable_I", {{0, "Enable"}, {1, "Disable"}}},
      {"Misc_AutoOff", plain({"OFF", "Auto"})},
      {"Disp_VMC_USA", {{0, "WX"}, {1, "C"}, {2, "M"}, {4, "VFO"}}},
      {"Disp_VMC", {{1, "C"}, {2, "M"}, {4, "VFO"}}},
      {"Mch_Reference", plain({"5k", "6.25k"})},
      {"Mch_Dup", {{0, "OFF", ""}, {1, "-DUP"}, {2, "+DUP"}}},
      {"Mch_Dup_Reverse", {{0, "OFF", ""}, {1, "Reverse"}}},
      {"Mch_Tx_Inhibit", {{0, "", nullptr, ": TX Enable"}, {1, "Inhibit", nullptr, ": TX Inhibit"}}},
      {"Mch_TS_Pitch", plain({"5k", "6.25k", "10k", "12.5k", "15k", "20k", "25k", "30k", "50k"})},
      {"Mch_Mode", plain({"FM", "FM-N"}), FlexMarking_Mode},
      {"Mch_Mode_NoFMN", plain({"FM"}), FlexMarking_Mode},
      {"Mch_Scan_Skip", {{0, "OFF", ""}, {1, "Skip"}}},
      {"Mch_TSQL",
       {{0, "OFF", ""}, {1, "TONE"}, {2, "TSQL"}, {3, "DTCS(T)", nullptr, ": TX Only"},
        {4, "DTCS", nullptr, ": TX/RX"}, {5, "TSQL-R"}, {6, "DTCS-R"}}},
      {"Mch_TFreq", tones},
      {"Mch_DTCS", codes},
      {"Mch_DTCS_Polarity", plain({"Both N", "TN-RR", "TR-RN", "Both R"})},
      {"Mch_DTMF_Unit", {{0, "OFF", ""}, {1, "ON"}}},
      {"Mch_RF_Power_High", plain({"High", "Low", "Mid-L", "Mid-H"})},
      {"Mch_RF_Power_Low", plain({"High", "Low", "Mid"})},
      {"Mch_NameDisp", {{0, "OFF", ""}, {1, "ON"}}},
      {"Mch_Bank_Group", bank},
      {"Marine_CHAtr", {{0, "", nullptr, "(Return)"}, {1, "P", nullptr, ": Priority"}, {2, "C", nullptr, ": Call"}}},
      {"DTMF_CH_NO_Sel", {{0, "", nullptr, ": Cancel"}, {1, "S", nullptr, ": Select"}}},
      {"DTMF_SPEED", plain({"100ms", "200ms", "300ms", "500ms"})},
      {"Common_Dimmer", {{0, "1", nullptr, ": Dark"}, {1, "2"}, {2, "3"}, {3, "4", nullptr, ": Bright"}}},
      {"Misc_Auto_Dimmer", plain({"OFF", "AUTO-OFF", "AUTO-D1", "AUTO-D2", "AUTO-D3"})},
      {"Common_Contrast", plain({"1", "2", "3", "4"})},
      {"Common_TOT", tot},
      {"Common_Auto_Power_OFF", plain({"OFF", "30min", "1hour", "2hours"})},
      {"Common_MIC_UP", micList("MONI/ANM", 9, "MIC-UP")},
      {"Common_MIC_DN", micList("MONI/ANM", 10, "MIC-DN")},
      {"Common_MIC_UP_M", micList("MONI/ANM PA", 9, "MIC-UP")},
      {"Common_MIC_DN_M", micList("MONI/ANM PA", 10, "MIC-DN")},
      {"Common_BANK_OPT_Key", plain({"Bank/Option", "Emergency", "Temporary Volume/Option"})},
      {"Common_Emergency_Alert_Volume", plain({"Mute", "Max"})},
      {"Common_Scan_Edge", plain({"All", "P1", "P2", "P3"})},
      {"Common_PauseTimer",
       plain({"2sec", "4sec", "6sec", "8sec", "10sec", "12sec", "14sec", "16sec", "18sec", "20sec", "Hold"})},
      {"Common_ResumeTimer", plain({"0sec", "1sec", "2sec", "3sec", "4sec", "5sec", "Hold"})},
      {"Common_MicGain", plain({"Low", "High"})},
      {"Common_Lock_Out", plain({"OFF", "Rpt", "Busy"})},
      {"Common_USA_Auto_RPT", plain({"OFF", "RPT1", "RPT2"})},
      {"Common_SQL_Delay", plain({"Short", "Long"})},
      {"Common_SQL_ATT_Sel", plain({"OFF", "S-Meter SQL", "ATT"})},
      {"Common_MemoryDisp", plain({"Freq", "CH", "Name"})},
      {"Common_SpSelect", plain({"OFF", "ALL", "IN"})},
      {"Common_MarinPrio", plain({"Priority", "Dual", "Tri Watch"})},
  };
}

// Display text without the padding that only widens the drop-down.
QByteArray unpadded(const std::optional<QByteArray>& text) {
  QByteArray t = text.value_or(QByteArray());
  while (!t.isEmpty() && (t.endsWith(' ') || t.endsWith('\t'))) t.chop(1);
  return t;
}

class SelectionLists : public ::testing::Test {
 protected:
  void SetUp() override {
    const EmbeddedText text = mainResourceText();
    ASSERT_TRUE(reader_.setSource(text.lines, text.count));
  }
  // The cells of line `n` of a list's description.
  std::vector<cmcCellObj> cellsOf(const QByteArray& sheet, int n) {
    const QByteArray line = reader_.getLine((sheet + "_Cells").constData(), n);
    std::vector<cmcCellObj> cells;
    CellVariables vars{};
    QByteArrayView rest = line;
    do {
      cells.emplace_back();
      rest = parser_.parseCell(cells.back(), rest, nullptr, &vars);
    } while (!rest.isEmpty());
    return cells;
  }

  cmcGTex reader_;
  cmcCellParser parser_{reader_};
  cmcFCache cache_{reader_};
};

TEST_F(SelectionLists, EveryValueHasItsTexts) {
  const std::vector<ListCase> lists = allLists();
  EXPECT_EQ(lists.size(), 55u);
  for (const ListCase& lc : lists) {
    const QByteArray sheet = QByteArray("GI_Sheet_Sel_") + lc.name;
    SCOPED_TRACE(sheet.toStdString());
    EXPECT_EQ(reader_.getValue((sheet + "_Style").constData()), "");
    EXPECT_EQ(reader_.getValue((sheet + "_BasicCell").constData()), "{($Basic)($bMn)}");

    const SelectionList& list = cache_.list(sheet.constData(), lc.keyLink);
    ASSERT_EQ(list.choiceCount(), int(lc.choices.size())) << "choices other than the listed values";
    for (const Choice& c : lc.choices) {
      SCOPED_TRACE("value " + std::to_string(c.value));
      EXPECT_EQ(cache_.listText(sheet.constData(), lc.keyLink, c.value), QByteArray(c.data ? c.data : c.list));

      const auto at = std::find_if(list.byValue.begin(), list.byValue.end(),
                                   [&](const SelectionChoice& s) { return s.value == c.value; });
      ASSERT_NE(at, list.byValue.end());
      const std::vector<cmcCellObj> cells = cellsOf(sheet, at->line);
      const cmcCellObj& cell = cells[size_t(at->cell)];
      EXPECT_TRUE(cell.selectable());
      EXPECT_EQ(unpadded(cell.text), QByteArray(c.list));
      // An explanation is the next cell on the line, and cannot be chosen.
      if (c.explanation) {
        ASSERT_GT(cells.size(), size_t(at->cell) + 1);
        EXPECT_EQ(cells[size_t(at->cell) + 1].text.value_or(""), QByteArray(c.explanation));
        EXPECT_FALSE(cells[size_t(at->cell) + 1].selectable());
      } else {
        EXPECT_EQ(cells.size(), size_t(at->cell) + 1);
      }
    }
    EXPECT_EQ(cache_.listText(sheet.constData(), lc.keyLink, 1000), "error");
  }
}

// Reading order decides stepping: the inverted lists read OFF (1) before ON (0).
TEST_F(SelectionLists, InvertedListsStepFromTheirFirstLine) {
  EXPECT_EQ(cache_.listStep("GI_Sheet_Sel_Misc_OnOff_I", Flex0, 1, +1).value, 0);
  EXPECT_EQ(cache_.listStep("GI_Sheet_Sel_Misc_OnOff_I", Flex0, 0, +1).value, 1);
  EXPECT_EQ(cache_.listStep("GI_Sheet_Sel_Mch_TS_Pitch", Flex0, 8, +1).value, 0);
  // The marine attribute's "return" choice sits below the two real ones.
  EXPECT_EQ(cache_.listStep("GI_Sheet_Sel_Marine_CHAtr", Flex0, 2, +1).value, 0);
  EXPECT_EQ(reader_.getLine("GI_Sheet_Sel_Mch_TS_Pitch_Cells", 3), "{S(%Flex0[3 ])}12.5k");
}

}  // namespace
