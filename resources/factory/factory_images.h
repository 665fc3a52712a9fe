#pragma once

#include <cstdint>

// The factory images of the sixteen destinations, built from factory.txt when the program is
// built. Each covers the transceiver's memory (the clone range).
constexpr int kFactoryImageSize = 6304;

// The image of destination code 0..15, or nullptr for any other code.
const uint8_t* factoryImage(int code);
