#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <map>
#include <random>

#include "files/cmcQevFile.h"
#include "model/cmcEeprom.h"
#include "qev_support.h"

using namespace qevtest;

namespace {

// What an accepted file must have put into the image: each data line's bytes, later lines
// overriding earlier ones.
std::map<int, uint8_t> bytesOf(const QByteArray& text) {
  std::map<int, uint8_t> out;
  QList<QByteArray> lines = text.split('\n');
  for (int i = 1; i < lines.size(); ++i) {
    const QByteArray l = lines[i].endsWith('\r') ? lines[i].chopped(1) : lines[i];
    if (l.size() < 10 || l.startsWith('#')) continue;
    const QByteArray raw = QByteArray::fromHex(l);
    const int address = (uint8_t(raw[0]) << 24) | (uint8_t(raw[1]) << 16) | (uint8_t(raw[2]) << 8) |
                        uint8_t(raw[3]);
    for (int k = 0; k < uint8_t(raw[4]); ++k) out[address + k] = uint8_t(raw[5 + k]);
  }
  return out;
}

QByteArray mutate(QByteArray text, std::mt19937& rng) {
  auto pick = [&](int n) { return int(rng() % uint32_t(n > 0 ? n : 1)); };
  const char alphabet[] = "0123456789ABCDEFabcdefG#=-+ \r\n\t\x00\xFF";
  const int edits = 1 + pick(4);
  for (int e = 0; e < edits && !text.isEmpty(); ++e) {
    const int at = pick(int(text.size()));
    switch (pick(7)) {
      case 0:
        text[at] = alphabet[pick(sizeof alphabet - 1)];
        break;
      case 1:
        text.insert(at, alphabet[pick(sizeof alphabet - 1)]);
        break;
      case 2:
        text.remove(at, 1 + pick(80));
        break;
      case 3:
        text.truncate(at);
        break;
      case 4: {  // duplicate a stretch elsewhere
        const QByteArray piece = text.mid(pick(int(text.size())), 1 + pick(200));
        text.insert(at, piece);
        break;
      }
      case 5:
        text[at] = char(text[at] ^ (1 << pick(8)));
        break;
      default: {  // swap two lines
        QList<QByteArray> lines = text.split('\n');
        if (lines.size() > 2)
          std::swap(lines[pick(int(lines.size()))], lines[pick(int(lines.size()))]);
        text = lines.join('\n');
      }
    }
  }
  return text;
}

}  // namespace

// Mutated files never crash the reader, and the image is either left exactly as it was or
// holds exactly what the accepted file says.
TEST(QevFuzz, MutatedFilesLeaveTheImageWholeOrFullyReplaced) {
  const QByteArray seed = readAll(fixturePath("pattern.qev"));
  ASSERT_FALSE(seed.isEmpty());
  QTemporaryDir dir;
  const QString path = dir.filePath("fuzz.qev");
  std::mt19937 rng(20240611);
  QElapsedTimer clock;
  clock.start();
  int accepted = 0;
  int runs = 0;
  // A fixed number of runs keeps the result independent of the machine's load; the clock only
  // guards against a pathological slowdown.
  for (; runs < 400 && clock.elapsed() < 60000; ++runs) {
    const QByteArray text = mutate(seed, rng);
    writeAll(path, text);
    cmcEeprom img(kImageSize);
    img.fill(0x5A);
    const cmcEeprom before = img;
    cmcQevFile qev;
    configureReader(qev, img);
    const int code = qev.Read(path, qevCloneRanges());
    ASSERT_GE(code, kQevOk);
    ASSERT_LE(code, kQevEtcData);
    if (code != kQevOk) {
      ASSERT_TRUE(img.equals(before)) << "run " << runs << " code " << code;
      continue;
    }
    ++accepted;
    const std::map<int, uint8_t> expected = bytesOf(text);
    ASSERT_EQ(int(expected.size()), 0x18A0) << "run " << runs;
    for (const auto& [address, value] : expected) ASSERT_EQ(img.getByte(address), value) << address;
    for (int a = 0x18A0; a < kImageSize; ++a) ASSERT_EQ(img.getByte(a), 0x5A);
  }
  RecordProperty("runs", runs);
  RecordProperty("accepted", accepted);
  EXPECT_EQ(runs, 400);
  EXPECT_GT(accepted, 0);  // some mutations (comment, check line) keep the file valid
}
