// Common settings: one byte of the settings block the sheet selects (main, F-1 or F-2), shown
// through a selection list or an entry; a few live in all three blocks.

#include "base/cmcEvMan.h"
#include "base/events.h"
#include "base/prompter.h"
#include "base/textcodec.h"
#include "gtex/cmcGTex.h"
#include "model/catalogue_impl.h"
#include "model/cmcEeprom.h"
#include "model/document.h"
#include "model/numbering.h"

using namespace memmap;

namespace {

constexpr int kBankKeyEmergency = 1;
constexpr int kBankKeyTemporaryVolume = 2;
constexpr int kMemoryDispFreq = 0;
constexpr int kMemoryDispName = 2;

}  // namespace

int FieldCatalogue::Impl::commonSetting(Request& r) {
  cmcCellCapsule& req = r.req;
  namespace s = settings;
  switch (r.link) {
    case CL_Common_DTMF_CH_NO: {
      // "S" on the row of the selected DTMF memory; choosing it selects that memory everywhere.
      int selected = setting(r, s::kDtmfChannel) == r.index ? 1 : 0;
      const EditResult e = editors.selection(req, "GI_Sheet_Sel_DTMF_CH_NO_Sel", selected);
      if (e.changed && selected == 1) {
        setSettingAllBlocks(r, s::kDtmfChannel, r.index);
        r.rules |= kRepaintSameLink;
      }
      return e.dispatch;
    }
    case CL_Common_DTMF_SPEED: {
      int speed = doc.working().getByte(kMainSettings + s::kDtmfSpeed);
      const EditResult e = editors.selection(req, "GI_Sheet_Sel_DTMF_SPEED", speed);
      if (e.changed) setSettingAllBlocks(r, s::kDtmfSpeed, speed);
      return e.dispatch;
    }
    case CL_Common_Dimmer:
      return settingList(r, s::kDimmer, "GI_Sheet_Sel_Common_Dimmer");
    case CL_Common_AutoDimmer:
      return settingList(r, s::kAutoDimmer, "GI_Sheet_Sel_Misc_Auto_Dimmer");
    case CL_Common_LCDContrast:
      return settingList(r, s::kLcdContrast, "GI_Sheet_Sel_Common_Contrast");
    case CL_Common_Beep:
      return settingList(r, s::kBeep, "GI_Sheet_Sel_Misc_OnOff");
    case CL_Common_TOT:
      return settingList(r, s::kTOT, "GI_Sheet_Sel_Common_TOT");
    case CL_Common_AutoPowerOFF:
      return settingList(r, s::kAutoPowerOff, "GI_Sheet_Sel_Common_Auto_Power_OFF");
    case CL_Common_MICUp:
      return settingList(
          r, s::kMicUp,
          doc.marineAvailable() ? "GI_Sheet_Sel_Common_MIC_UP_M" : "GI_Sheet_Sel_Common_MIC_UP");
    case CL_Common_MICDown:
      return settingList(
          r, s::kMicDown,
          doc.marineAvailable() ? "GI_Sheet_Sel_Common_MIC_DN_M" : "GI_Sheet_Sel_Common_MIC_DN");
    case CL_Common_Bank_OPT_Key: {
      const int result = settingList(r, s::kBankOptKey, "GI_Sheet_Sel_Common_BANK_OPT_Key");
      if (r.changed) r.rules |= kRepaintAllLinked;
      return result;
    }
    case CL_Common_EmergencyChannel:
      return emergencyChannel(r);
    case CL_Common_EmergencyAlertVolume:
      if (setting(r, s::kBankOptKey) != kBankKeyEmergency) grey(req);
      return settingList(r, s::kEmergencyAlertVolume, "GI_Sheet_Sel_Common_Emergency_Alert_Volume");
    case CL_Common_TemporaryVolume: {
      if (setting(r, s::kBankOptKey) != kBankKeyTemporaryVolume) grey(req);
      int64_t volume = setting(r, s::kTemporaryVolume);
      const EditResult e = ValueEditors::number(req, volume, 0, 32);
      if (e.changed) setSetting(r, s::kTemporaryVolume, int(volume));
      if (volume == 0 && e.dispatch != kDispatchOpenEditor) req.resultText += " (Mute)";
      return e.dispatch;
    }
    case CL_Common_Scan_Edge:
      return settingList(r, s::kScanEdge, "GI_Sheet_Sel_Common_Scan_Edge");
    case CL_Common_PauseTimer:
      return settingList(r, s::kPauseTimer, "GI_Sheet_Sel_Common_PauseTimer");
    case CL_Common_ResumeTimer:
      return settingList(r, s::kResumeTimer, "GI_Sheet_Sel_Common_ResumeTimer");
    case CL_Common_BankLinkScan: {
      const int result = settingList(r, s::kBankLinkScan, "GI_Sheet_Sel_Misc_OnOff");
      // The bank-link pattern greys with it, on this sheet and any other.
      if (r.changed && bus) bus->send(ev::kRefreshAllSheets);
      return result;
    }
    case CL_Common_BankLink_A_J: {
      if (setting(r, s::kBankLinkScan) == 0) grey(req);
      uint32_t pattern = 0;
      for (int bank = 0; bank < kBankCount; ++bank) {
        if (setting(r, s::kBankLinkFirst + bank)) pattern |= 1u << (kBankCount - 1 - bank);
      }
      const EditResult e = ValueEditors::bitPattern(req, pattern, 1, kBankCount);
      if (e.changed) {
        for (int bank = 0; bank < kBankCount; ++bank) {
          setSetting(r, s::kBankLinkFirst + bank, (pattern >> (kBankCount - 1 - bank)) & 1);
        }
      }
      return e.dispatch;
    }
    case CL_Common_WXAlert:
      return settingList(r, s::kWxAlert, "GI_Sheet_Sel_Misc_OnOff");
    case CL_Common_WXCH: {
      const int address = r.stateAddress + state::kWeatherChannel;
      int64_t channel = doc.working().getByte(address);
      const EditResult e = ValueEditors::number(req, channel, 0, numbering::kWeatherCount - 1, 1);
      if (e.changed) {
        doc.working().setByte(address, uint8_t(channel));
        r.changed = true;
      }
      return e.dispatch;
    }
    case CL_Common_MicGain:
      return settingList(r, s::kMicGain, "GI_Sheet_Sel_Common_MicGain");
    case CL_Common_BusyLockout:
      return settingList(r, s::kBusyLockout, "GI_Sheet_Sel_Common_Lock_Out");
    case CL_Common_AutoRepeater:
      if (!r.usa) return kDispatchDone;  // empty, and keys do nothing
      return settingList(r, s::kAutoRepeater, "GI_Sheet_Sel_Common_USA_Auto_RPT");
    case CL_Common_SQLControl:
      return settingList(r, s::kSqlControl, "GI_Sheet_Sel_Common_SQL_Delay");
    case CL_Common_SqlAttSel:
      return settingList(r, s::kSqlAttSel, "GI_Sheet_Sel_Common_SQL_ATT_Sel");
    case CL_Common_MemoryDisp:
      return memoryDisplay(r);
    case CL_Common_Voltage:
      return settingList(r, s::kVoltage, "GI_Sheet_Sel_Misc_OnOff");
    case CL_Common_ToneBurst:
      return settingList(r, s::kToneBurst, "GI_Sheet_Sel_Misc_OnOff");
    case CL_Common_SpSelect:
      return settingList(r, s::kSpSelect, "GI_Sheet_Sel_Common_SpSelect");
    case CL_Common_PaVol:
    case CL_Common_FoghornVol: {
      const int offset = r.link == CL_Common_PaVol ? s::kPaVol : s::kFoghornVol;
      int64_t volume = setting(r, offset);
      const EditResult e = ValueEditors::number(req, volume, 0, 31, 1);
      if (e.changed) setSetting(r, offset, int(volume));
      return e.dispatch;
    }
    case CL_Common_FoghornFreq: {
      int64_t hz = 200 + 10 * int64_t(setting(r, s::kFoghornFreq));
      const EditResult e = ValueEditors::number(req, hz, 200, 850, 0, 10);
      if (e.changed) setSetting(r, s::kFoghornFreq, int((hz - 200) / 10));
      return e.dispatch;
    }
    case CL_Common_MarinPrio:
      return settingList(r, s::kMarinePrio, "GI_Sheet_Sel_Common_MarinPrio");
    case CL_Common_CloneComment: {
      const EditResult e =
          ValueEditors::text(req, doc.working().data() + kCloneComment, kCloneCommentLength);
      r.changed = r.changed || e.changed;
      return e.dispatch;
    }
    default:
      return kDispatchDone;
  }
}

// Freq, CH or Name. In the main block a change to Freq or Name offers to set the name display
// of every channel in use to match; the setting is stored whatever the answer.
int FieldCatalogue::Impl::memoryDisplay(Request& r) {
  cmcCellCapsule& req = r.req;
  const int key = req.key;
  if (keyPending(req) && (key == kKeySpace || key == kKeyBackspace)) req.key = kKeyEnter;
  const int old = setting(r, settings::kMemoryDisp);
  int value = old;
  const EditResult e = editors.selection(req, "GI_Sheet_Sel_Common_MemoryDisp", value);
  req.key = key;
  if (!e.changed) return e.dispatch;

  setSetting(r, settings::kMemoryDisp, value);
  setSetting(r, settings::kMemoryDispCopy, value);
  r.rules |= kRepaintAllLinked;
  if (r.block != 0 || value == old || (value != kMemoryDispFreq && value != kMemoryDispName)) {
    return e.dispatch;
  }

  PromptMessage question;
  question.caption = text.lineText("GI_Sys_AppTitle");
  question.text =
      fromCp932(text.getSectionText(value == kMemoryDispName ? "GI_AppMess_NameDisplay_All_ON"
                                                             : "GI_AppMess_NameDisplay_All_OFF"));
  question.buttons = PromptButtons::OkCancel;
  question.icon = PromptIcon::Warning;
  question.defaultAnswer = PromptAnswer::Cancel;
  if (prompter.ask(question) != PromptAnswer::Ok) return e.dispatch;

  ChannelView view(doc.working(), doc.options());
  for (int i = numbering::kNameDisplayRange.first; i <= numbering::kNameDisplayRange.last; ++i) {
    if (!view.load(kKindConventional, i) || !view.inUse) continue;
    view.nameDisplay = value == kMemoryDispName ? 1 : 0;
    view.commit();
  }
  return e.dispatch;
}

int FieldCatalogue::Impl::emergencyChannel(Request& r) {
  cmcCellCapsule& req = r.req;
  if (setting(r, settings::kBankOptKey) != kBankKeyEmergency) grey(req);
  const EmergencyContext context = emergencyContext(r);
  int value = setting(r, settings::kEmergencyChannel);
  const EditResult e = editors.emergency(req, value, context);
  if (e.changed) setSetting(r, settings::kEmergencyChannel, value);
  if (emergencyCaution(value, context)) req.marks |= kMarkCaution;
  return e.dispatch;
}
