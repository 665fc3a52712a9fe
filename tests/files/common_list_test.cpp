// The common channel-list layout of repeater directories: import through the field catalogue,
// the row report, export and the round trip.
#include <gtest/gtest.h>

#include <memory>

#include "base/prompter.h"
#include "files/CommonChannelList.h"
#include "files/channelcsv.h"
#include "gtex/cmcGTex.h"
#include "model/ChannelView.h"
#include "model/catalogue.h"
#include "model/document.h"
#include "model/numbering.h"
#include "resources/embedded_text.h"
#include "resources/factory/factory_images.h"

namespace {

// A document of destination 0 with the program's resource text and a catalogue over it.
struct ListDoc {
  cmcGTex text;
  ScriptedPrompter prompter;
  Document doc{&factoryImage, &text};
  std::unique_ptr<FieldCatalogue> catalogue;

  explicit ListDoc(uint8_t options = 0x0F) {
    const EmbeddedText main = mainResourceText();
    text.setSource(main.lines, main.count);
    doc.setDestination(0);
    doc.setOptionBits(options);
    doc.newDocument();
    catalogue = std::make_unique<FieldCatalogue>(
        CatalogueServices{&doc, &text, nullptr, &prompter, nullptr, nullptr});
  }
  ChannelView channel(int index) {
    ChannelView v(doc.options());
    v.loadFrom(doc.working(), kKindConventional, index);
    return v;
  }
  commonlist::ImportReport import(const QByteArray& list, ChannelGroup group = ChannelGroup::Memory0) {
    return commonlist::importText(list, group, doc, *catalogue);
  }
};

struct CommonList : ::testing::Test, ListDoc {};

QString tone(int value) { return QString(csvtext::tableText(csvtext::kRepeaterTone, value, '.')); }
QString dtcs(int value) { return QString(csvtext::tableText(csvtext::kDtcsCode, value, '.')); }
QString name(const ChannelView& v) { return QString::fromLatin1(v.name.data(), 6); }

const commonlist::Row* rowAt(const commonlist::ImportReport& r, const QString& location) {
  for (const commonlist::Row& row : r.entries)
    if (row.location == location) return &row;
  return nullptr;
}

}  // namespace

// Every Duplex, Tone and Skip value, in a file with a byte-order mark, CR LF line ends, its
// columns in another order and letter case, a column of another program and one quoted field.
TEST_F(CommonList, RowsGoInAsTypedWithTheirDuplexToneAndSkip) {
  const QByteArray list =
      "\xEF\xBB\xBF"
      "Name,location,FREQUENCY,Offset,Duplex,Tone,rToneFreq,cToneFreq,DtcsCode,DtcsPolarity,"
      "CrossMode,Mode,TStep,Skip,Comment,Power\r\n"
      "Rptr+,1,146.940000,0.600000,+,Tone,100.0,88.5,023,NN,,FM,5.00,S,\"Repeater, club\",50W\r\n"
      "Rptr-,2,147.300000,0.600000,-,TSQL,88.5,123.0,023,NN,,FM,5.00,P,,50W\r\n"
      "Split,3,146.000000,146.600000,split,,88.5,88.5,023,NN,,FM,5.00,,,50W\r\n"
      "Listen,4,145.500000,0.000000,off,,88.5,88.5,023,NN,,FM,5.00,,,50W\r\n"
      "Dcs,5,146.550000,0.000000,,DTCS,88.5,88.5,023,NR,,FM,5.00,,,50W\r\n"
      "Cross,6,146.580000,0.000000,,Cross,88.5,88.5,754,RR,DTCS->,FM,5.00,,,50W\r\n"
      "Far,7,440.000000,5.000000,+,,88.5,88.5,023,NN,,FM,5.00,,,50W\r\n"
      "narrow,8,146.415000,0.000000,,,88.5,88.5,023,NN,,NFM,12.50,,,5W\r\n"
      "Wide Repeater,9,146.434000,0.000000,,,69.4,88.5,023,NN,,WFM,100.00,,,5W\r\n"
      "First,0,146.400000,0.000000,,,88.5,88.5,023,NN,,FM,5.00,,,5W\r\n";
  const commonlist::ImportReport r = import(list);
  ASSERT_TRUE(r.recognised);
  EXPECT_EQ(r.rows, 10);
  EXPECT_EQ(r.taken, 9);

  struct Expect {
    int channel;
    const char* name;
    uint32_t frequency;
    int duplex, offset, txInhibit, toneMode, skip, mode, step, polarity;
  };
  const Expect expected[] = {
      {0, "FIRST ", 146400000, 0, 0, 0, 0, 0, 0, 0, 0},
      {1, "RPTR+ ", 146940000, 2, 600000, 0, 1, 1, 0, 0, 0},
      {2, "RPTR- ", 147300000, 1, 600000, 0, 2, 1, 0, 0, 0},
      {3, "SPLIT ", 146000000, 2, 600000, 0, 0, 0, 0, 0, 0},
      {4, "LISTEN", 145500000, 0, 0, 1, 0, 0, 0, 0, 0},
      {5, "DCS   ", 146550000, 0, 0, 0, 4, 0, 0, 0, 1},
      {6, "CROSS ", 146580000, 0, 0, 0, 3, 0, 0, 0, 3},
      {7, "NARROW", 146415000, 0, 0, 0, 0, 0, 1, 3, 0},
      {8, "WIDE R", 146435000, 0, 0, 0, 0, 0, 0, 8, 0},
  };
  for (const Expect& e : expected) {
    SCOPED_TRACE(e.channel);
    const ChannelView v = channel(e.channel);
    ASSERT_TRUE(v.inUse);
    EXPECT_EQ(name(v), e.name);
    EXPECT_EQ(v.frequency, e.frequency);
    EXPECT_EQ(v.duplex, e.duplex);
    EXPECT_EQ(int(v.offset), e.offset);
    EXPECT_EQ(v.txInhibit, e.txInhibit);
    EXPECT_EQ(v.toneMode, e.toneMode);
    EXPECT_EQ(v.scanSkip, e.skip);
    EXPECT_EQ(v.mode, e.mode);
    EXPECT_EQ(v.step, e.step);
    EXPECT_EQ(v.dtcsPolarity, e.polarity);
  }
  EXPECT_EQ(tone(channel(1).tone), "100.0Hz");
  EXPECT_EQ(tone(channel(2).toneSquelch), "123.0Hz");
  EXPECT_EQ(dtcs(channel(5).dtcs), "023");
  EXPECT_EQ(dtcs(channel(6).dtcs), "754");
  EXPECT_FALSE(channel(9).inUse);

  // The report: which Location went where, with line numbers, what changed and what was not
  // taken, and why.
  ASSERT_EQ(r.entries.size(), 10u);
  EXPECT_EQ(r.entries[0].location, "0");
  EXPECT_EQ(r.entries[0].line, 11);
  EXPECT_EQ(r.entries[0].channel, 0);
  EXPECT_TRUE(r.entries[0].notes.isEmpty());
  const commonlist::Row* far = rowAt(r, "7");
  ASSERT_NE(far, nullptr);
  EXPECT_EQ(far->line, 8);
  EXPECT_EQ(far->channel, -1);
  EXPECT_EQ(far->notes,
            QStringList{"not taken: 440.000000 MHz is outside the transceiver's range "
                        "(136.000000 to 174.000000 MHz)"});
  const commonlist::Row* wide = rowAt(r, "9");
  ASSERT_NE(wide, nullptr);
  EXPECT_EQ(wide->notes,
            (QStringList{"Frequency 146.434000 MHz stored as 146.435000",
                         "Name \"Wide Repeater\" stored as \"WIDE R\"",
                         "Mode WFM stored as FM: the transceiver has no WFM",
                         "TStep \"100.00\" stored as 50.00 kHz"}));
  // A tone the mode does not use is not worth a note (69.4 took the nearest, 69.3).
  EXPECT_EQ(tone(channel(8).tone), "69.3Hz");
  EXPECT_EQ(rowAt(r, "2")->notes,
            QStringList{"Skip P stored as SKIP: the transceiver has no priority skip"});
  for (const char* quiet : {"1", "3", "4", "5", "6", "8"})
    EXPECT_TRUE(rowAt(r, quiet)->notes.isEmpty()) << quiet << ": " << rowAt(r, quiet)->notes.join("; ").toStdString();
  EXPECT_EQ(r.general, QStringList{"1 row had a Comment; the transceiver has no place for comments."});

  const QString report = r.text(ChannelGroup::Memory0);
  EXPECT_TRUE(report.startsWith("9 of 10 rows taken.\nLine 11, Location 0: channel 0\n"))
      << report.toStdString();
  EXPECT_TRUE(report.contains("\nLine 8, Location 7: not taken: 440.000000 MHz")) << report.toStdString();
  EXPECT_TRUE(report.contains("\nLine 10, Location 9: channel 8; Frequency 146.434000 MHz"))
      << report.toStdString();
}

// Without the FM narrow option an NFM row is FM, and said so; an unknown Duplex or Tone is
// simplex and no tone, said so; an invalid Location or Frequency is not taken.
TEST(CommonListRules, WhatTheTransceiverCannotHoldIsReported) {
  ListDoc t(0x0B);  // no FM narrow
  const commonlist::ImportReport r = t.import(
      "Location,Name,Frequency,Duplex,Offset,Tone,Mode\n"
      "1,A,146.415,,0,,NFM\n"
      "2,B,146.520,x,0,Beep,FM\n"
      "x,C,146.520,,0,,FM\n"
      "4,D,,,0,,FM\n"
      "5,E,abc,,0,,FM\n"
      "6,F,135.995,,0,,FM\n");
  ASSERT_TRUE(r.recognised);
  EXPECT_EQ(r.taken, 2);
  EXPECT_EQ(rowAt(r, "1")->notes,
            QStringList{"Mode NFM stored as FM: the transceiver has no FM narrow"});
  EXPECT_EQ(rowAt(r, "2")->notes, (QStringList{"Duplex \"x\" unknown: stored as simplex",
                                               "Tone \"Beep\" unknown: stored as no tone"}));
  EXPECT_EQ(rowAt(r, "x")->notes, QStringList{"not taken: Location \"x\" is not a channel number"});
  EXPECT_EQ(rowAt(r, "4")->notes, QStringList{"not taken: no Frequency"});
  EXPECT_EQ(rowAt(r, "5")->notes, QStringList{"not taken: Frequency \"abc\" is not a number of MHz"});
  EXPECT_EQ(rowAt(r, "6")->notes.first().left(34), "not taken: 135.995000 MHz is outsi");
  EXPECT_EQ(r.entries.back().location, "x");  // rows without a number come last
}

// More rows than the group has: the rest is not taken, each said so; LF line ends and a header
// that is not this layout's.
TEST_F(CommonList, RowsBeyondTheGroupAreNotTakenAndOtherHeadersAreRefused) {
  QByteArray list = "Location,Frequency\n";
  for (int i = 0; i < 8; ++i) list += QByteArray::number(i) + ",146." + QByteArray::number(100 + i * 20) + "\n";
  const commonlist::ImportReport r = import(list, ChannelGroup::ScanEdges);
  EXPECT_EQ(r.taken, 6);
  EXPECT_EQ(rowAt(r, "6")->notes, QStringList{"not taken: no room, the group has 6 channels"});
  EXPECT_EQ(rowAt(r, "7")->line, 9);
  EXPECT_EQ(channel(numbering::kLastScanEdge).frequency, 146200000u);
  EXPECT_TRUE(r.text(ChannelGroup::ScanEdges).contains("Line 7, Location 5: channel 3B"));

  const cmcEeprom before = doc.working();
  EXPECT_FALSE(commonlist::recognises("CH No,Frequency,Dup\r\n00,146.52,OFF\r\n"));
  EXPECT_TRUE(commonlist::recognises("\xEF\xBB\xBF" "LOCATION,frequency\r\n"));
  EXPECT_FALSE(import("CH No,Frequency\r\n00,146.520000\r\n").recognised);
  EXPECT_TRUE(doc.working().equals(before));
}

// Kestrin -> common layout -> Kestrin gives the same channels for every field the layout
// carries: exporting the result again gives the very same text.
TEST_F(CommonList, RoundTripGivesTheSameChannels) {
  struct Set {
    int index;
    uint32_t frequency;
    int duplex, offset, inhibit, toneMode, tone, squelch, code, polarity, mode, step, skip;
    const char* name;
  };
  const Set sets[] = {
      {0, 146520000, 0, 0, 0, 0, 8, 8, 0, 0, 0, 0, 0, "CALL  "},
      {3, 146940000, 2, 600000, 0, 1, 12, 8, 5, 0, 0, 1, 1, "RPT+1 "},
      {4, 147300000, 1, 600000, 0, 2, 8, 18, 5, 0, 1, 3, 1, "RPT-2 "},
      {5, 145512500, 0, 0, 1, 4, 8, 8, 100, 2, 2, 8, 0, "DCS #5"},
      {6, 146580000, 2, 1250000, 0, 3, 8, 8, 17, 3, 0, 6, 1, "X-DCS "},
      {99, 173995000, 0, 0, 0, 0, 49, 0, 103, 1, 0, 7, 0, "TOP   "},
  };
  for (int i = 0; i < 100; ++i) {
    ChannelView v(doc.working(), doc.options());
    v.load(kKindConventional, i);
    v.inUse = false;
    v.store();
  }
  for (const Set& s : sets) {
    ChannelView v(doc.working(), doc.options());
    v.load(kKindConventional, s.index);
    v.inUse = true;
    v.frequency = s.frequency;
    v.duplex = s.duplex;
    v.offset = uint32_t(s.offset);
    v.txInhibit = s.inhibit;
    v.toneMode = s.toneMode;
    v.tone = s.tone;
    v.toneSquelch = s.squelch;
    v.dtcs = s.code;
    v.dtcsPolarity = s.polarity;
    v.mode = s.mode;
    v.step = s.step;
    v.scanSkip = s.skip;
    v.setName(s.name, 6);
    v.commit();
  }
  const QByteArray exported = commonlist::exportText(doc, ChannelGroup::Memory0);
  EXPECT_TRUE(exported.startsWith(
      "Location,Name,Frequency,Duplex,Offset,Tone,rToneFreq,cToneFreq,DtcsCode,DtcsPolarity,Mode,"
      "TStep,Skip,Comment,URCALL,RPT1CALL,RPT2CALL,CrossMode\r\n"
      "0,CALL,146.520000,,0.000000,,88.5,88.5,023,NN,FM,5.00,,,,,,\r\n"))
      << exported.toStdString();
  EXPECT_TRUE(exported.contains("\r\n5,DCS #5,145.512500,off,0.000000,DTCS,88.5,88.5,"))
      << exported.toStdString();
  EXPECT_TRUE(exported.contains(",Cross,") && exported.contains(",DTCS->\r\n"));

  // Into another document, through the catalogue.
  ListDoc other;
  const commonlist::ImportReport r = other.import(exported);
  EXPECT_EQ(r.taken, 6);
  for (const commonlist::Row& row : r.entries)
    EXPECT_TRUE(row.notes.isEmpty()) << row.location.toStdString() << ": "
                                     << row.notes.join("; ").toStdString();
  // Consecutive channels: the rows of Location 3, 4, 5, 6 and 99 move up behind 0.
  EXPECT_EQ(other.channel(1).frequency, 146940000u);
  EXPECT_EQ(other.channel(5).frequency, 173995000u);
  // Placed where they were, the channels are the same.
  for (const Set& s : sets) {
    SCOPED_TRACE(s.index);
    const int at = int(&s - sets);
    const ChannelView a = channel(s.index);
    const ChannelView b = other.channel(at);
    EXPECT_EQ(b.frequency, a.frequency);
    EXPECT_EQ(b.duplex, a.duplex);
    EXPECT_EQ(b.offset, a.offset);
    EXPECT_EQ(b.txInhibit, a.txInhibit);
    EXPECT_EQ(b.toneMode, a.toneMode);
    EXPECT_EQ(b.tone, a.tone);
    EXPECT_EQ(b.toneSquelch, a.toneSquelch);
    EXPECT_EQ(b.dtcs, a.dtcs);
    EXPECT_EQ(b.dtcsPolarity, a.dtcsPolarity);
    EXPECT_EQ(b.mode, a.mode);
    EXPECT_EQ(b.step, a.step);
    EXPECT_EQ(b.scanSkip, a.scanSkip);
    EXPECT_EQ(name(b), name(a));
  }
}
