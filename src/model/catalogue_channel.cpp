// Channel fields: memory channels, scan edges, the call channel, marine channels and the
// function memories, and the display mode and channel of the function memories.

#include <cstring>

#include "model/catalogue_impl.h"
#include "model/cmcEeprom.h"
#include "model/document.h"
#include "model/editor_channel.h"
#include "model/editor_values.h"
#include "model/frequency.h"
#include "model/numbering.h"

using namespace memmap;

namespace {

bool toneModeIs(int mode, std::initializer_list<int> modes) {
  for (int m : modes) {
    if (mode == m) return true;
  }
  return false;
}

int stateAddressOf(int functionMemory) { return functionMemory == 0 ? kF1State : kF2State; }

int u16At(const cmcEeprom& image, int address) {
  return image.getByte(address) | (image.getByte(address + 1) << 8);
}

}  // namespace

int FieldCatalogue::Impl::channelField(Request& r) {
  if (!r.loaded) return kDispatchDone;
  cmcCellCapsule& req = r.req;
  ChannelView& v = r.view;
  const bool functionVfo = r.kind == kKindFunction && functionDisplayMode(r.index) == kDisplayVFO;

  switch (r.link) {
    case CL_Mch_Freq:
      return frequency(r);
    case CL_Mch_Freq_DbgRef:
    case CL_Mch_Offset_Freq_DbgRef: {
      req.paint.fontColourSet = true;
      req.paint.fontColour = kReferenceColour;
      KeysIgnored readOnly(req);
      int unit = (r.link == CL_Mch_Freq_DbgRef ? v.frequencyUnit6250 : v.offsetUnit6250) ? 1 : 0;
      return editors.selection(req, "GI_Sheet_Sel_Mch_Reference", unit).dispatch;
    }
    case CL_Mch_Dup:
      return viewList(r, "GI_Sheet_Sel_Mch_Dup", v.duplex);
    case CL_Mch_Dup_Reverse:
      if (v.duplex == 0) grey(req);
      return viewList(r, "GI_Sheet_Sel_Mch_Dup_Reverse", v.reverse);
    case CL_Mch_Offset_Freq: {
      if (v.duplex == 0) grey(req);
      int64_t hz = v.offset;
      const EditResult e = ValueEditors::frequency(req, hz, 0, kOffsetMaxHz, false);
      if (e.changed) {
        const int64_t snapped = snapFrequency(hz, true);
        if (snapped >= 0) {
          v.offset = uint32_t(snapped);
          commitView(r);
          req.resultText = frequencyText(v.offset);
        }
      }
      return e.dispatch;
    }
    case CL_Mch_Tx_Inhibit:
      return viewList(r, "GI_Sheet_Sel_Mch_Tx_Inhibit", v.txInhibit);
    case CL_Mch_TS_Pitch:
      req.markPosition = kMarkRightEdge;
      return viewList(r, "GI_Sheet_Sel_Mch_TS_Pitch", v.step, kMatchNone);
    case CL_Mch_RF_Power:
      return viewList(r,
                      doc.options().highPower ? "GI_Sheet_Sel_Mch_RF_Power_High"
                                              : "GI_Sheet_Sel_Mch_RF_Power_Low",
                      v.power);
    case CL_Mch_Decode:
      return viewList(r, "GI_Sheet_Sel_Mch_TSQL", v.toneMode, kMatchNone);
    case CL_Mch_TONE_Freq:
      if (v.toneMode != 1) grey(req);
      return viewList(r, "GI_Sheet_Sel_Mch_TFreq", v.tone, kMatchNearestNumber);
    case CL_Mch_TSQL_Freq:
      if (!toneModeIs(v.toneMode, {2, 5})) grey(req);
      return viewList(r, "GI_Sheet_Sel_Mch_TFreq", v.toneSquelch, kMatchNearestNumber);
    case CL_Mch_DTCS:
      if (!toneModeIs(v.toneMode, {3, 4, 6})) grey(req);
      return viewList(r, "GI_Sheet_Sel_Mch_DTCS", v.dtcs, kMatchNearestNumber);
    case CL_Mch_DTCS_Polarity:
      if (!toneModeIs(v.toneMode, {3, 4, 6})) grey(req);
      return viewList(r, "GI_Sheet_Sel_Mch_DTCS_Polarity", v.dtcsPolarity);
    case CL_Mch_DTMF:
      return viewList(r, "GI_Sheet_Sel_Mch_DTMF_Unit", v.dtmf);
    case CL_Mch_Mode: {
      const bool allowed = doc.options().fmNarrowAllowed();
      const char* list = (!allowed && v.mode != kModeFmNarrow) ? "GI_Sheet_Sel_Mch_Mode_NoFMN"
                                                               : "GI_Sheet_Sel_Mch_Mode";
      req.markPosition = kMarkRightEdge;
      const int result = viewList(r, list, v.mode, kMatchNone, FlexMarking_Mode);
      if (fmNarrowCaution(v.inUse, v.mode, allowed)) req.marks |= kMarkCaution;
      return result;
    }
    case CL_Mch_NameDisplay:
      if (functionVfo) {
        req.resultText = "---";
        return kDispatchDone;
      }
      return viewList(r, "GI_Sheet_Sel_Mch_NameDisp", v.nameDisplay);
    case CL_Mch_Name: {
      if (functionVfo) {
        req.resultText = "---";
        req.itemState.nameState = 1;
        return kDispatchDone;
      }
      req.itemState.nameState = 0;
      uint8_t bytes[rec::kNameLength];
      std::memcpy(bytes, v.name.data(), sizeof bytes);
      const EditResult e = ValueEditors::name(req, bytes, rec::kNameLength);
      if (e.changed) {
        v.setName(reinterpret_cast<const char*>(bytes), rec::kNameLength);
        commitView(r);
      }
      return e.dispatch;
    }
    case CL_Mch_Scan_Skip:
      return viewList(r, "GI_Sheet_Sel_Mch_Scan_Skip", v.scanSkip);
    case CL_Mch_Marine: {
      int marine = v.marine;
      const EditResult e = editors.selection(req, "GI_Sheet_Sel_Misc_OnOff2", marine);
      if (e.changed) {
        v.marine = uint8_t(marine);
        commitView(r);
      }
      return e.dispatch;
    }
    case CL_Mch_Bank_Group:
      return viewList(r, "GI_Sheet_Sel_Mch_Bank_Group", v.bank);
    default:
      return kDispatchDone;
  }
}

int FieldCatalogue::Impl::frequency(Request& r) {
  cmcCellCapsule& req = r.req;
  ChannelView& v = r.view;
  KeysIgnored wx(req, r.ignoreKeys);

  const bool empty = !v.inUse || v.frequency >= kEmptyChannelFrequencyHz;
  int64_t hz = v.frequency;
  const EditResult e = ValueEditors::frequency(req, hz, kRangeLowHz, kRangeHighHz, empty);
  if (e.changed && storeTypedFrequency(v, doc.defaultImage(), hz)) {
    r.changed = true;
    req.resultText = frequencyText(v.frequency);
  }

  // A function memory showing a weather channel of a USA transceiver is not cautioned: the
  // weather channels lie outside every amateur band on purpose.
  const bool weather =
      r.kind == kKindFunction && r.usa && functionDisplayMode(r.index) == kDisplayWX;
  if (!weather && v.inUse && doc.bands().transmitCheck(v.frequency, doc.options().rxExpansion)) {
    req.marks |= kMarkCaution;
  }
  const bool range = channelOutOfRange(v);
  if (range) req.marks |= kMarkRange;
  if ((range && !keyPending(req)) || (!v.inUse && e.dispatch != kDispatchOpenEditor)) {
    req.resultText.clear();
  }
  return e.dispatch;
}

// The marine priority (bit 0) and call (bit 1) channel; both roles live in all three blocks.
int FieldCatalogue::Impl::marineAttribute(Request& r) {
  if (!r.loaded || !numbering::isMarine(r.kind, r.index)) return kDispatchDone;
  const int number = numbering::marineNumber(r.index);
  const int before = (setting(r, settings::kMarinePriority) == number ? 1 : 0) |
                     (setting(r, settings::kMarineCall) == number ? 2 : 0);
  int flags = before;
  const EditResult e = editors.attribute(r.req, "GI_Sheet_Sel_Marine_CHAtr", flags);
  if (e.changed) {
    if ((flags & 1) && !(before & 1)) setSettingAllBlocks(r, settings::kMarinePriority, number);
    if ((flags & 2) && !(before & 2)) setSettingAllBlocks(r, settings::kMarineCall, number);
    r.rules |= kRepaintSameLink;
  }
  return e.dispatch;
}

// VFO, M, C (and WX on USA transceivers) of a function memory. Choosing another mode refills the
// memory from what the mode shows.
int FieldCatalogue::Impl::displayMode(Request& r) {
  if (!r.loaded || r.kind != kKindFunction) return kDispatchDone;
  cmcCellCapsule& req = r.req;
  cmcEeprom& image = doc.working();
  const int address = stateAddressOf(r.index);
  const int old = memmap::displayMode(image.getByte(address + state::kDisplayMode));

  const int key = req.key;
  if (keyPending(req) && (key == kKeySpace || key == kKeyBackspace)) req.key = kKeyEnter;
  int mode = old;
  const EditResult e =
      editors.selection(req, r.usa ? "GI_Sheet_Sel_Disp_VMC_USA" : "GI_Sheet_Sel_Disp_VMC", mode);
  req.key = key;
  if (!e.changed || mode == old) return e.dispatch;

  ChannelView& v = r.view;
  uint8_t bits = mode == kDisplayVFO ? uint8_t(0x04 | kDisplayMemory) : uint8_t(mode & 0x03);
  switch (mode) {
    case kDisplayWX:
      v.loadFrom(image, kKindWeather, image.getByte(address + state::kWeatherChannel));
      break;
    case kDisplayCall:
      v.loadFrom(image, kKindConventional, numbering::kCallChannel);
      break;
    case kDisplayVFO:
      v.loadFrom(doc.defaultImage(), kKindTemplate, 0);
      v.inUse = true;
      break;
    default:
      v.loadFrom(image, kKindConventional, u16At(image, address + state::kMemoryChannel));
      break;
  }
  image.setByte(address + state::kDisplayMode,
                uint8_t((image.getByte(address + state::kDisplayMode) & ~0x07) | bits));
  commitView(r);
  r.rules |= kRepaintSameIndex;
  return e.dispatch;
}

// The weather channel (mode WX) or the conventional channel (mode M) a function memory shows.
int FieldCatalogue::Impl::displayChannel(Request& r) {
  if (!r.loaded || r.kind != kKindFunction) return kDispatchDone;
  cmcCellCapsule& req = r.req;
  cmcEeprom& image = doc.working();
  const int address = stateAddressOf(r.index);
  const int mode = memmap::displayMode(image.getByte(address + state::kDisplayMode));
  if (mode != kDisplayWX && mode != kDisplayMemory) {
    req.resultText = "---";
    return kDispatchDone;
  }

  const int key = req.key;
  if (keyPending(req) && (key == kKeySpace || key == kKeyBackspace)) req.key = kKeyEnter;
  const bool weather = mode == kDisplayWX;
  int64_t value = weather ? image.getByte(address + state::kWeatherChannel)
                          : u16At(image, address + state::kMemoryChannel);
  const int64_t before = value;
  const EditResult e = weather
                           ? ValueEditors::channel(req, value, 0, numbering::kWeatherCount - 1, 1)
                           : ValueEditors::channel(req, value, 0, numbering::kLastScanEdge, 0);
  req.key = key;
  if (!e.changed || value == before) return e.dispatch;

  if (weather) {
    image.setByte(address + state::kWeatherChannel, uint8_t(value));
    r.view.loadFrom(image, kKindWeather, int(value));
  } else {
    image.setByte(address + state::kMemoryChannel, uint8_t(value));
    image.setByte(address + state::kMemoryChannel + 1, uint8_t(value >> 8));
    r.view.loadFrom(image, kKindConventional, int(value));
  }
  commitView(r);
  return e.dispatch;
}
