#pragma once

#include <cstdint>
#include <vector>

// A growable byte buffer that also serves as a byte queue: taking bytes from the front is
// constant time, and the block is compacted only after 4096 bytes have been taken.
class cmcBuff {
 public:
  cmcBuff();

  int Length() const { return length_; }
  int Capacity() const { return capacity_; }
  uint8_t* Data() { return block_.data() + front_; }
  const uint8_t* Data() const { return block_.data() + front_; }
  // Index at or beyond the length is a programming error and ends the program.
  uint8_t& At(int index);
  const uint8_t& At(int index) const;

  void Resize(int n);
  void Append(uint8_t byte);
  void Append(const uint8_t* bytes, int count);
  void Append(const cmcBuff& other);
  void AppendRepeated(uint8_t byte, int count);
  void Assign(const uint8_t* bytes, int count);
  void CopyFrom(const cmcBuff& other);
  // The first byte as 0..255, or -1 when empty.
  int PopFront();
  void Compact();
  void Clear();

  // Offset of the front from the block start; exposed so tests can see compaction.
  int FrontOffset() const { return front_; }

  static constexpr int kCompactAfter = 4096;

 private:
  std::vector<uint8_t> block_;
  int front_ = 0;
  int length_ = 0;
  int capacity_ = 1;
  uint8_t fill_ = 0;
};
