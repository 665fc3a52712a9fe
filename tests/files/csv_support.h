#pragma once

#include "files/channelcsv.h"
#include "model/ChannelView.h"
#include "model/cmcEeprom.h"
#include "model/memorymap.h"

// A small world for the channel list tests: a default image with a known template and call
// channel, and a working image that starts as a copy of it (every memory and scan-edge
// channel empty).
namespace csvtest {

inline ChannelFields templateFields() {
  ChannelFields t;
  t.frequency = 146010000;
  t.offset = 600000;
  t.duplex = 0;
  t.step = 2;
  t.tone = 8;
  t.toneSquelch = 8;
  t.power = 0;
  t.nameDisplay = 0;
  return t;
}

struct CsvWorld {
  DestinationOptions options;
  cmcEeprom defaults{memmap::kImageSize};
  cmcEeprom working{memmap::kImageSize};

  CsvWorld() {
    options.destination = 0;
    options.highPower = true;
    ChannelView::encodeStateRecord(defaults, memmap::kTemplate, templateFields(), options);
    for (int i = 0; i <= 205; ++i) defaults.setByte(memmap::kFlagBytes + i, 0x3A);
    ChannelView call(defaults, options);
    call.load(kKindConventional, 206);
    call.frequency = 146010000;
    call.setName("CALL", 4);
    call.store();
    working.assign(defaults);
  }

  void setChannel(int index, const ChannelFields& f) {
    ChannelView v(working, options);
    v.load(kKindConventional, index);
    v.setFields(f);
    v.store();
  }
  ChannelFields channel(int index) {
    ChannelView v(working, options);
    v.load(kKindConventional, index);
    return v.fields();
  }
  ChannelCsv csv(const CsvSeparators& s = CsvSeparators{}) {
    return ChannelCsv(working, defaults, options, s);
  }
};

// A channel that uses a value of every column.
inline ChannelFields busyChannel() {
  ChannelFields f;
  f.frequency = 145000000;
  f.duplex = 2;
  f.offset = 600000;
  f.step = 3;
  f.nameDisplay = 1;
  f.setName("AB,C;D", 6);
  f.scanSkip = 1;
  f.power = 1;
  f.toneMode = 5;
  f.tone = 8;
  f.toneSquelch = 12;
  f.dtcs = 0;
  f.dtcsPolarity = 1;
  f.dtmf = 1;
  f.bank = ChannelFields::kNoBank;
  return f;
}

}  // namespace csvtest
