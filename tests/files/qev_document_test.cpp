#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "files/cmcQevFile.h"
#include "files/qevdocument.h"
#include "qev_support.h"

using namespace qevtest;

TEST(QevDocument, SaveWritesTheFixtureAndOpenReadsItBack) {
  QTemporaryDir dir;
  const QString path = dir.filePath("saved.qev");
  cmcEeprom img = patternImage();
  img.setByte(0x2000, 0x77);  // beyond the clone range: never saved
  MessageHarness m;
  ASSERT_EQ(saveQevFile(path, img, 3, &m.prompter, &m.text), kQevOk);
  EXPECT_EQ(readAll(path), readAll(fixturePath("pattern.qev")));

  const QevOpenResult opened = openQevFile(path, kImageSize, &m.prompter, &m.text);
  EXPECT_EQ(opened.code, kQevOk);
  EXPECT_EQ(opened.destination, 3);
  cmcEeprom expected = patternImage();
  EXPECT_TRUE(opened.image.equals(expected));
  EXPECT_TRUE(m.prompter.log().empty());
}

TEST(QevDocument, OpenRefusesForeignImagesAndHeaders) {
  QTemporaryDir dir;
  const QByteArray good = readAll(fixturePath("pattern.qev"));
  auto savedWith = [&](int address, uint8_t value) {
    cmcEeprom img = patternImage();
    img.setByte(address, value);
    const QString p = dir.filePath("img.qev");
    saveQevFile(p, img, 3);
    return readAll(p);
  };
  const struct {
    const char* name;
    QByteArray text;
    int code;
    const char* shown;
  } cases[] = {
      {"format byte 2", savedWith(0x1880, 2), kQevData, "Illegal data."},
      {"other model text", savedWith(0x1888, '4'), kQevData, "Illegal data."},
      {"EtcData with a flipped bit", QByteArray(good).replace("#EtcData=0C0010", "#EtcData=0C0011"),
       kQevEtcData, "Incompatible data."},
      {"EtcData for destination 17", QByteArray(good).replace("#EtcData=0C0010", "#EtcData=440010"),
       kQevEtcData, "Incompatible data."},
      {"a line missing", QByteArray(good).replace(good.mid(good.indexOf("0000010020"), 76), ""),
       kQevCoverage, "There is not enough data."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const QString path = dir.filePath("case.qev");
    writeAll(path, c.text);
    MessageHarness m;
    const QevOpenResult r = openQevFile(path, kImageSize, &m.prompter, &m.text);
    EXPECT_EQ(r.code, c.code);
    EXPECT_EQ(m.prompter.texts(), QStringList{QString("File error.\n\n") + c.shown});
  }
}
