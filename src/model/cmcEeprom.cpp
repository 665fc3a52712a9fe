#include "model/cmcEeprom.h"

#include <algorithm>
#include <cstring>

#include "base/fatal.h"

void cmcEeprom::setSize(int n) {
  if (n <= 0) {
    bytes_.clear();
    bytes_.shrink_to_fit();
    return;
  }
  bytes_.assign(static_cast<size_t>(n), 0);
}

void cmcEeprom::fill(uint8_t value) { std::fill(bytes_.begin(), bytes_.end(), value); }

void cmcEeprom::setByte(int address, uint8_t value) {
  if (!isValid(address)) fatalError("Out of EEPROM image address (SetByte).");
  bytes_[static_cast<size_t>(address)] = value;
}

uint8_t cmcEeprom::getByte(int address) const {
  if (!isValid(address)) fatalError("Out of EEPROM image address (GetByte).");
  return bytes_[static_cast<size_t>(address)];
}

void cmcEeprom::writeBlock(int address, const uint8_t* source, int n) {
  if (!source || !rangeOk(address, n)) return;
  std::memmove(bytes_.data() + address, source, static_cast<size_t>(n));
}

void cmcEeprom::readBlock(int address, uint8_t* target, int n) const {
  if (!target || !rangeOk(address, n)) return;
  std::memmove(target, bytes_.data() + address, static_cast<size_t>(n));
}

void cmcEeprom::assign(const cmcEeprom& other) {
  if (&other == this) return;
  bytes_ = other.bytes_;
}
