#pragma once

#include <QByteArray>
#include <cstdint>
#include <vector>

#include "model/cmcEeprom.h"

// AddressRange and AddressRanges: inclusive address pairs, shared with the clone data file.
#include "files/cmcQevFile.h"

// Status numbers of a clone operation. The clone manager shows line <status> of the clone error
// texts, so the values are fixed.
enum CloneStatus : int {
  kCloneOk = 0,
  kCloneStored = 1,           // a data frame was stored; never final
  kClonePortError = 2,        // the port cannot be opened
  kCloneBufferOverflow = 3,   // not produced
  kCloneEchoError = 4,        // echo differs or does not come back in time
  kCloneNoAnswer = 5,         // no reply in time, own request came back, or wrong model
  kCloneIllegalData = 6,      // malformed frame or reply
  kCloneCountError = 7,       // end frame count differs
  kCloneNotEnoughData = 8,    // a required address was not received
  kCloneDataOverflow = 9,     // data outside the image or outside the read ranges
  kCloneWriteFailed = 10,     // the write result is not success
  kCloneIllegalInfo = 11,     // clone information of the wrong length
  kCloneIllegalInfo2 = 12,    // not produced
  kCloneVersionMismatch = 13, // destination differs at the second identification
  kCloneIncompatible = 14,    // sub code or revision not accepted
  kCloneBadImage = 15,        // the read image fails the application's check
  kCloneUpdateNeeded = 16,    // not produced
  kCloneShortWrite = 17,      // the serial port wrote fewer bytes than asked
};

enum CloneMode : int { kCloneModeIdentify = 1, kCloneModeRead = 2, kCloneModeWrite = 3 };

// What a clone operation hands to its completion callback.
struct CloneResult {
  int mode = 0;
  int status = kClonePortError;
  // The configured codes at the start; the transceiver's after a good identification reply.
  int modelCode = 0;
  int subCode = 0;
  // The identification reply's bytes behind the codes.
  QByteArray cloneInfo;
  // Read: filled by data frames. Write: the copy that is sent.
  cmcEeprom image;
  // One bit per address stored by data frames: address x is bit (x mod 8) of byte (x div 8).
  std::vector<uint8_t> loadedBits;
};

// Number of addresses a range list covers (pairs walked until one whose last is below its first).
int rangeListBytes(const AddressRanges& ranges);
// Number of usable pairs at the front of a range list.
int rangeListCount(const AddressRanges& ranges);
