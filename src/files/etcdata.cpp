#include "files/etcdata.h"

#include <bit>

namespace {
constexpr int kCodeShift = 18;
constexpr uint32_t kCodeMask = 0x1Fu << kCodeShift;
constexpr uint32_t kFlagA = 1u << 14;
constexpr uint32_t kFlagB = 1u << 15;
constexpr uint32_t kFlagC = 1u << 2;
constexpr uint32_t kFlagD = 1u << 8;
// Where bits 0..4 of the check value live.
constexpr int kCheckBits[5] = {0, 4, 6, 11, 17};
constexpr uint32_t kCheckMask = (1u << 0) | (1u << 4) | (1u << 6) | (1u << 11) | (1u << 17);

uint32_t spreadCheck(uint32_t check) {
  uint32_t out = 0;
  for (int i = 0; i < 5; ++i) {
    if (check & (1u << i)) out |= 1u << kCheckBits[i];
  }
  return out;
}

uint32_t gatherCheck(uint32_t value) {
  uint32_t check = 0;
  for (int i = 0; i < 5; ++i) {
    if (value & (1u << kCheckBits[i])) check |= 1u << i;
  }
  return check;
}
}  // namespace

uint32_t packEtcData(int code, bool a, bool b, bool c, bool d) {
  uint32_t value = (static_cast<uint32_t>(code) & 0x1Fu) << kCodeShift;
  if (a) value |= kFlagA;
  if (b) value |= kFlagB;
  if (c) value |= kFlagC;
  if (d) value |= kFlagD;
  return value | spreadCheck(static_cast<uint32_t>(std::popcount(value)) % 32u);
}

EtcData unpackEtcData(uint32_t value) {
  EtcData out;
  out.code = static_cast<int>((value & kCodeMask) >> kCodeShift);
  out.a = value & kFlagA;
  out.b = value & kFlagB;
  out.c = value & kFlagC;
  out.d = value & kFlagD;
  // Every bit outside the check value counts, so a stray bit anywhere is caught too.
  out.valid = gatherCheck(value) == static_cast<uint32_t>(std::popcount(value & ~kCheckMask)) % 32u;
  return out;
}
