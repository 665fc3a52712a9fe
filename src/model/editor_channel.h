#pragma once

#include <cstdint>

#include "model/ChannelView.h"
#include "model/DestinationOptions.h"
#include "model/frequency.h"

class cmcEeprom;

// Channel-level rules built on the frequency rules: the marks a channel carries and how a typed
// frequency enters a channel.

// The caution mark of a channel: in use, and either the transmit check fails or it is FM-N on a
// destination without the FM-narrow option.
bool channelCaution(const BandTable& bands, const DestinationOptions& options,
                    const ChannelFields& channel);
// The range mark: in use and outside 136.000000..174.000000 MHz.
bool channelOutOfRange(const ChannelFields& channel);

// Conventional channels at or above this count as empty on the sheets.
constexpr uint32_t kEmptyChannelFrequencyHz = 174000001;

// A frequency typed into a channel: an empty channel, or one at 174.000001 MHz or more, first
// takes the new-channel template of the default image (the scan-edge and call template for
// indexes 200..206); the value is snapped to the grid, the channel marked in use and committed.
// False, with nothing written, for a negative value.
bool storeTypedFrequency(ChannelView& view, const cmcEeprom& defaultImage, int64_t hz);
