#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "files/cmcQevFile.h"
#include "model/cmcEeprom.h"
#include "qev_support.h"

using namespace qevtest;

namespace {

QList<QByteArray> fixtureLines() {
  QByteArray text = readAll(fixturePath("pattern.qev"));
  QList<QByteArray> lines = text.split('\n');
  lines.removeLast();                     // after the final line end
  for (QByteArray& l : lines) l.chop(1);  // CR
  return lines;
}

QByteArray joinCrLf(const QList<QByteArray>& lines) {
  QByteArray out;
  for (const QByteArray& l : lines) out += l + "\r\n";
  return out;
}

constexpr int kFirstData = 4;  // index of the first data line in the fixture
constexpr int kDataLines = 197;

cmcEeprom otherImage() {
  cmcEeprom img(kImageSize);
  img.fill(0x5A);
  return img;
}

}  // namespace

TEST(QevMd5, Rfc1321TestSuite) {
  const struct {
    const char* input;
    const char* digest;
  } cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(QCryptographicHash::hash(c.input, QCryptographicHash::Md5).toHex(), c.digest)
        << c.input;
}

TEST(QevWrite, SavedImageMatchesTheHandMadeFixtureByteForByte) {
  QTemporaryDir dir;
  const QString path = dir.filePath("out.qev");
  cmcEeprom img = patternImage();
  cmcQevFile qev;
  configureWriter(qev, img);
  ASSERT_EQ(qev.Write(path, qevCloneRanges()), kQevOk);

  const QByteArray written = readAll(path);
  EXPECT_EQ(written, readAll(fixturePath("pattern.qev")));

  // The shape the format promises: 4 header lines, 197 data lines of 74 characters, the check
  // line, every line ended by CR LF.
  QList<QByteArray> lines = written.split('\n');
  ASSERT_EQ(lines.size(), 1 + 3 + kDataLines + 1 + 1);
  EXPECT_TRUE(lines.last().isEmpty());
  lines.removeLast();
  for (const QByteArray& l : lines) ASSERT_TRUE(l.endsWith('\r')) << l.constData();
  for (int i = kFirstData; i < kFirstData + kDataLines; ++i) EXPECT_EQ(lines[i].size(), 75) << i;
  EXPECT_TRUE(lines[kFirstData].startsWith("0000000020"));
  EXPECT_TRUE(lines[kFirstData + kDataLines - 1].startsWith("0000188020"));
}

TEST(QevWrite, CheckLineAgreesWithAnIndependentMd5) {
  QTemporaryDir dir;
  const QString path = dir.filePath("out.qev");
  cmcEeprom img = patternImage();
  img.setByte(0x10, 0xC3);
  cmcQevFile qev;
  configureWriter(qev, img);
  ASSERT_EQ(qev.Write(path, qevCloneRanges()), kQevOk);

  // Salt and data lines decoded to bytes, hashed by the system's md5sum.
  QList<QByteArray> lines = readAll(path).split('\n');
  QByteArray fed = QByteArray::fromHex(kQevSalt);
  QByteArray checkLine;
  for (int i = 1; i < lines.size(); ++i) {
    const QByteArray l = lines[i].trimmed();
    if (l.startsWith("#CD="))
      checkLine = l.mid(4);
    else if (!l.isEmpty() && !l.startsWith('#'))
      fed += QByteArray::fromHex(l);
  }
  ASSERT_EQ(fed.size(), 6 + kDataLines * 5 + 0x18A0);
  writeAll(dir.filePath("fed.bin"), fed);
  if (QStandardPaths::findExecutable("md5sum").isEmpty()) GTEST_SKIP() << "no md5sum here";
  QProcess md5sum;
  md5sum.start("md5sum", {dir.filePath("fed.bin")});
  ASSERT_TRUE(md5sum.waitForFinished(10000));
  EXPECT_EQ(md5sum.readAllStandardOutput().left(32).toUpper(), checkLine);
}

TEST(QevWrite, UnusableRangesEndTheListAndShortLinesKeepAlignment) {
  QTemporaryDir dir;
  const QString path = dir.filePath("out.qev");
  cmcEeprom img(64);
  for (int a = 0; a < 64; ++a) img.setByte(a, uint8_t(a));
  cmcQevFile qev;
  qev.Configure(img);
  qev.setBytesPerLine(16);
  // (5,20) cuts 5..15 then 16..20; (40,39) ends the list, so (0,1) is never written.
  ASSERT_EQ(qev.Write(path, {{5, 20}, {40, 39}, {0, 1}}), kQevOk);
  EXPECT_EQ(readAll(path),
            "00000000\r\n#Comment=\r\n#MapRev=-1\r\n#EtcData=000000\r\n"
            "000000050B0506070809"
            "0A0B0C0D0E0F\r\n"
            "00000010051011121314\r\n");
}

TEST(QevRead, FixtureOpensIntoTheImageAndDeliversTheDestination) {
  cmcEeprom img = otherImage();
  cmcQevFile qev;
  configureReader(qev, img);
  ASSERT_EQ(qev.Read(fixturePath("pattern.qev"), qevCloneRanges()), kQevOk);
  const cmcEeprom expected = patternImage();
  EXPECT_EQ(memcmp(img.data(), expected.data(), 0x18A0), 0);
  for (int a = 0x18A0; a < kImageSize; ++a) ASSERT_EQ(img.getByte(a), 0x5A) << a;
  EXPECT_EQ(qev.mapRev(), 1);
  EXPECT_EQ(qev.etcData(), 0x0C0010);
  EXPECT_EQ(qev.destination(), 3);
}

TEST(QevRead, WrittenFileReadsBackEqualOverTheCloneRange) {
  QTemporaryDir dir;
  const QString path = dir.filePath("round.qev");
  cmcEeprom source = patternImage();
  for (int a = 0; a < 0x18A0; a += 13) source.setByte(a, uint8_t(a ^ 0xA5));
  cmcQevFile writer;
  configureWriter(writer, source);
  ASSERT_EQ(writer.Write(path, qevCloneRanges()), kQevOk);

  cmcEeprom target(kImageSize);
  cmcQevFile reader;
  configureReader(reader, target);
  ASSERT_EQ(reader.Read(path), kQevOk);
  EXPECT_EQ(reader.CheckCoverage(qevCloneRanges()), kQevOk);
  EXPECT_EQ(memcmp(target.data(), source.data(), 0x18A0), 0);
}

namespace {

struct ReadCase {
  const char* name;
  std::function<void(QList<QByteArray>&)> mutate;
  int expected;
  bool lastLineEnd = true;
};

QByteArray dataLine(uint32_t address, const QByteArray& bytes) {
  return QByteArray::number(address, 16).toUpper().rightJustified(8, '0') +
         QByteArray::number(bytes.size(), 16).toUpper().rightJustified(2, '0') +
         bytes.toHex().toUpper();
}

const int kLast = kFirstData + kDataLines - 1;  // the last data line (0x1880)

}  // namespace

TEST(QevRead, EveryCheckInOrderAndTheImageStaysOnRejection) {
  const ReadCase cases[] = {
      {"unchanged fixture", [](auto&) {}, kQevOk},
      {"hex letter in model line", [](auto& l) { l[0] = "3251000A"; }, kQevFormat},
      {"nine-character model line", [](auto& l) { l[0] = "325100040"; }, kQevFormat},
      {"empty file", [](auto& l) { l.clear(); }, kQevFormat},
      {"other model", [](auto& l) { l[0] = "32520004"; }, kQevModel},
      {"other sub code", [](auto& l) { l[0] = "32510005"; }, kQevExtra},
      {"no MapRev line", [](auto& l) { l.removeAt(2); }, kQevMapRev},
      {"MapRev 2", [](auto& l) { l[2] = "#MapRev=2"; }, kQevMapRev},
      {"MapRev after the first data line", [](auto& l) { l.insert(kFirstData + 1, l.takeAt(2)); },
       kQevMapRev},
      {"EtcData with destination 17", [](auto& l) { l[3] = "#EtcData=440000"; }, kQevEtcData},
      {"63 hex digits for 0x20 bytes", [](auto& l) { l[kFirstData + 1].chop(1); }, kQevFormat},
      {"non-hex character", [](auto& l) { l[kFirstData + 3][20] = 'G'; }, kQevFormat},
      {"blank line among data", [](auto& l) { l.insert(kFirstData + 7, ""); }, kQevFormat},
      {"line of 522 characters",
       [](auto& l) { l.insert(kFirstData + 2, dataLine(0x40, QByteArray(256, 1))); }, kQevFormat},
      {"last byte at 0x3000",
       [](auto& l) { l.insert(kFirstData, dataLine(0x2FF0, QByteArray(17, 1))); }, kQevData},
      {"address FFFFFFFF",
       [](auto& l) { l.insert(kFirstData, dataLine(0xFFFFFFFF, QByteArray(1, 1))); }, kQevData},
      {"stops after 0x17FF", [](auto& l) { l.erase(l.begin() + kLast - 3, l.begin() + kLast + 1); },
       kQevCoverage},
      {"extra byte at 0x18A0", [](auto& l) { l.insert(kLast + 1, dataLine(0x18A0, "\x01")); },
       kQevData},
      {"last data line without line end", [](auto& l) { l.removeLast(); }, kQevFormat, false},
      {"wrong check line", [](auto& l) { l.last() = "#CD=00000000000000000000000000000000"; },
       kQevOk},
      {"no check line", [](auto& l) { l.removeLast(); }, kQevOk},
      {"lower-case data digits", [](auto& l) { l[kFirstData + 1] = l[kFirstData + 1].toLower(); },
       kQevOk},
      // Only the model line has a length limit: "#" lines of any length are skipped whole,
      // including one that ends exactly where a line buffer would.
      {"comment line of 767 characters", [](auto& l) { l[1] = "#Comment=" + QByteArray(758, 'x'); },
       kQevOk},
      {"comment line of 766 characters", [](auto& l) { l[1] = "#Comment=" + QByteArray(757, 'x'); },
       kQevOk},
      {"comment of 100000 characters among the data lines",
       [](auto& l) { l.insert(kFirstData + 5, "#" + QByteArray(100000, '0')); }, kQevOk},
      {"long comment before the MapRev line",
       [](auto& l) { l.insert(2, "#" + QByteArray(2000, 'y') + "#EtcData=000000"); }, kQevOk},
      {"lines read twice, later wins",
       [](auto& l) { l.insert(kFirstData, dataLine(0x10, "\x07")); }, kQevOk},
  };
  QTemporaryDir dir;
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.name);
    QList<QByteArray> lines = fixtureLines();
    c.mutate(lines);
    QByteArray text = joinCrLf(lines);
    if (!c.lastLineEnd) text.chop(2);
    const QString path = dir.filePath("case.qev");
    writeAll(path, text);

    cmcEeprom img = otherImage();
    const cmcEeprom before = img;
    cmcQevFile qev;
    configureReader(qev, img);
    MessageHarness messages;
    qev.setMessages(&messages.prompter, &messages.text);
    EXPECT_EQ(qev.Read(path, qevCloneRanges()), c.expected);
    if (c.expected == kQevOk) {
      EXPECT_TRUE(messages.prompter.log().empty());
      EXPECT_EQ(memcmp(img.data(), patternImage().data(), 0x18A0), 0);
    } else {
      EXPECT_EQ(messages.prompter.log().size(), 1u);
      EXPECT_TRUE(img.equals(before));
    }
    if (c.expected == kQevModel || c.expected == kQevExtra || c.expected == kQevEtcData) {
      EXPECT_EQ(qev.destination(), 0);
    }
  }
}

TEST(QevRead, LineEndsAndMissingFiles) {
  QTemporaryDir dir;
  cmcEeprom img(kImageSize);
  cmcQevFile qev;
  configureReader(qev, img);

  // Bare LF line ends read like CR LF.
  QByteArray text = readAll(fixturePath("pattern.qev"));
  text.replace("\r\n", "\n");
  writeAll(dir.filePath("lf.qev"), text);
  EXPECT_EQ(qev.Read(dir.filePath("lf.qev"), qevCloneRanges()), kQevOk);

  EXPECT_EQ(qev.Read(dir.filePath("absent.qev")), kQevFileOpen);
  EXPECT_EQ(qev.Read(dir.path()), kQevFileOpen);  // a directory
}

// Every code's box: warning icon, one OK button, the title as caption, "File error." above the
// code's own text.
TEST(QevMessages, ShowFileErrorWordsEachCode) {
  const char* texts[] = {nullptr,
                         "Cannot open the file.",
                         "Cannot access the file.",
                         "Illegal data.",
                         "Illegal data.",
                         "Incompatible data.",
                         "Illegal data.",
                         "There is not enough data.",
                         "Illegal data.",
                         "Please update to the latest version.",
                         "Incompatible data."};
  MessageHarness m;
  cmcQevFile qev;
  qev.setMessages(&m.prompter, &m.text);
  for (int code = -1; code <= 11; ++code) qev.ShowFileError(code);
  ASSERT_EQ(m.prompter.log().size(), 10u);
  for (int code = 1; code <= 10; ++code) {
    const PromptMessage& box = m.prompter.log()[code - 1].message;
    EXPECT_EQ(box.caption, "Kestrin");
    EXPECT_EQ(box.text, QString("File error.\n\n") + texts[code]) << code;
    EXPECT_EQ(box.icon, PromptIcon::Warning);
    EXPECT_EQ(box.buttons, PromptButtons::Ok);
  }
}

TEST(QevCoverage, WithoutLoadedDataOrImageNothingIsCovered) {
  cmcQevFile unconfigured;
  EXPECT_EQ(unconfigured.CheckCoverage(qevCloneRanges()), kQevCoverage);
  cmcEeprom img(kImageSize);
  cmcQevFile qev;
  qev.Configure(img);
  EXPECT_EQ(qev.CheckCoverage(qevCloneRanges()), kQevCoverage);
  EXPECT_EQ(qev.CheckCoverage({}), kQevOk);  // nothing required, nothing loaded
}
