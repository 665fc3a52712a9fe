#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include "files/cmcQevFile.h"
#include "model/cmcEeprom.h"

// Helpers shared by the QEV tests: the fixture's image and text, and a configured reader.
namespace qevtest {

inline constexpr int kImageSize = 0x3000;

// The image that tests/files/fixtures/pattern.qev was made from (see make_fixtures.py there).
inline cmcEeprom patternImage() {
  cmcEeprom img(kImageSize);
  for (int a = 0; a <= 0x189F; ++a) img.setByte(a, uint8_t((a * 7 + (a >> 8)) & 0xFF));
  img.setByte(0x1880, 1);
  const char model[] = "32510001";
  img.writeBlock(0x1888, reinterpret_cast<const uint8_t*>(model), 8);
  return img;
}

inline QString fixturePath(const char* name) {
  return qEnvironmentVariable("KESTRIN_SOURCE_DIR") + "/tests/files/fixtures/" + name;
}

inline QByteArray readAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void writeAll(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  if (f.open(QIODevice::WriteOnly)) f.write(bytes);
}

// Destination from the packed value's five destination bits; the check bits are the settings
// store's business, not the file's.
inline bool testEtcHook(int value, int& destination) {
  destination = (value >> 18) & 0x1F;
  return destination <= 16;
}

// A writer set up as File Save sets it up, for destination code 3.
inline void configureWriter(cmcQevFile& qev, cmcEeprom& image) {
  qev.Configure(image);
  qev.setModelCode(kQevModelCode);
  qev.setSubCode(kQevSubCode);
  qev.setBytesPerLine(kQevBytesPerLine);
  qev.setDigestOn(true);
  qev.setSalt(kQevSalt);
  qev.setMapRev(kQevMapRevValue);
  qev.setEtcData(0x0C0010);
}

// A reader set up as File Open sets it up.
inline void configureReader(cmcQevFile& qev, cmcEeprom& image) {
  qev.Configure(image);
  qev.setModelCode(kQevModelCode);
  qev.setSubCode(kQevSubCode);
  qev.setMapRevHook([](int v) { return v == 1; });
  qev.setEtcDataHook(testEtcHook);
}

}  // namespace qevtest
