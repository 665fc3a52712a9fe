#pragma once

#include <cstdint>
#include <vector>

#include "model/destinations.h"
#include "sheet/core/DocumentCompare.h"

class cmcEeprom;

// The fields in which two images of one destination and option setting differ, as the pages
// show them: the check after a clone write compares what was sent with what the transceiver
// holds. Neither image is conformed first, so a changed bit the conforming would mend still shows.
std::vector<FieldDifference> compareImages(const cmcEeprom& a, const cmcEeprom& b,
                                           int destination, uint8_t optionBits,
                                           FactoryImageLookup factory, cmcGTex& text,
                                           cmcCellParser& parser);
