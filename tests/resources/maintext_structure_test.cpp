// The embedded resource texts as tables: their shape, the sections other texts name, the
// help-topic map and the exact wording of the texts the program quotes.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QRegularExpression>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "gtex/cmcGTex.h"
#include "print_util.h"
#include "resources/embedded_text.h"

namespace {

std::vector<std::string> headersUpToEnd(EmbeddedText text, int* endIndex = nullptr) {
  std::vector<std::string> names;
  for (int i = 0; i < text.count; ++i) {
    const std::string line = text.lines[i];
    if (line.size() < 2 || line[0] != '#') continue;
    names.push_back(line.substr(1));
    if (names.back() == "End_Of_Ovl") {
      if (endIndex) *endIndex = i;
      break;
    }
  }
  return names;
}

class MainText : public ::testing::Test {
 protected:
  void SetUp() override {
    text_ = mainResourceText();
    ASSERT_TRUE(reader_.setSource(text_.lines, text_.count));
  }
  // Every line of the text up to End_Of_Ovl joined by "\n", for pattern searches.
  QString whole() const {
    QByteArray all;
    for (int i = 0; i < text_.count; ++i) {
      if (QByteArray(text_.lines[i]) == "#End_Of_Ovl") break;
      all += text_.lines[i];
      all += '\n';
    }
    return QString::fromLatin1(all);
  }

  EmbeddedText text_{};
  cmcGTex reader_;
};

TEST(EmbeddedTables, MainTextShape) {
  const EmbeddedText text = mainResourceText();
  ASSERT_GT(text.count, 1000);
  EXPECT_STREQ(text.lines[0], "");
  for (int variant = 0; variant < 3; ++variant) {
    const EmbeddedText v = mainResourceText(variant);
    EXPECT_EQ(v.lines, text.lines) << variant;
    EXPECT_EQ(v.count, text.count) << variant;
  }

  int end = -1;
  const std::vector<std::string> names = headersUpToEnd(text, &end);
  ASSERT_FALSE(names.empty());
  EXPECT_EQ(names.back(), "End_Of_Ovl");
  EXPECT_EQ(end, text.count - 1) << "nothing may follow End_Of_Ovl: no reader would find it";

  // Names are unique except the one known pair, which is there twice (the first copy wins).
  std::map<std::string, int> seen;
  for (const std::string& name : names) ++seen[name];
  for (const auto& [name, times] : seen) {
    if (name == "GI_PMenu_Clear_DV_BasicCell" || name == "GI_PMenu_Clear_DV_Body") {
      EXPECT_EQ(times, 2) << name;
    } else {
      EXPECT_EQ(times, 1) << name;
    }
  }
  // Lines the reader would cut short or misread.
  for (int i = 0; i < text.count; ++i) {
    EXPECT_LE(qstrlen(text.lines[i]), size_t(cmcGTex::kMaxLineLength)) << i;
    EXPECT_EQ(QByteArray(text.lines[i]).indexOf('\n'), -1) << i;
  }
}

TEST(EmbeddedTables, HelpTopicMapHoldsTheFiftyTwoEntriesInOrder) {
  static const std::vector<std::pair<const char*, int>> kEntries = {
      {"CL_Mch_Freq", 63435}, {"CL_Mch_Dup", 63449}, {"CL_Mch_Dup_Reverse", 63453},
      {"CL_Mch_Offset_Freq", 63454}, {"CL_Mch_Tx_Inhibit", 63455}, {"CL_Mch_TS_Pitch", 63456},
      {"CL_Mch_RF_Power", 63457}, {"CL_Mch_Decode", 63459}, {"CL_Mch_TONE_Freq", 63460},
      {"CL_Mch_TSQL_Freq", 63479}, {"CL_Mch_DTCS", 63480}, {"CL_Mch_DTCS_Polarity", 63481},
      {"CL_Mch_DTMF", 63482}, {"CL_Mch_Mode", 63483}, {"CL_Mch_NameDisplay", 63484},
      {"CL_Mch_Name", 63491}, {"CL_Mch_Scan_Skip", 63486}, {"CL_Mch_Bank_Group", 63487},
      {"CL_Disp_VMC", 63493}, {"CL_Disp_ChNo", 63494}, {"CL_Bank_Name", 63582},
      {"CL_Common_DTMF_CH_NO", 63495}, {"CL_DTMF_Memory_Code", 63496},
      {"CL_Common_DTMF_SPEED", 63498}, {"CL_Common_Dimmer", 63500},
      {"CL_Common_AutoDimmer", 63501}, {"CL_Common_LCDContrast", 63502},
      {"CL_Common_Beep", 63503}, {"CL_Common_TOT", 63505}, {"CL_Common_AutoPowerOFF", 63506},
      {"CL_Common_MICUp", 63529}, {"CL_Common_MICDown", 63529},
      {"CL_Common_Bank_OPT_Key", 63530}, {"CL_Common_EmergencyChannel", 63532},
      {"CL_Common_EmergencyAlertVolume", 63533}, {"CL_Common_TemporaryVolume", 63534},
      {"CL_Common_Scan_Edge", 63509}, {"CL_Common_PauseTimer", 63510},
      {"CL_Common_ResumeTimer", 63511}, {"CL_Common_BankLinkScan", 63518},
      {"CL_Common_BankLink_A_J", 63513}, {"CL_Common_WXAlert", 63515},
      {"CL_Common_WXCH", 63516}, {"CL_Common_MicGain", 63519},
      {"CL_Common_BusyLockout", 63520}, {"CL_Common_AutoRepeater", 63521},
      {"CL_Common_SQLControl", 63522}, {"CL_Common_SqlAttSel", 63523},
      {"CL_Common_MemoryDisp", 63524}, {"CL_Common_Voltage", 63525},
      {"CL_Common_ToneBurst", 63526}, {"CL_Common_CloneComment", 63527},
  };
  ASSERT_EQ(kEntries.size(), 52u);

  const EmbeddedText map = helpTopicMapText();
  EXPECT_STREQ(map.lines[0], "");
  cmcHelpGTex reader;
  ASSERT_TRUE(reader.setSource(map.lines, map.count));
  for (int i = 0; i < 52; ++i) {
    const QByteArray expected =
        QByteArray(kEntries[i].first) + '\t' + QByteArray::number(kEntries[i].second) + ".htm";
    EXPECT_EQ(reader.getLine("GI_AppItem_CellName_to_ContextID", i), expected) << i;
  }
  EXPECT_EQ(reader.getLine("GI_AppItem_CellName_to_ContextID", 52), "#");
  EXPECT_EQ(headersUpToEnd(map), std::vector<std::string>{"GI_AppItem_CellName_to_ContextID"});
}

// Sections that other lines name: the cell models ($name), the popup menus (PopupMenu=...),
// the sheets of the tree's call strings and of the warning check list.
TEST_F(MainText, EverySectionNamedByAnotherLineExists) {
  const QString all = whole();
  std::set<QString> missing;
  auto need = [&](const QString& name) {
    if (!reader_.hasSection(name.toLatin1().constData())) missing.insert(name);
  };

  int models = 0;
  auto it = QRegularExpression(R"(\(\$(\w+)\))").globalMatch(all);
  while (it.hasNext()) {
    need("CellModel_" + it.next().captured(1));
    ++models;
  }
  EXPECT_GT(models, 0);

  int popups = 0;
  it = QRegularExpression(R"(PopupMenu=(\w+)\))").globalMatch(all);
  while (it.hasNext()) {
    const QString stem = it.next().captured(1);
    need(stem + "_BasicCell");
    need(stem + "_Body");
    ++popups;
  }
  EXPECT_GT(popups, 0);

  // Call strings: "[state]Name,arguments" after CallSheet: or a check link.
  std::set<QString> treeCalls, checkCalls;
  it = QRegularExpression(R"(%(CallSheet|CL_Check_\w+):((?:\[\w+\])?(\w+)[^)]*)\))").globalMatch(all);
  while (it.hasNext()) {
    const auto m = it.next();
    (m.captured(1) == "CallSheet" ? treeCalls : checkCalls).insert(m.captured(2));
    for (const char* part : {"_Style", "_BasicCell", "_Cells"}) need(m.captured(3) + part);
  }
  EXPECT_EQ(treeCalls.size(), 14u);  // the TreeTop page serves two nodes
  EXPECT_EQ(checkCalls.size(), 9u);
  // A warning mark is useless unless a tree node carries the same call string.
  for (const QString& call : checkCalls) EXPECT_TRUE(treeCalls.count(call)) << call.toStdString();

  for (const QString& name : missing) ADD_FAILURE() << "missing section " << name.toStdString();
}

// Texts the program quotes word for word: section, line, text.
TEST_F(MainText, QuotedTextsAreExact) {
  struct Quote {
    const char* section;
    int line;
    const char* text;
  };
  static const Quote kQuotes[] = {
      {"GI_Sys_TreeChangeDelay", 0, "200"},
      {"GI_Sys_AppTitleRev", 0, "Kestrin Ver.%s"},
      {"GI_Sys_Maker", 0, "Zelk Inc."},
      {"GI_Sys_MyHelpFile", 0, "KESTRIN.chm"},
      {"GI_Sys_MyHelpFile", 1, "KESTRIN.chm"},
      {"GI_Sys_HtmlHelp_Popup_Width", 0, "300"},
      {"GI_Sys_HtmlHelp_Popup_Height", 0, "300"},
      {"GI_Sys_HtmlHelp_Error", 0, "Cannot find the %s file."},
      {"GI_Sys_HtmlHelp_Error", 1, "No Help topic is associated with this item."},
      {"GI_Sys_Dialog_FOpen", 0, "qev"},
      {"GI_Sys_Dialog_FOpen", 1, "Data files (*.qev)|*.qev|All files (*.*)|*.*"},
      {"GI_Sys_Dialog_FExport", 0, "csv"},
      {"GI_Sys_Dialog_FExport", 1, "CSV files (*.csv)|*.csv|All files (*.*)|*.*"},
      {"GI_Sys_Printer_Margins", 0, "15,10,5,5"},
      {"GI_Sys_Printer_FrameFont", 0, "14"},
      {"GI_Sys_Printer_NoPrinter", 0, "No Printer is connected."},
      {"GI_Sys_Printer_NoPrinter", 1, "Connect a printer."},
      {"GI_Sys_Printer_PrintingDialog", 0, "Print"},
      {"GI_Sys_Printer_PrintingDialog", 1, "Now Printing"},
      {"GI_Sys_Printer_PrintingDialog", 2, "Cancel"},
      {"GI_Version_Default", 0, "1.00"},
      {"GI_Version_Default", 1, "2022"},
      {"GI_Version_File", 0, "KESTRIN.dat"},
      {"GI_QEV_New_File_Name", 0, "Untitled"},
      {"GI_AppInd_Model", 0, "Osprel"},
      {"GI_AppInd_Button_OkCancel", 0, "OK"},
      {"GI_AppInd_Button_OkCancel", 1, "Cancel"},
      {"GI_AppInd_Opt_ComSel_Buttons", 0, "OK"},
      {"GI_AppInd_Opt_ComSel_Buttons", 1, "Cancel"},
      {"GI_AppInd_Opt_ComSel_Notice", 0, "Specify the COM port number. (1 - 256)"},
      {"GI_AppInd_Opt_ComSel_Caption", 0, "COM Port Setting"},
      {"GI_AppInd_Opt_ComSel_SizeOfButtons", 0, "Cancel+++"},
      {"GI_AppInd_Opt_ComSel_OutofRange", 0, "The numerical value is outside the range."},
      {"GI_AppInd_Preview_Caption", 0, "&Print"},
      {"GI_AppInd_Preview_Caption", 1, "&Setting..."},
      {"GI_AppInd_Preview_Caption", 2, "Top Page"},
      {"GI_AppInd_Preview_Caption", 3, "Previous Page"},
      {"GI_AppInd_Preview_Caption", 4, "Next Page"},
      {"GI_AppInd_Preview_Caption", 5, "Last Page"},
      {"GI_AppInd_Preview_Caption", 6, "Zoom"},
      {"GI_AppInd_Preview_Setting_Caption", 0, "Setting"},
      {"GI_AppInd_Preview_Setting_Caption", 1, "Font Size: "},
      {"GI_AppInd_CommonTitle", 7, ""},
      {"GI_AppInd_CommonTitle", 9, " Func+[F-1]"},
      {"GI_AppInd_CommonTitle", 11, " Func+[F-2]"},
      {"GI_AppInd_MchFuncTitle", 0, " Memory CH"},
      {"GI_AppInd_MchFuncTitle", 1, " Memory CH"},
      {"GI_AppInd_MchFuncTitle", 2, " Program Scan Edge"},
      {"GI_AppInd_MchFuncTitle", 3, " CALL CH"},
      {"GI_AppInd_MchFuncTitle", 8, " Func+[F-1] Frequency"},
      {"GI_AppInd_MchFuncTitle", 10, " Func+[F-2] Frequency"},
      {"GI_App_About_Caption", 0, "About Kestrin"},
      {"GI_App_About_Button", 0, "OK"},
      {"GI_App_InitialSetup_Form_Caption", 0, "Initial Setup"},
      {"GI_App_InitialSetup_ComPort_Caption", 0, "COM Port"},
      {"GI_AppMess_S_Copy", 0, " Copied"},
      {"GI_AppMess_S_Paste", 0, " Pasted"},
      {"GI_AppMess_S_Clear", 0, " Cleared"},
      {"GI_AppMess_S_Delete", 0, " Deleted"},
      {"GI_AppMess_S_Insert", 0, " Inserted"},
      {"GI_AppMess_Conv_Overwrite", 0, "Overwriting. Are you sure?"},
      {"GI_AppMess_Conv_Clear", 0, "Clearing. Are you sure?"},
      {"GI_AppMess_Conv_Delete", 0, "Deleting. Are you sure?"},
      {"GI_Mess_Confirm_WriteFile", 0, "Save changes to %s?"},
      {"GI_Mess_Confirm_WriteAnother", 0, "Save changes?"},
      {"GI_Mess_Confirm_CloneWrite", 0, "Write to transceiver. Are you sure?"},
      {"GI_Mess_FileErr_Headline", 0, "File error."},
      {"GI_Mess_FileErr_FileOpen", 0, "Cannot open the file."},
      {"GI_Mess_FileErr_FileAccess", 0, "Cannot access the file."},
      {"GI_Mess_FileErr_Model", 0, "Illegal data."},
      {"GI_Mess_FileErr_Extra", 0, "Illegal data."},
      {"GI_Mess_FileErr_MapRev", 0, "Incompatible data."},
      {"GI_Mess_FileErr_Format", 0, "Illegal data."},
      {"GI_Mess_FileErr_Coverage", 0, "There is not enough data."},
      {"GI_Mess_FileErr_Data", 0, "Illegal data."},
      {"GI_Mess_FileErr_Newer", 0, "Please update to the latest version."},
      {"GI_Mess_FileErr_EtcData", 0, "Incompatible data."},
      {"GI_Mess_Import_NoData", 0, "No channel data was found."},
      {"GI_Mess_Import_Discard", 0, "Some channels are read as blank due to invalid value/setting."},
      {"GI_Mess_Import_Correct", 0, "Some settings are changed to the valid value."},
      {"GI_Mess_CloneErr_Head", 0, "OK."},
      {"GI_Mess_CloneErr_Head", 2, "Cannot access COM %d."},
      {"GI_Mess_CloneErr_Head", 5, "No answer from transceiver."},
      {"GI_Mess_CloneErr_Head", 13, "Transceiver version does not match."},
      {"GI_Mess_CloneErr_Head", 14, "Connected transceiver is not compatible model."},
      {"GI_Mess_CloneErr_Head", 17, "Cannot Clone."},
      {"GI_Mess_CloneErr_Head", 18, "#"},
      {"GI_Mess_CloneErr_Check", 0, "Check the following:"},
      {"GI_Mess_CloneErr_Check", 3, " - transceiver power is ON."},
      {"GI_Mess_CloneErr_Check", 7, "Please run the 'Initial Setup' again."},
      {"GI_CellWidthRegList", 4, "#"},
  };
  for (const Quote& q : kQuotes) {
    EXPECT_EQ(reader_.getLine(q.section, q.line), QByteArray(q.text)) << q.section << " line " << q.line;
  }

  // Multi-line messages, read the way message boxes read them.
  static const std::pair<const char*, const char*> kMessages[] = {
      {"GI_AppMess_ChangeModel",
       "Settings don't match with transceiver's version.\n"
       "Some settings will be changed to suit to the transceiver.\nAre you sure?"},
      {"GI_AppMess_ChangeModel_QEV",
       "Settings don't match with data file's version.\n"
       "Some settings will be changed to suit to the data file.\nAre you sure?"},
      {"GI_AppMess_Conv_Overflow_Paste",
       "Channel overflow.\nSome of the copied channel contents won't be pasted in the list.\n"
       "Are you sure?"},
      {"GI_AppMess_Conv_Overflow",
       "Channel overflow.\nThe channel contents at the bottom line in this sheet will be deleted.\n"
       "Are you sure?"},
      {"GI_Mess_Confirm_ImportFile", "Import from the file.\nCurrent sheet will be cleared.\nAre you sure?"},
      {"GI_Mess_Import_OpenErr", "File error.\n\nCannot open the file."},
      {"GI_Mess_Import_TitleErr", "File error.\n\nIllegal data."},
      {"GI_Mess_Import_NoChSpace", "Channel overflow.\nSome channels are not imported."},
      {"GI_Mess_DataError", "Setting error is found.\nCheck the items that 'x' mark is displayed."},
      {"GI_Mess_DataWarn", "Setting warning is found.\nWrite to transceiver. Are you sure?"},
      {"GI_Mess_CloneWrite_Succeeded",
       "Cloning is succeeded.\n\nTurn the transceiver power off and on to use\n"
       "the transceiver under its new conditions."},
      {"GI_Mess_CloneErr_Check",
       "Check the following:\n - The COM port settings.\n - Cloning cable connections.\n"
       " - transceiver power is ON.\n - Appropriate cloning software for the transceiver is being used.\n"
       " - The revision number of the transceiver.\n"
       "The transceiver cannot be programmed with the current setting.\n"
       "Please run the 'Initial Setup' again."},
  };
  for (const auto& [section, text] : kMessages) {
    EXPECT_EQ(reader_.getSectionText(section), QByteArray(text)) << section;
  }

  // The status texts of the clone engine, by status number.
  static const char* const kStatus[] = {
      "OK.", "Cannot Clone.", "Cannot access COM %d.", "COM buffer overflow.",
      "Cannot access COM port.", "No answer from transceiver.", "Illegal data.",
      "Data counter error.", "There is not enough data.", "Data overflow.",
      "Cannot write cloning data.", "Illegal information.", "Illegal information.",
      "Transceiver version does not match.", "Connected transceiver is not compatible model.",
      "Illegal data.", "Please update to the latest version.", "Cannot Clone."};
  for (int s = 0; s < 18; ++s) EXPECT_EQ(reader_.getLine("GI_Mess_CloneErr_Head", s), kStatus[s]) << s;
}

}  // namespace
