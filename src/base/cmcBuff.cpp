#include "base/cmcBuff.h"

#include <algorithm>
#include <cstring>

#include "base/fatal.h"

cmcBuff::cmcBuff() : block_(1, 0) {}

uint8_t& cmcBuff::At(int index) {
  if (index < 0 || index >= length_) fatalError("Out of cmcBuff element !");
  return block_[front_ + index];
}

const uint8_t& cmcBuff::At(int index) const {
  if (index < 0 || index >= length_) fatalError("Out of cmcBuff element !");
  return block_[front_ + index];
}

void cmcBuff::Resize(int n) {
  if (n < 0) n = 0;
  if (capacity_ < n) {
    const int size = std::max(n + length_ / 4, 1);
    std::vector<uint8_t> grown(static_cast<size_t>(size), fill_);
    if (length_ > 0) std::memcpy(grown.data(), block_.data() + front_, static_cast<size_t>(length_));
    block_.swap(grown);
    front_ = 0;
    capacity_ = size;
  } else if (n > length_) {
    // Bytes kept from an earlier, longer length stay as they were.
  }
  length_ = n;
}

void cmcBuff::Append(uint8_t byte) {
  Resize(length_ + 1);
  block_[front_ + length_ - 1] = byte;
}

void cmcBuff::Append(const uint8_t* bytes, int count) {
  if (!bytes || count <= 0) return;
  if (bytes >= block_.data() && bytes < block_.data() + block_.size()) {
    // Growth would free the source under our feet.
    const std::vector<uint8_t> copy(bytes, bytes + count);
    Append(copy.data(), count);
    return;
  }
  const int old = length_;
  Resize(length_ + count);
  std::memmove(block_.data() + front_ + old, bytes, static_cast<size_t>(count));
}

void cmcBuff::Append(const cmcBuff& other) {
  if (&other == this) {
    const std::vector<uint8_t> copy(Data(), Data() + length_);
    Append(copy.data(), static_cast<int>(copy.size()));
    return;
  }
  Append(other.Data(), other.Length());
}

void cmcBuff::AppendRepeated(uint8_t byte, int count) {
  if (count <= 0) return;
  const int old = length_;
  Resize(length_ + count);
  std::memset(block_.data() + front_ + old, byte, static_cast<size_t>(count));
}

void cmcBuff::Assign(const uint8_t* bytes, int count) {
  if (count <= 0 || !bytes) {
    Resize(0);
    return;
  }
  const std::vector<uint8_t> copy(bytes, bytes + count);  // source may be our own block
  Resize(0);
  Append(copy.data(), count);
}

void cmcBuff::CopyFrom(const cmcBuff& other) {
  if (&other == this) return;
  Assign(other.Data(), other.Length());
}

int cmcBuff::PopFront() {
  if (length_ <= 0) return -1;
  const int value = block_[front_];
  ++front_;
  --length_;
  --capacity_;
  if (front_ > kCompactAfter) Compact();
  return value;
}

void cmcBuff::Compact() {
  const int size = std::max(length_, 1);
  std::vector<uint8_t> fresh(static_cast<size_t>(size), fill_);
  if (length_ > 0) std::memcpy(fresh.data(), block_.data() + front_, static_cast<size_t>(length_));
  block_.swap(fresh);
  front_ = 0;
  capacity_ = size;
}

void cmcBuff::Clear() {
  block_.assign(1, 0);
  front_ = 0;
  length_ = 0;
  capacity_ = 1;
}
