#include "model/marknote.h"

#include "gtex/celllinks.h"
#include "model/cmcCellCapsule.h"

QString markNote(int link, uint8_t marks) {
  const bool range = marks & kMarkRange;
  const bool caution = marks & kMarkCaution;
  if (!range && !caution) return {};
  if (link >= CL_Check_MemoryCH0 && link <= CL_Check_F2_Common) {
    return range ? QStringLiteral("A value on this sheet is a setting error: Clone Write refuses "
                                  "the data until it is corrected.")
                 : QStringLiteral("A value on this sheet has a warning: open the sheet to see "
                                  "which.");
  }
  switch (link) {
    case CL_Mch_Freq:
      if (range)
        return QStringLiteral("Outside the frequency range of the radio: a setting error; Clone "
                              "Write refuses the data until it is corrected.");
      return QStringLiteral("Outside the transmit band of this radio version: the channel cannot "
                            "be used by this radio and will be cleared (or set back to its factory setting) on "
                            "save or write.");
    case CL_Mch_Mode:
    case FlexMarking_Mode:
      return QStringLiteral("FM narrow is not available on this radio version: the channel will "
                            "be cleared (or set back to its factory setting) on save or write.");
    case CL_Common_EmergencyChannel:
    case FlexVMCCh:
      return QStringLiteral("This channel cannot be the emergency channel here (it is empty or "
                            "not offered): the radio will not use it.");
    default:
      return range ? QStringLiteral("A setting error: Clone Write refuses the data until it is "
                                    "corrected.")
                   : QStringLiteral("A warning: the radio may not use this value as it is.");
  }
}
