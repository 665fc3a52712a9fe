#include "sheet/core/SheetEnvironment.h"

#include "model/ChannelView.h"
#include "model/cmcEeprom.h"

bool DocumentSheetEnvironment::channelInUse(int index) const {
  if (!image_) return false;
  ChannelView view(*image_, destination_);
  return view.load(kKindConventional, index) && view.inUse;
}
