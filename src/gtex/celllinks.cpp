#include "gtex/celllinks.h"

#include "base/fatal.h"
#include "base/textcodec.h"
#include "gtex/cmcHash.h"

namespace {

const char* const kCategoryNames[kCategoryCount] = {"CT_Null", "CT_PopupMenu", "CT_Conv",
                                                    "CT_Func"};

const char* const kLinkNames[kLinkCount] = {
    "CL_Null",
    "Flex0",
    "FlexVMCCh",
    "FlexSpace",
    "FlexKeyOpt",
    "FlexMarking_Mode",
    "CL_Menu_File_New",
    "CL_Menu_File_Open",
    "CL_Menu_File_Save",
    "CL_Menu_File_SaveAs",
    "CL_Menu_File_Import",
    "CL_Menu_File_Export",
    "CL_Menu_File_Print_Current",
    "CL_Menu_File_Print_All",
    "CL_Menu_File_Recent",
    "CL_Menu_File_Exit",
    "CL_Menu_Edit_Top",
    "CL_Menu_View_FontSize",
    "CL_Menu_View_Language",
    "CL_Menu_View_ToolBar",
    "CL_Menu_Port_Usb",
    "CL_Menu_Com_Speed",
    "CL_Menu_Clone_Read",
    "CL_Menu_Clone_Write",
    "CL_Menu_Clone_Info",
    "CL_Menu_Clone_Adj",
    "CL_Menu_CallSign_RptDialog",
    "CL_Menu_CallSign_AutoCorrect",
    "CL_Help_About",
    "CL_Help_Contents",
    "CL_Menu_Debug_Compare",
    "CL_Menu_Debug_CorrectComp",
    "CL_Menu_Debug_CorrectComp_Model",
    "CL_Menu_Debug_CautionCorrectComp",
    "CL_Menu_Debug_CorrectSort",
    "CL_Menu_Debug_CorrectOut",
    "CL_Menu_Debug_CorrectIn",
    "CL_Menu_Debug_CorrectGps",
    "CL_Menu_Debug_Window",
    "CL_Menu_Debug_EeWindow",
    "CL_Menu_Debug_PopupHelpCheck",
    "CL_EeDebugWin_Adr",
    "CL_EeDebugWin_0",
    "CL_EeDebugWin_1",
    "CL_EeDebugWin_2",
    "CL_EeDebugWin_3",
    "CL_EeDebugWin_4",
    "CL_EeDebugWin_5",
    "CL_EeDebugWin_6",
    "CL_EeDebugWin_7",
    "CL_EeDebugWin_8",
    "CL_EeDebugWin_9",
    "CL_EeDebugWin_A",
    "CL_EeDebugWin_B",
    "CL_EeDebugWin_C",
    "CL_EeDebugWin_D",
    "CL_EeDebugWin_E",
    "CL_EeDebugWin_F",
    "CallSheet",
    "CL_Check_MemoryCH0",
    "CL_Check_MemoryCH1",
    "CL_Check_MemoryCHS",
    "CL_Check_MemoryCHC",
    "CL_Check_F1DispCH",
    "CL_Check_F2DispCH",
    "CL_Check_Common",
    "CL_Check_F1_Common",
    "CL_Check_F2_Common",
    "CL_CloneInfo_Esn",
    "CL_CloneInfo_Comment",
    "CL_CloneInfo_Destination",
    "CL_CloneInfo_Marine",
    "CL_CloneInfo_FmNarrow",
    "CL_CloneInfo_RxExpand",
    "CL_CloneInfo_HighPower",
    "CL_Debug_Info_Destination",
    "CL_Debug_Info_Marine",
    "CL_Debug_Info_FmNarrow",
    "CL_Debug_Info_Expand",
    "CL_Debug_Info_HighPower",
    "CL_Debug_Language",
    "CL_Debug_ICS_LOAD",
    "CL_PMenu_NoItem",
    "CL_PMenu_BankOff",
    "CL_PMenu_Edit",
    "CL_PMenu_Rpt_Set",
    "CL_PMenu_Copy",
    "CL_PMenu_Paste",
    "CL_PMenu_CarryUp",
    "CL_PMenu_CarryDown",
    "CL_PMenu_Clear",
    "CL_PMenu_Delete",
    "CL_PMenu_Insert",
    "CL_PMenu_NameDispAllOn",
    "CL_PMenu_NameDispAllOff",
    "CL_PMenu_Help",
    "CL_FBits",
    "CL_Misc_ChNo_0Base",
    "CL_Misc_ChNo_1Base",
    "CL_Misc_BankNm",
    "CL_Misc_ChInfo_No",
    "CL_Misc_QuarterPillar",
    "CL_Misc_QuarterPillarSpecial",
    "CL_Misc_ChNo_PLink",
    "CL_Misc_ChNo_Edge",
    "CL_Misc_GroupNm",
    "CL_Top_Version",
    "CL_Top_Copyright",
    "CL_Mch_Freq",
    "CL_Mch_Freq_DbgRef",
    "CL_Mch_Dup",
    "CL_Mch_Dup_Reverse",
    "CL_Mch_Offset_Freq",
    "CL_Mch_Offset_Freq_DbgRef",
    "CL_Mch_Tx_Inhibit",
    "CL_Mch_TS_Pitch",
    "CL_Mch_RF_Power",
    "CL_Mch_Decode",
    "CL_Mch_TONE_Freq",
    "CL_Mch_TSQL_Freq",
    "CL_Mch_DTCS",
    "CL_Mch_DTCS_Polarity",
    "CL_Mch_DTMF",
    "CL_Mch_Mode",
    "CL_Mch_NameDisplay",
    "CL_Mch_Name",
    "CL_Mch_Scan_Skip",
    "CL_Mch_Marine",
    "CL_Mch_Bank_Group",
    "CL_ChList_Atr",
    "CL_Disp_VMC",
    "CL_Disp_ChNo",
    "CL_Disp_Degug_ChNo_MR",
    "CL_Disp_Degug_ChNo_Call",
    "CL_Disp_Degug_ChNo_WX",
    "CL_Bank_Name",
    "CL_DTMF_ChNo",
    "CL_DTMF_Memory_Code",
    "CL_Common_DTMF_CH_NO",
    "CL_Common_DTMF_SPEED",
    "CL_Common_Dimmer",
    "CL_Common_AutoDimmer",
    "CL_Common_LCDContrast",
    "CL_Common_Beep",
    "CL_Common_TOT",
    "CL_Common_AutoPowerOFF",
    "CL_Common_MICUp",
    "CL_Common_MICDown",
    "CL_Common_Bank_OPT_Key",
    "CL_Common_EmergencyChannel",
    "CL_Common_EmergencyAlertVolume",
    "CL_Common_TemporaryVolume",
    "CL_Common_Scan_Edge",
    "CL_Common_PauseTimer",
    "CL_Common_ResumeTimer",
    "CL_Common_BankLinkScan",
    "CL_Common_BankLink_A_J",
    "CL_Common_WXAlert",
    "CL_Common_WXCH",
    "CL_Common_MicGain",
    "CL_Common_BusyLockout",
    "CL_Common_AutoRepeater",
    "CL_Common_SQLControl",
    "CL_Common_SqlAttSel",
    "CL_Common_MemoryDisp",
    "CL_Common_Voltage",
    "CL_Common_ToneBurst",
    "CL_Common_SpSelect",
    "CL_Common_PaVol",
    "CL_Common_FoghornVol",
    "CL_Common_FoghornFreq",
    "CL_Common_MarinPrio",
    "CL_Common_CloneComment",
};

// Categories and links share one name table, filled on first use.
const cmcHash& names() {
  static const cmcHash* table = [] {
    static cmcHash hash;
    for (int i = 0; i < kCategoryCount; ++i) hash.add(kCategoryNames[i], i);
    for (int i = 0; i < kLinkCount; ++i) hash.add(kLinkNames[i], i);
    return &hash;
  }();
  return *table;
}

// The shared table holds both kinds of names with overlapping numbers, so a hit only counts
// when it is a name of the kind asked for (a link name is not a category, nor the reverse).
int lookUp(const QByteArray& name, const char* const* table, int count) {
  const cmcHash::Entry* e = names().find(name.constData());
  if (e && e->value >= 0 && e->value < count && name == table[e->value]) return e->value;
  return -1;
}

}  // namespace

int categoryOf(const QByteArray& name) {
  if (name.isEmpty()) return CT_None;
  const int value = lookUp(name, kCategoryNames, kCategoryCount);
  if (value < 0)
    fatalError(QStringLiteral("Cannot use the specified category.\n'%1'").arg(fromCp932(name)));
  return value;
}

int linkOf(const QByteArray& name) {
  if (name.isEmpty()) return CL_None;
  const int value = lookUp(name, kLinkNames, kLinkCount);
  if (value < 0)
    fatalError(QStringLiteral("Cannot use the specified cell.\n'%1'").arg(fromCp932(name)));
  return value;
}

const char* linkName(int link) { return link >= 0 && link < kLinkCount ? kLinkNames[link] : ""; }

const char* categoryName(int category) {
  return category >= 0 && category < kCategoryCount ? kCategoryNames[category] : "";
}

int channelKindOf(int category) {
  switch (category) {
    case CT_Conv:
      return 1;
    case CT_Func:
      return 2;
    case CT_Null:
    case CT_PopupMenu:
    case CT_None:
      return 0;
    default:
      fatalError("Unknown Cell Category.");
  }
}
