#pragma once

#include <cstdint>
#include <vector>

// The memory image: the transceiver's memory laid out exactly as the transceiver stores it.
class cmcEeprom {
 public:
  cmcEeprom() = default;
  explicit cmcEeprom(int size) { setSize(size); }

  // Reallocates when the size changes; always leaves every byte 0.
  void setSize(int n);
  int size() const { return static_cast<int>(bytes_.size()); }
  bool isValid(int address) const { return address >= 0 && address < size(); }
  void fill(uint8_t value);

  // An address outside the image is a programming error and ends the program.
  void setByte(int address, uint8_t value);
  uint8_t getByte(int address) const;

  // Bad ranges (invalid start, n <= 0, past the end) copy nothing.
  void writeBlock(int address, const uint8_t* source, int n);
  void readBlock(int address, uint8_t* target, int n) const;

  void assign(const cmcEeprom& other);
  bool equals(const cmcEeprom& other) const { return bytes_ == other.bytes_; }
  bool differs(const cmcEeprom& other) const { return !equals(other); }

  const uint8_t* data() const { return bytes_.data(); }
  uint8_t* data() { return bytes_.data(); }

 private:
  bool rangeOk(int address, int n) const {
    return isValid(address) && n > 0 && static_cast<int64_t>(address) + n <= size();
  }
  std::vector<uint8_t> bytes_;
};
