#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include "base/prompter.h"
#include "files/cmcQevFile.h"
#include "gtex/cmcGTex.h"
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

// The messages of the file commands, as the resource text words them (a small stand-in text, so
// that these tests do not depend on the whole resource text).
inline const char* const kMessageText[] = {
    "",
    "#GI_Sys_AppTitle",
    "Kestrin",
    "#GI_Mess_FileErr_Headline",
    "File error.",
    "#GI_Mess_FileErr_FileOpen",
    "Cannot open the file.",
    "#GI_Mess_FileErr_FileAccess",
    "Cannot access the file.",
    "#GI_Mess_FileErr_Model",
    "Illegal data.",
    "#GI_Mess_FileErr_Extra",
    "Illegal data.",
    "#GI_Mess_FileErr_MapRev",
    "Incompatible data.",
    "#GI_Mess_FileErr_Format",
    "Illegal data.",
    "#GI_Mess_FileErr_Coverage",
    "There is not enough data.",
    "#GI_Mess_FileErr_Data",
    "Illegal data.",
    "#GI_Mess_FileErr_Newer",
    "Please update to the latest version.",
    "#GI_Mess_FileErr_EtcData",
    "Incompatible data.",
    "#GI_Mess_Import_OpenErr",
    "File error.",
    "",
    "Cannot open the file.",
    "#GI_Mess_Import_TitleErr",
    "File error.",
    "",
    "Illegal data.",
    "#GI_Mess_Import_NoData",
    "No channel data was found.",
    "#GI_Mess_Import_NoChSpace",
    "Channel overflow.",
    "Some channels are not imported.",
    "#GI_Mess_Import_Discard",
    "Some channels are read as blank due to invalid value/setting.",
    "#GI_Mess_Import_Correct",
    "Some settings are changed to the valid value.",
    "#GI_Mess_Confirm_ImportFile",
    "Import from the file.",
    "Current sheet will be cleared.",
    "Are you sure?",
    "#End_Of_Ovl",
};

// A reader over kMessageText and a prompter that records what was shown.
struct MessageHarness {
  MessageHarness() { text.setSource(kMessageText, int(std::size(kMessageText))); }
  cmcGTex text;
  ScriptedPrompter prompter;
};

}  // namespace qevtest
