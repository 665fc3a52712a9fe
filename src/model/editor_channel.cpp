#include "model/editor_channel.h"

#include "model/numbering.h"

bool channelCaution(const BandTable& bands, const DestinationOptions& options,
                    const ChannelFields& channel) {
  if (!channel.inUse) return false;
  return bands.transmitCheck(channel.frequency, options.rxExpansion) != 0 ||
         fmNarrowCaution(channel.inUse, channel.mode, options.fmNarrowAllowed());
}

bool channelOutOfRange(const ChannelFields& channel) {
  return channel.inUse && outOfRange(channel.frequency);
}

bool storeTypedFrequency(ChannelView& view, const cmcEeprom& defaultImage, int64_t hz) {
  const int64_t snapped = snapFrequency(hz, false);
  if (snapped < 0 || snapped > UINT32_MAX) return false;
  if (!view.inUse || view.frequency >= kEmptyChannelFrequencyHz) {
    const bool edgeOrCall = view.kind() == kKindConventional &&
                            view.index() >= numbering::kFirstScanEdge &&
                            view.index() <= numbering::kCallChannel;
    view.loadFrom(defaultImage, edgeOrCall ? kKindEdgeTemplate : kKindTemplate, 0);
  }
  view.inUse = true;
  view.frequency = static_cast<uint32_t>(snapped);
  view.commit();
  return true;
}
