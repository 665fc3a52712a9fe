#include "clone/simmemory.h"

#include <QFile>
#include <bit>

#include "clone/SimulatedTransceiver.h"
#include "files/cmcQevFile.h"
#include "files/filecommands.h"
#include "files/inputfile.h"
#include "files/savefile.h"

namespace simmemory {
namespace {
bool isQev(const QString& path) { return path.endsWith(QStringLiteral(".qev"), Qt::CaseInsensitive); }

// Bits of the check value c, least significant first.
constexpr int kCheckBits[5] = {0, 4, 6, 11, 17};
constexpr int kDestinationShift = 18;

bool decodeEtcData(int value, int& destination) {
  int c = 0;
  int checkMask = 0;
  for (int i = 0; i < 5; ++i) {
    checkMask |= 1 << kCheckBits[i];
    if (value & (1 << kCheckBits[i])) c |= 1 << i;
  }
  const int others = std::popcount(static_cast<unsigned>(value & ~checkMask & 0x7FFFFFF));
  if (c != others % 32) return false;
  destination = (value >> kDestinationShift) & 0x1F;
  return true;
}
}  // namespace

int packEtcData(int destination) {
  const int c = std::popcount(static_cast<unsigned>(destination & 0x1F)) % 32;
  int value = (destination & 0x1F) << kDestinationShift;
  for (int i = 0; i < 5; ++i)
    if (c & (1 << i)) value |= 1 << kCheckBits[i];
  return value;
}

bool load(const QString& path, cmcEeprom& memory, QString* error, QString* warning) {
  cmcEeprom loaded(SimulatedTransceiver::kMemorySize);
  if (isQev(path)) {
    cmcQevFile file;
    file.Configure(loaded);
    file.setModelCode(kQevModelCode);
    file.setSubCode(kQevSubCode);
    file.setSalt(kQevSalt);
    file.setMapRevHook([](int rev) { return rev == kQevMapRevValue; });
    file.setEtcDataHook([](int value, int& destination) { return decodeEtcData(value, destination); });
    const int result = file.Read(path, qevCloneRanges());
    if (result != kQevOk) {
      if (error) *error = QStringLiteral("%1 is not a usable clone file (result %2).").arg(path).arg(result);
      return false;
    }
    if (warning && verifyQevCheckLine(path).status == QevCheckLine::Mismatch)
      *warning = QStringLiteral("the check line of %1 does not match its contents: the file may be damaged.").arg(path);
  } else {
    QFile f(path);
    if (!isRegularFile(path)) {
      if (error) *error = QStringLiteral("Cannot read %1: it is not a regular file.").arg(path);
      return false;
    }
    if (!f.open(QIODevice::ReadOnly)) {
      if (error) *error = QStringLiteral("Cannot read %1: %2").arg(path, f.errorString());
      return false;
    }
    const QByteArray bytes = f.readAll();
    if (bytes.size() != SimulatedTransceiver::kMemorySize) {
      if (error)
        *error = QStringLiteral("%1 holds %2 bytes; a memory file holds %3.")
                     .arg(path)
                     .arg(bytes.size())
                     .arg(SimulatedTransceiver::kMemorySize);
      return false;
    }
    loaded.writeBlock(0, reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<int>(bytes.size()));
  }
  memory.assign(loaded);
  return true;
}

bool save(const QString& path, const cmcEeprom& memory, int destination, QString* error) {
  if (isQev(path)) {
    cmcEeprom copy;
    copy.assign(memory);
    cmcQevFile file;
    file.Configure(copy);
    file.setModelCode(kQevModelCode);
    file.setSubCode(kQevSubCode);
    file.setBytesPerLine(kQevBytesPerLine);
    file.setDigestOn(true);
    file.setSalt(kQevSalt);
    file.setMapRev(kQevMapRevValue);
    file.setEtcData(packEtcData(destination));
    const int result = file.Write(path, qevCloneRanges());
    if (result != kQevOk && error) *error = QStringLiteral("Cannot write %1 (result %2).").arg(path).arg(result);
    return result == kQevOk;
  }
  SafeFileWriter writer(path);
  const QByteArray bytes(reinterpret_cast<const char*>(memory.data()), memory.size());
  if (!writer.open() || !writer.write(bytes) || !writer.commit()) {
    if (error) *error = QStringLiteral("Cannot write %1.").arg(path);
    return false;
  }
  return true;
}
}  // namespace simmemory
