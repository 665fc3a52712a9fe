#include "model/frequency.h"

#include <algorithm>
#include <limits>

namespace {

constexpr int64_t kTopHz = std::numeric_limits<int64_t>::max();

struct AmateurEntry {
  int64_t first;
  int64_t last;
};

constexpr AmateurEntry kAmateur[kDestinationCount] = {
    {144000000, 148000000},  // 0 USA_A
    {140000000, 150000000},  // 1 USA_B
    {144000000, 148000000},  // 2 AUS
    {140000000, 150000000},  // 3 SEA_A
    {144000000, 146000000},  // 4 EUR_A
    {140000000, 150000000},  // 5 EUR_B
    {144000000, 147000000},  // 6 THA_A
    {144000000, 146000000},  // 7 THA_B
    {136000000, 156000000},  // 8 CHI_A
    {150000000, 174000000},  // 9 CHI_B
    {144000000, 146000000},  // 10 KOR
    {144000000, 146000000},  // 11 TPE
    {144000000, 148000000},  // 12 EXP_A
    {144000000, 148000000},  // 13 EXP_B
    {144000000, 148000000},  // 14 SEA_B
    {144000000, 146000000},  // 15 JPN
};

int tableCode(int destination) {
  if (destination < 0) return 0;
  return std::min(destination, kDestinationCount - 1);
}

}  // namespace

FrequencyRange amateurBand(int destination) {
  const AmateurEntry& e = kAmateur[tableCode(destination)];
  return {e.first, e.last};
}

void BandTable::rebuild(int destination) {
  destination_ = destination;
  const int code = tableCode(destination);
  starts_ = {495000,    1625000,   30000000,  76000000, 108000000,
             136000000, 255000000, 400000000, 479000001};
  // Japan's receive range ends at 174 MHz.
  if (code == 15) starts_[6] = 174000001;
  receive_ = {starts_[5], starts_[6] - 1};
  amateur_ = amateurBand(code);
  excluded_.clear();
  if (amateur_.first > 0) excluded_.push_back({0, amateur_.first - 1});
  excluded_.push_back({amateur_.last + 1, kTopHz});
}

int BandTable::bandOf(int64_t f) const {
  for (int n = kBandCount - 1; n >= 0; --n) {
    if (starts_[n] <= f) return n;
  }
  return kBelowBands;
}

bool BandTable::outsideAmateurBand(int64_t f) const {
  return std::any_of(excluded_.begin(), excluded_.end(),
                     [f](const FrequencyRange& r) { return r.contains(f); });
}

int BandTable::transmitCheck(int64_t f, bool receiveExpansion) const {
  if (destination_ < 0 || destination_ >= kDestinationCount) return 0;
  if (!receive_.contains(f)) return 2;
  if (outsideAmateurBand(f) && !receiveExpansion) return 1;
  return 0;
}

int64_t snapFrequency(int64_t f, bool isOffset) {
  if (f < 0) return f;
  const int64_t r = f % 50000;
  const int64_t base = f - r;
  const int64_t by5000 = (r / 500 + 5) / 10 * 5000;
  const int64_t by6250 = (r / 625 + 5) / 10 * 6250;
  const int64_t d5000 = by5000 > r ? by5000 - r : r - by5000;
  const int64_t d6250 = by6250 > r ? by6250 - r : r - by6250;
  int64_t result = base + (d6250 < d5000 ? by6250 : by5000);
  if (isOffset && result > kOffsetCeilingHz) result = kOffsetCeilingHz;
  return result;
}

const std::array<int, kToneCount> kCtcssTonesTenthHz = {
    670,  693,  719,  744,  770,  797,  825,  854,  885,  915,  948,  974,  1000,
    1035, 1072, 1109, 1148, 1188, 1230, 1273, 1318, 1365, 1413, 1462, 1514, 1567,
    1598, 1622, 1655, 1679, 1713, 1738, 1773, 1799, 1835, 1862, 1899, 1928, 1966,
    1995, 2035, 2065, 2107, 2181, 2257, 2291, 2336, 2418, 2503, 2541};

const std::array<int, kDtcsCount> kDtcsCodes = {
    23,  25,  26,  31,  32,  36,  43,  47,  51,  53,  54,  65,  71,  72,  73,  74,  114, 115,
    116, 122, 125, 131, 132, 134, 143, 145, 152, 155, 156, 162, 165, 172, 174, 205, 212, 223,
    225, 226, 243, 244, 245, 246, 251, 252, 255, 261, 263, 265, 266, 271, 274, 306, 311, 315,
    325, 331, 332, 343, 346, 351, 356, 364, 365, 371, 411, 412, 413, 423, 431, 432, 445, 446,
    452, 454, 455, 462, 464, 465, 466, 503, 506, 516, 523, 526, 532, 546, 565, 606, 612, 624,
    627, 631, 632, 654, 662, 664, 703, 712, 723, 731, 732, 734, 743, 754};
