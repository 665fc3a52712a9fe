#pragma once

#include <cstdint>

// The packed destination code and radio option flags ("Etc Data"), as kept in the settings and
// in clone data files. Five check bits make any single flipped bit detectable.
struct EtcData {
  bool valid = false;
  int code = 16;  // destination 0..15; 16 = not set
  bool a = false;
  bool b = false;
  bool c = false;
  bool d = false;
};

// `code` is taken modulo 32 (five bits).
uint32_t packEtcData(int code, bool a, bool b, bool c, bool d);
// `valid` is false when the check bits do not match; the other fields are decoded regardless.
EtcData unpackEtcData(uint32_t value);
