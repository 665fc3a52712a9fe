#include <gtest/gtest.h>
#include <QtGlobal>
#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "csv_support.h"
#include "files/channelcsv.h"
#include "model/frequency.h"
#include "qev_support.h"
#include "support/FailingDevice.h"

using namespace csvtest;
using qevtest::MessageHarness;

namespace {

constexpr char kHeader[] =
    "CH No,Frequency,Dup,Dup Reverse,Offset,TX Inhibit,TS,Mode,Name Disp,Name,SKIP,RF Power,"
    "TONE,Repeater Tone,TSQL Frequency,DTCS Code,DTCS Polarity,DTMF";
constexpr char kBusyLine[] =
    "00,145.000000,DUP+,OFF,0.600000,OFF,12.5kHz,FM,ON,AB C D,SKIP,Low,TSQL-R,88.5Hz,100.0Hz,"
    "023,TN-RR,DTMF";

// What export writes: the columns above and the bank; the name keeps its separators, quoted.
constexpr char kExportHeader[] =
    "CH No,Frequency,Dup,Dup Reverse,Offset,TX Inhibit,TS,Mode,Name Disp,Name,SKIP,RF Power,"
    "TONE,Repeater Tone,TSQL Frequency,DTCS Code,DTCS Polarity,DTMF,Bank";
constexpr char kBusyExported[] =
    "00,145.000000,DUP+,OFF,0.600000,OFF,12.5kHz,FM,ON,\"AB,C;D\",SKIP,Low,TSQL-R,88.5Hz,"
    "100.0Hz,023,TN-RR,DTMF,";

QByteArray crlf(std::initializer_list<const char*> lines) {
  QByteArray out;
  for (const char* l : lines) out += QByteArray(l) + "\r\n";
  return out;
}

const CsvSeparators kComma{'.', ','};
const CsvSeparators kSemicolon{'.', ';'};
const CsvSeparators kDecimalComma{',', ';'};

// What busyChannel() becomes in a list: "," and ";" of its name are spaces.
ChannelFields busyImported() {
  ChannelFields f = busyChannel();
  f.setName("AB C D", 6);
  return f;
}

}  // namespace

TEST(CsvSeparators, RegionalSettingsResolve) {
  const struct {
    const char* decimal;
    const char* list;
    char wantDecimal;
    char wantList;
  } cases[] = {
      {".", ",", '.', ','}, {".", ";", '.', ';'}, {",", ",", ',', ';'},
      {",", ";", ',', ';'}, {"'", "|", '.', ','}, {",", "\t", ',', ';'},
  };
  for (const auto& c : cases) {
    const CsvSeparators s = CsvSeparators::resolve(c.decimal, c.list);
    EXPECT_EQ(s.decimal, c.wantDecimal) << c.decimal << c.list;
    EXPECT_EQ(s.list, c.wantList) << c.decimal << c.list;
  }
}

TEST(CsvText, NumbersAndTables) {
  EXPECT_EQ(csvtext::frequencyText(145000000, '.'), "145.000000");
  EXPECT_EQ(csvtext::frequencyText(600000, ','), "0,600000");
  const struct {
    const char* text;
    char decimal;
    int64_t hz;
  } numbers[] = {
      {" 145.5 ", '.', 145500000},
      {"145,0125", ',', 145012500},
      {"145", '.', 145000000},
      {"0.0000005", '.', 1},
      {"0.0000004", '.', 0},
      {"145,5", '.', 145500000},
      {"146.52", ',', 146520000},
      {"146,520.5", '.', 146520000},  // the second decimal point ends the number
      {"abc", '.', -1},
      {"", '.', -1},
      {"1-2", '.', -1},
      {"-5", '.', 0},
      {"4294.967296", '.', 0},
      {"4294.967295", '.', 4294967295},
      {"99999999999", '.', 0},
      {".", '.', -1},
  };
  for (const auto& n : numbers)
    EXPECT_EQ(csvtext::frequencyValue(n.text, n.decimal), n.hz) << n.text;

  EXPECT_EQ(csvtext::tableValue(csvtext::kToneMode, " tsql r "), 5);
  EXPECT_EQ(csvtext::tableValue(csvtext::kToneMode, "dtcs(t)"), 3);
  EXPECT_EQ(csvtext::tableValue(csvtext::kStep, "12,5kHz"), 3);
  EXPECT_EQ(csvtext::tableValue(csvtext::kRepeaterTone, "254,1hz"), 49);
  EXPECT_EQ(csvtext::tableValue(csvtext::kDtcsCode, "754"), 103);
  // Codes and tones as a spreadsheet leaves them: codes without leading zeros, tones as plain
  // numbers with or without "Hz".
  const struct {
    int column;
    const char* text;
    const char* same;  // the written form it means; nullptr: not a value of the column
  } spreadsheet[] = {
      {csvtext::kDtcsCode, "47", "047"},
      {csvtext::kDtcsCode, "23", "023"},
      {csvtext::kDtcsCode, " 754 ", "754"},
      {csvtext::kDtcsCode, "48", nullptr},
      {csvtext::kDtcsCode, "-23", nullptr},
      {csvtext::kDtcsCode, "", nullptr},
      {csvtext::kRepeaterTone, "100", "100.0Hz"},
      {csvtext::kRepeaterTone, "100.0", "100.0Hz"},
      {csvtext::kRepeaterTone, "100Hz", "100.0Hz"},
      {csvtext::kTsqlFrequency, "100,0", "100.0Hz"},
      {csvtext::kTsqlFrequency, "88.50 hz", "88.5Hz"},
      {csvtext::kTsqlFrequency, "67", "67.0Hz"},
      {csvtext::kRepeaterTone, "100.5", nullptr},
      {csvtext::kRepeaterTone, "100.01", nullptr},
      {csvtext::kRepeaterTone, "Hz", nullptr},
      {csvtext::kRepeaterTone, ".", nullptr},
      {csvtext::kRepeaterTone, "1e2", nullptr},
      {csvtext::kRepeaterTone, "-100", nullptr},
  };
  for (const auto& c : spreadsheet) {
    const int want = c.same ? csvtext::tableValue(c.column, c.same) : csvtext::kNotFound;
    EXPECT_NE(want, c.same ? csvtext::kNotFound : -1) << c.same;
    EXPECT_EQ(csvtext::tableValue(c.column, c.text), want) << c.text;
  }
  // Every text the program writes still means what it meant.
  for (int column : {csvtext::kRepeaterTone, csvtext::kTsqlFrequency, csvtext::kDtcsCode}) {
    for (int v = 0; v < (column == csvtext::kDtcsCode ? kDtcsCount : kToneCount); ++v)
      EXPECT_EQ(csvtext::tableValue(column, csvtext::tableText(column, v, '.')), v);
  }
  EXPECT_EQ(csvtext::tableValue(csvtext::kPower, "mid-h"), 3);
  EXPECT_EQ(csvtext::tableText(csvtext::kStep, 1, ','), "6,25kHz");
  EXPECT_EQ(csvtext::tableText(csvtext::kRepeaterTone, 0, ','), "67.0Hz");
  EXPECT_EQ(csvtext::tableText(csvtext::kSkip, 2, '.'), "NOT_FOUND");
}

TEST(CsvExport, HeaderLinesAndSeparators) {
  CsvWorld w;
  w.setChannel(0, busyChannel());
  const QByteArray text = w.csv(kComma).exportText(ChannelGroup::Memory0);
  EXPECT_TRUE(text.startsWith(crlf({kExportHeader, kBusyExported, "01,,,,,,,,,,,,,,,,,,"})));
  EXPECT_TRUE(text.endsWith("\r\n99,,,,,,,,,,,,,,,,,,\r\n"));
  EXPECT_EQ(text.count('\n'), 1 + 100);

  // A decimal comma moves the columns to ";".
  QByteArray expected = QByteArray(kExportHeader).replace(',', ';') + "\r\n" +
                        "00;145,000000;DUP+;OFF;0,600000;OFF;12,5kHz;FM;ON;\"AB,C;D\";SKIP;Low;"
                        "TSQL-R;88.5Hz;100.0Hz;023;TN-RR;DTMF;\r\n";
  EXPECT_TRUE(w.csv(kDecimalComma).exportText(ChannelGroup::Memory0).startsWith(expected));

  // The scan-edge sheet: six lines numbered 00 to 05; the second page is numbered from 00 too.
  w.setChannel(201, busyChannel());
  const QList<QByteArray> edges = w.csv().exportText(ChannelGroup::ScanEdges).split('\n');
  ASSERT_EQ(edges.size(), 1 + 6 + 1);
  EXPECT_TRUE(edges[1].startsWith("00,,"));
  EXPECT_TRUE(edges[2].startsWith("01,145.000000,"));
  EXPECT_TRUE(edges[6].startsWith("05,,"));
  w.setChannel(100, busyChannel());
  EXPECT_TRUE(w.csv().exportText(ChannelGroup::Memory1).split('\n')[1].startsWith("00,145.000000"));
  EXPECT_EQ(w.csv().exportText(ChannelGroup::Call).split('\n')[1],
            "00,146.010000,OFF,OFF,0.000000,OFF,5kHz,FM,OFF,CALL,OFF,High,OFF,67.0Hz,67.0Hz,023,"
            "BOTH N,OFF,\r");
}

TEST(CsvImport, RoundTripThroughAnEmptyGroupGivesTheSameFile) {
  for (const CsvSeparators& seps : {kComma, kDecimalComma}) {
    CsvWorld source;
    ChannelFields f = busyChannel();
    for (int i = 0; i < 100; i += 3) {
      f.frequency = 136000000 + uint32_t(i) * 380000 + (i % 2 ? 6250 : 0);
      f.duplex = i % 3;
      f.reverse = i % 2;
      f.offset = uint32_t(i) * 25000;
      f.txInhibit = (i / 2) % 2;
      f.step = i % 9;
      f.mode = i % 2;
      f.nameDisplay = (i / 3) % 2;
      // Names with the separators and quotes, and every bank, come back as they were.
      const QByteArray names[] = {"N" + QByteArray::number(i * 7), "RPT,1", "A;B", "SAY\"HI",
                                  "\"", ",;,;,;"};
      const QByteArray& name = names[(i / 3) % 6];
      f.setName(name.constData(), int(name.size()));
      f.bank = i % 11;
      f.scanSkip = (i / 5) % 2;
      f.power = i % 4;
      f.toneMode = i % 7;
      f.tone = i % 50;
      f.toneSquelch = (i * 3) % 50;
      f.dtcs = i % 104;
      f.dtcsPolarity = i % 4;
      f.dtmf = (i / 7) % 2;
      source.setChannel(100 + i, f);
    }
    const QByteArray exported = source.csv(seps).exportText(ChannelGroup::Memory1);

    CsvWorld target;
    const CsvImportResult r = target.csv(seps).importText(exported, ChannelGroup::Memory1);
    EXPECT_TRUE(r.headerOk);
    EXPECT_EQ(r.imported, 34);
    EXPECT_EQ(r.discarded, 0);
    EXPECT_EQ(r.corrected, 0);
    EXPECT_EQ(target.csv(seps).exportText(ChannelGroup::Memory1), exported);
    for (int i = 0; i < 100; i += 3) {
      EXPECT_EQ(target.channel(100 + i).name, source.channel(100 + i).name) << i;
      EXPECT_EQ(target.channel(100 + i).bank, source.channel(100 + i).bank) << i;
    }
    EXPECT_FALSE(target.channel(101).inUse);
  }
}

TEST(CsvImport, HeaderIsMatchedByNameInAnyOrderAndCase) {
  CsvWorld source;
  source.setChannel(5, busyImported());  // a name without separators: the test splits at ","
  const QList<QByteArray> lines = source.csv().exportText(ChannelGroup::Memory0).split('\n');
  // Reverse the columns, add a column of another name, lower-case the header.
  QByteArray shuffled;
  for (int n = 0; n + 1 < lines.size(); ++n) {
    QList<QByteArray> fields = lines[n].chopped(1).split(',');
    std::reverse(fields.begin(), fields.end());
    fields.insert(3, n == 0 ? "Memo" : "whatever");
    shuffled += (n == 0 ? fields.join(',').toLower() : fields.join(',')) + "\r\n";
  }
  CsvWorld target;
  const CsvImportResult r = target.csv().importText(shuffled, ChannelGroup::Memory0);
  EXPECT_EQ(r.imported, 1);
  EXPECT_EQ(r.corrected, 0);
  EXPECT_EQ(target.channel(5), busyImported());
}

namespace {

struct ImportCase {
  const char* name;
  CsvSeparators separators;
  ChannelGroup group;
  QByteArray text;
  QStringList messages;
  std::function<void(CsvWorld&)> check;
};

const QString kDiscard = "Some channels are read as blank due to invalid value/setting.";
const QString kCorrect = "Some settings are changed to the valid value.";
const QString kNoData = "No channel data was found.";
const QString kTitleErr = "File error.\n\nIllegal data.";

QByteArray busyWith(int column, const char* value, const char* number = "00") {
  QList<QByteArray> fields = QByteArray(kBusyLine).split(',');
  fields[0] = number;
  fields[column] = value;
  return fields.join(',');
}

// The line with every field quoted (`all`) or every field but the numbers, as a spreadsheet's
// "quote all text cells" writes a list.
QByteArray quoteText(const QByteArray& line, bool all = false) {
  QList<QByteArray> fields = line.split(',');
  for (qsizetype i = 0; i < fields.size(); ++i)
    if (all || (i != csvtext::kChNo && i != csvtext::kFrequency && i != csvtext::kOffset))
      fields[i] = '"' + fields[i] + '"';
  return fields.join(',');
}

}  // namespace

TEST(CsvImport, LinesAreConvertedRepairedOrDiscardedAndReported) {
  const ImportCase cases[] = {
      // Quoting as spreadsheets write it.
      {"a quoted separator in a name keeps the later columns in place",
       kComma,
       ChannelGroup::Memory0,
       crlf({kHeader, busyWith(9, "\"A,B\"")}),
       {},
       [](CsvWorld& w) {
         ChannelFields want = busyImported();
         want.setName("A,B", 3);
         EXPECT_EQ(w.channel(0), want);
       }},
      {"a quoted frequency, a doubled quote, a quoted line break and a quoted decimal comma",
       kComma,
       ChannelGroup::Memory0,
       crlf({kHeader, busyWith(1, "\"146.520000\"", "01"), busyWith(9, "\"A\"\"B\"", "02"),
             busyWith(9, "\"X\r\nY\"", "03"), busyWith(1, "\"146,52\"", "04")}),
       {},
       [](CsvWorld& w) {
         EXPECT_EQ(w.channel(1).frequency, 146520000u);
         EXPECT_EQ(w.channel(4).frequency, 146520000u);
         EXPECT_EQ(QByteArray(w.channel(2).name.data(), 6), "A\"B   ");
         EXPECT_EQ(QByteArray(w.channel(3).name.data(), 6), "X  Y  ");
         EXPECT_EQ(w.channel(3).dtmf, 1);
       }},
      {"every text cell quoted",
       kComma,
       ChannelGroup::Memory0,
       crlf({quoteText(kHeader, true),
             quoteText(kBusyLine)}),
       {},
       [](CsvWorld& w) { EXPECT_EQ(w.channel(0), busyImported()); }},
      {"the bank column: letters as shown or listed, empty or OFF for none",
       kComma,
       ChannelGroup::Memory0,
       crlf({QByteArray(kHeader) + ",Bank", QByteArray(kBusyLine) + ",b",
             busyWith(1, "145.0", "01") + ", Bank-J ", busyWith(1, "145.0", "02") + ",OFF",
             busyWith(1, "145.0", "03") + ",", busyWith(1, "145.0", "04")}),
       {},
       [](CsvWorld& w) {
         EXPECT_EQ(w.channel(0).bank, 1);
         EXPECT_EQ(w.channel(1).bank, 9);
         for (int i : {2, 3, 4}) EXPECT_EQ(w.channel(i).bank, ChannelFields::kNoBank) << i;
       }},
      {"a bank that is not one is corrected",
       kComma,
       ChannelGroup::Memory0,
       crlf({QByteArray(kHeader) + ",Bank", QByteArray(kBusyLine) + ",K"}),
       {kCorrect},
       [](CsvWorld& w) { EXPECT_EQ(w.channel(0).bank, ChannelFields::kNoBank); }},
      {"a full line imports silently",
       kComma,
       ChannelGroup::Memory0,
       crlf({kHeader, kBusyLine}),
       {},
       [](CsvWorld& w) { EXPECT_EQ(w.channel(0), busyImported()); }},
      {"frequencies out of range or not numbers are discarded",
       kComma,
       ChannelGroup::Memory0,
       crlf({kHeader, busyWith(1, "135.995", "01"), busyWith(1, "174.000001", "02"),
             busyWith(1, "abc", "03"), busyWith(1, "174.000000", "04")}),
       {kDiscard},
       [](CsvWorld& w) {
         for (int i : {1, 2, 3}) EXPECT_FALSE(w.channel(i).inUse) << i;
         EXPECT_EQ(w.channel(4).frequency, 174000000u);
       }},
      {"lower-case tone mode with a space, step with a decimal comma",
       kSemicolon,
       ChannelGroup::Memory0,
       crlf({QByteArray(kHeader).replace(',', ';'),
             busyWith(12, "tsql r").replace(',', ';').replace("12.5kHz", "12,5kHz")}),
       {},
       [](CsvWorld& w) {
         EXPECT_EQ(w.channel(0).toneMode, 5);
         EXPECT_EQ(w.channel(0).step, 3);
       }},
      {"seven-character name is cut and corrected",
       kComma,
       ChannelGroup::Memory0,
       crlf({kHeader, busyWith(9, "abcdefg")}),
       {kCorrect},
       [](CsvWorld& w) { EXPECT_EQ(QByteArray(w.channel(0).name.data(), 6), "ABCDEF"); }},
      {"name characters follow the name rules without a correction",
       kComma,
       ChannelGroup::Memory0,
       crlf({kHeader, busyWith(9, "a_b?")}),
       {},
       [](CsvWorld& w) { EXPECT_EQ(QByteArray(w.channel(0).name.data(), 6), "A B?  "); }},
      {"full-width letters become half-width, kana vanish",
       kComma,
       ChannelGroup::Memory0,
       crlf({kHeader, busyWith(9, "\x82\x60\x82\x61\x83\x41")}),  // Ａ Ｂ ア
       {kCorrect},
       [](CsvWorld& w) { EXPECT_EQ(QByteArray(w.channel(0).name.data(), 6), "AB    "); }},
      {"codes and tones as a spreadsheet saves them import without a correction",
       kComma,
       ChannelGroup::Memory0,
       crlf({kHeader, busyWith(15, "47", "01").replace("88.5Hz", "88.5"),
             busyWith(13, "100", "02").replace("100.0Hz", "100Hz")}),
       {},
       [](CsvWorld& w) {
         EXPECT_EQ(w.channel(1).dtcs, csvtext::tableValue(csvtext::kDtcsCode, "047"));
         EXPECT_EQ(w.channel(1).tone, csvtext::tableValue(csvtext::kRepeaterTone, "88.5Hz"));
         EXPECT_EQ(w.channel(2).tone, csvtext::tableValue(csvtext::kRepeaterTone, "100.0Hz"));
         EXPECT_EQ(w.channel(2).toneSquelch, w.channel(2).tone);
       }},
      // The same full-width name as code page 932 and as UTF-8, with and without the mark.
      {"full-width name in code page 932",
       kComma,
       ChannelGroup::Memory0,
       crlf({kHeader, busyWith(9, "\x82\x60\x82\x61\x82\x62\x82\x50\x82\x51")}),
       {kCorrect},
       [](CsvWorld& w) { EXPECT_EQ(QByteArray(w.channel(0).name.data(), 6), "ABC12 "); }},
      {"full-width name in UTF-8",
       kComma,
       ChannelGroup::Memory0,
       crlf({kHeader, busyWith(9, "\xEF\xBC\xA1\xEF\xBC\xA2\xEF\xBC\xA3\xEF\xBC\x91\xEF\xBC\x92")}),
       {kCorrect},
       [](CsvWorld& w) { EXPECT_EQ(QByteArray(w.channel(0).name.data(), 6), "ABC12 "); }},
      {"full-width name in UTF-8 with the byte-order mark",
       kComma,
       ChannelGroup::Memory0,
       "\xEF\xBB\xBF" +
           crlf({kHeader,
                 busyWith(9, "\xEF\xBC\xA1\xEF\xBC\xA2\xEF\xBC\xA3\xEF\xBC\x91\xEF\xBC\x92")}),
       {kCorrect},
       [](CsvWorld& w) { EXPECT_EQ(QByteArray(w.channel(0).name.data(), 6), "ABC12 "); }},
      // Far beyond any channel list: refused as it comes, nothing changed.
      {"a line of 5000 characters",
       kComma,
       ChannelGroup::Memory0,
       crlf({kHeader, kBusyLine}) + QByteArray(5000, ',') + "\r\n",
       {kTitleErr},
       [](CsvWorld& w) { EXPECT_TRUE(w.channel(7).inUse); }},
      {"5 MB of empty lines",
       kComma,
       ChannelGroup::Memory0,
       crlf({kHeader, kBusyLine}) + QByteArray(5 * 1024 * 1024, '\n'),
       {kTitleErr},
       [](CsvWorld& w) { EXPECT_TRUE(w.channel(7).inUse); }},
      {"numbers outside the group are skipped without a message",
       kComma,
       ChannelGroup::Memory0,
       crlf({kHeader, busyWith(1, "145.000000", "100"), busyWith(1, "145.000000", "-1"),
             busyWith(1, "145.000000", "x"), kBusyLine}),
       {},
       [](CsvWorld& w) { EXPECT_FALSE(w.channel(100).inUse); }},
      {"header only", kComma, ChannelGroup::Memory0, crlf({kHeader}), {kNoData}, {}},
      {"empty frequencies are blank lines, not data",
       kComma,
       ChannelGroup::Memory0,
       crlf({kHeader, "00,,,,,,,,,,,,,,,,,"}),
       {kNoData},
       {}},
      {"header without Frequency changes nothing",
       kComma,
       ChannelGroup::Memory0,
       crlf({"CH No,Freq,Name", "00,145.000000,X"}),
       {kTitleErr},
       [](CsvWorld& w) { EXPECT_TRUE(w.channel(7).inUse); }},
      {"missing columns and unknown texts take the template",
       kComma,
       ChannelGroup::Memory0,
       crlf({"Frequency,CH No,TONE", "145.5,0,SQUELCH"}),
       {kCorrect},
       [](CsvWorld& w) {
         ChannelView want(w.defaults, w.options);
         want.load(kKindTemplate, 0);
         ChannelFields got = w.channel(0);
         EXPECT_EQ(got.frequency, 145500000u);
         got.frequency = want.frequency;
         EXPECT_EQ(got, want.fields());
       }},
      {"snapping, offset range and PSKIP are corrections",
       kComma,
       ChannelGroup::Memory0,
       crlf({kHeader, busyWith(1, "145.012345", "01"), busyWith(4, "60.000000", "02"),
             busyWith(10, "PSKIP", "03"), busyWith(4, "19.999999", "04"),
             busyWith(4, "20.000001", "05"), busyWith(4, "59.999999", "06")}),
       {kCorrect},
       [](CsvWorld& w) {
         EXPECT_EQ(w.channel(1).frequency, 145012500u);
         EXPECT_EQ(w.channel(2).offset, templateFields().offset);
         EXPECT_EQ(w.channel(3).scanSkip, 1);
         // Offsets go up to 20 MHz, as in the offset cell; the snap stays within.
         EXPECT_EQ(w.channel(4).offset, 20000000u);
         EXPECT_EQ(w.channel(5).offset, templateFields().offset);
         EXPECT_EQ(w.channel(6).offset, templateFields().offset);
       }},
      {"discards and corrections are both reported, in that order",
       kComma,
       ChannelGroup::Memory0,
       crlf({kHeader, busyWith(1, "abc", "01"), busyWith(9, "TOOLONGNAME", "02")}),
       {kDiscard, kCorrect},
       {}},
      {"a bad call channel frequency restores the default call channel",
       kComma,
       ChannelGroup::Call,
       crlf({kHeader, busyWith(1, "abc")}),
       {kCorrect},
       [](CsvWorld& w) {
         EXPECT_EQ(w.channel(206).frequency, 146010000u);
         EXPECT_EQ(QByteArray(w.channel(206).name.data(), 6), "CALL  ");
       }},
      {"the call channel ignores SKIP, even PSKIP",
       kComma,
       ChannelGroup::Call,
       crlf({kHeader, busyWith(10, "PSKIP")}),
       {},
       [](CsvWorld& w) { EXPECT_EQ(w.channel(206).scanSkip, 0); }},
  };
  QTemporaryDir dir;
  for (const ImportCase& c : cases) {
    SCOPED_TRACE(c.name);
    CsvWorld w;
    w.setChannel(7, busyChannel());  // something the import must clear (or keep)
    MessageHarness m;
    ChannelCsv csv = w.csv(c.separators);
    csv.setMessages(&m.prompter, &m.text);
    const QString path = dir.filePath("in.csv");
    qevtest::writeAll(path, c.text);
    int refreshes = 0;
    size_t shownBeforeRefresh = 0;
    csv.ImportChannels(path, c.group, [&] {
      ++refreshes;
      shownBeforeRefresh = m.prompter.log().size();
    });
    EXPECT_EQ(m.prompter.texts(), c.messages);
    EXPECT_EQ(shownBeforeRefresh, 0u);
    EXPECT_EQ(refreshes, c.messages == QStringList{kTitleErr} ? 0 : 1);
    for (const auto& e : m.prompter.log()) EXPECT_EQ(e.message.icon, PromptIcon::Warning);
    if (c.group == ChannelGroup::Memory0 && c.messages != QStringList{kTitleErr}) {
      EXPECT_FALSE(w.channel(7).inUse);  // the group was cleared
    }
    EXPECT_FALSE(w.channel(150).inUse);
    if (c.check) c.check(w);
  }
}

// Whatever an import stores, its export imports again unchanged and without a correction.
TEST(CsvImport, SnappedValuesSurviveTheRoundTrip) {
  CsvWorld first;
  const QByteArray list = crlf({kHeader, busyWith(4, "19.999999"),
                                busyWith(1, "173.999999", "01"), busyWith(4, "0.0000004", "02")});
  EXPECT_EQ(first.csv().importText(list, ChannelGroup::Memory0).corrected, 2);
  const QByteArray exported = first.csv().exportText(ChannelGroup::Memory0);
  CsvWorld second;
  const CsvImportResult again = second.csv().importText(exported, ChannelGroup::Memory0);
  EXPECT_EQ(again.imported, 3);
  EXPECT_EQ(again.corrected, 0);
  EXPECT_EQ(second.csv().exportText(ChannelGroup::Memory0), exported);
}

TEST(CsvImport, UnreadableFileAndConfirmation) {
  CsvWorld w;
  w.setChannel(3, busyChannel());
  const cmcEeprom before = w.working;
  MessageHarness m;
  ChannelCsv csv = w.csv();
  csv.setMessages(&m.prompter, &m.text);
  QTemporaryDir dir;
  EXPECT_FALSE(csv.ImportChannels(dir.filePath("absent.csv"), ChannelGroup::Memory0));
  EXPECT_EQ(m.prompter.texts(), QStringList{"File error.\n\nCannot open the file."});
  EXPECT_TRUE(w.working.equals(before));

  m.prompter.clearLog();
  m.prompter.push(PromptAnswer::Cancel);
  EXPECT_FALSE(csv.ConfirmImport());
  EXPECT_TRUE(csv.ConfirmImport());
  const PromptMessage& box = m.prompter.log()[0].message;
  EXPECT_EQ(box.text, "Import from the file.\nCurrent sheet will be cleared.\nAre you sure?");
  EXPECT_EQ(box.caption, "Kestrin");
  EXPECT_EQ(box.buttons, PromptButtons::OkCancel);
  EXPECT_EQ(box.icon, PromptIcon::Warning);
}

#ifdef Q_OS_UNIX
// Only regular files are read: a FIFO would block until a writer came, a device may never end.
TEST(CsvImport, InputThatIsNotARegularFileIsRefusedUnread) {
  QTemporaryDir dir;
  const QString fifo = dir.filePath("list.csv");
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  for (const QString& input : {fifo, QStringLiteral("/dev/zero"), dir.path()}) {
    CsvWorld w;
    w.setChannel(3, busyChannel());
    const cmcEeprom before = w.working;
    MessageHarness m;
    ChannelCsv csv = w.csv();
    csv.setMessages(&m.prompter, &m.text);
    EXPECT_FALSE(csv.ImportChannels(input, ChannelGroup::Memory0)) << input.toStdString();
    EXPECT_EQ(m.prompter.texts(), QStringList{"File error.\n\nCannot open the file."});
    EXPECT_TRUE(w.working.equals(before));
  }
}
#endif

TEST(CsvExport, FailedExportKeepsTheOldFileAndSaysSo) {
  CsvWorld w;
  w.setChannel(0, busyChannel());
  MessageHarness m;
  ChannelCsv csv = w.csv();
  csv.setMessages(&m.prompter, &m.text);
  QTemporaryDir dir;
  const QString path = dir.filePath("list.csv");
  qevtest::writeAll(path, "old list\r\n");

  SafeFileWriter full(path, FullDisk::withRoom(500));
  EXPECT_FALSE(csv.ExportChannels(full, ChannelGroup::Memory0));
  EXPECT_EQ(qevtest::readAll(path), "old list\r\n");
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
  EXPECT_EQ(m.prompter.texts(), QStringList{"File error.\n\nCannot access the file."});

  m.prompter.clearLog();
  EXPECT_FALSE(csv.ExportChannels(dir.filePath("no/dir/list.csv"), ChannelGroup::Memory0));
  EXPECT_EQ(m.prompter.texts(), QStringList{"File error.\n\nCannot open the file."});

  EXPECT_TRUE(csv.ExportChannels(path, ChannelGroup::Memory0));
  EXPECT_EQ(qevtest::readAll(path), w.csv().exportText(ChannelGroup::Memory0));
}
