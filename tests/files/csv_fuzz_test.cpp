#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <random>

#include "csv_support.h"
#include "files/channelcsv.h"

using namespace csvtest;

namespace {

bool outsideGroupEqual(const cmcEeprom& a, const cmcEeprom& b, int first, int last) {
  for (int address = 0; address < a.size(); ++address) {
    const bool record = address >= first * 16 && address < (last + 1) * 16;
    const bool flag = address >= memmap::kFlagBytes + first && address <= memmap::kFlagBytes + last;
    const bool nameBits = address >= memmap::kNameDisplayBits + first / 8 &&
                          address <= memmap::kNameDisplayBits + last / 8;
    if (record || flag) continue;
    uint8_t mask = 0xFF;
    if (nameBits) {
      for (int bit = 0; bit < 8; ++bit) {
        const int index = (address - memmap::kNameDisplayBits) * 8 + bit;
        if (index >= first && index <= last) mask = uint8_t(mask & ~(1u << bit));
      }
    }
    if ((a.getByte(address) & mask) != (b.getByte(address) & mask)) return false;
  }
  return true;
}

QByteArray mutate(QByteArray text, std::mt19937& rng) {
  auto pick = [&](int n) { return int(rng() % uint32_t(n > 0 ? n : 1)); };
  static const char alphabet[] = "0123456789.,;-+ \r\n\tabcxyzFMOFNDUP\x82\x60\xFF";
  const int edits = 1 + pick(6);
  for (int e = 0; e < edits && !text.isEmpty(); ++e) {
    const int at = pick(int(text.size()));
    switch (pick(5)) {
      case 0:
        text[at] = alphabet[pick(sizeof alphabet - 1)];
        break;
      case 1:
        text.insert(at, alphabet[pick(sizeof alphabet - 1)]);
        break;
      case 2:
        text.remove(at, 1 + pick(40));
        break;
      case 3:
        text.insert(at, text.mid(pick(int(text.size())), 1 + pick(120)));
        break;
      default:
        text.truncate(at);
    }
  }
  return text;
}

}  // namespace

// Mutated lists never crash the importer, never touch channels outside the group, and never
// store a value that the list format cannot show again.
TEST(CsvFuzz, MutatedListsStayInsideTheGroupAndInRange) {
  CsvWorld source;
  ChannelFields f = busyChannel();
  for (int i = 0; i < 100; ++i) {
    f.frequency = 140000000 + uint32_t(i) * 112500;
    f.toneMode = i % 7;
    f.step = i % 9;
    source.setChannel(100 + i, f);
  }
  for (int i = 0; i < 100; ++i) source.setChannel(i, busyChannel());
  for (int i = 200; i < 206; ++i) source.setChannel(i, busyChannel());
  const QByteArray seed = source.csv().exportText(ChannelGroup::Memory1);

  std::mt19937 rng(5150);
  QElapsedTimer clock;
  clock.start();
  int runs = 0;
  // A fixed number of runs keeps the result independent of the machine's load; the clock only
  // guards against a pathological slowdown.
  for (; runs < 300 && clock.elapsed() < 60000; ++runs) {
    const QByteArray text = mutate(seed, rng);
    CsvWorld w;
    w.working.assign(source.working);
    const cmcEeprom before = w.working;
    const CsvSeparators seps = runs % 2 ? CsvSeparators{'.', ','} : CsvSeparators{',', ';'};
    const CsvImportResult r = w.csv(seps).importText(text, ChannelGroup::Memory1);
    ASSERT_TRUE(outsideGroupEqual(w.working, before, 100, 199)) << "run " << runs;
    if (!r.headerOk) {
      ASSERT_TRUE(w.working.equals(before));
      continue;
    }
    ASSERT_GE(r.imported, r.discarded);
    ASSERT_GE(r.imported, 0);
    for (int i = 100; i < 200; ++i) {
      const ChannelFields c = w.channel(i);
      if (!c.inUse) continue;
      ASSERT_GE(c.frequency, 136000000u) << i;
      ASSERT_LE(c.frequency, 174000000u) << i;
      ASSERT_LE(c.offset, 59999999u + 5000u) << i;
    }
    ASSERT_FALSE(w.csv(seps).exportText(ChannelGroup::Memory1).contains("NOT_FOUND"))
        << "run " << runs;
  }
  RecordProperty("runs", runs);
  EXPECT_EQ(runs, 300);
}
