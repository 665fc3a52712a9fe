#include "clone/cloneconfig.h"

#include <cstdio>

#include "clone/cmcCloneDrv.h"

namespace cloneconfig {

const AddressRanges& readRanges() {
  static const AddressRanges ranges{{0x0000, 0x189F}};
  return ranges;
}

const AddressRanges& writeRanges() {
  static const AddressRanges ranges{
      {0x0000, 0x0C7F}, {0x0C80, 0x0CDF}, {0x0CE0, 0x0CEF}, {0x0D00, 0x133F}, {0x1340, 0x140F}, {0x1410, 0x147F},
      {0x1480, 0x14CF}, {0x14D0, 0x14DF}, {0x14E0, 0x14FF}, {0x1500, 0x151F}, {0x1520, 0x155F}, {0x1560, 0x165F},
      {0x1660, 0x169F}, {0x16A0, 0x16BF}, {0x16C0, 0x16DF}, {0x16E0, 0x16FF}, {0x1700, 0x173F}, {0x1740, 0x177F},
      {0x1780, 0x17BF}, {0x17C0, 0x17FF}, {0x1800, 0x183F}, {0x1840, 0x187F}, {0x1880, 0x1880}, {0x1888, 0x188F},
  };
  return ranges;
}

QByteArray speedChangeScript(const QByteArray& rowSettings, int model, int sub, bool highSpeed) {
  char text[160];
  std::snprintf(text, sizeof text, "(%s)FEFEFEFEFEFEFEFEFEFEFEFEFEFEFEFEFEFEFEFE EEEF E8 %04X%04X 0000 %s FD",
                rowSettings.constData(), static_cast<unsigned>(model & 0xFFFF), static_cast<unsigned>(sub & 0xFFFF),
                highSpeed ? "02 01" : "02 00");
  return QByteArray(text);
}

void configure(cmcCloneDrv& engine, int mode, const Settings& settings) {
  const int row = settings.transType >= 0 && settings.transType < cmcCloneDrv::kSpeedRows ? settings.transType : 0;
  const cmcCloneDrv::SpeedRow& speed = cmcCloneDrv::kSpeedTable[row];
  engine.SetTransType(row);
  if (mode == kCloneModeRead || mode == kCloneModeWrite) {
    engine.SetScript(speedChangeScript(speed.settings, engine.ModelCode(), engine.SubCode(), settings.highSpeed));
    engine.SetCloneSpeed(settings.highSpeed ? kHighSpeed : kNormalSpeed);
    engine.SetRequestPreamble(kRequestPreamble);
    engine.SetDataPreambles(0, 0);
  } else {
    engine.SetCloneSpeed(speed.settings);
    engine.SetScript(QByteArray());
  }
  engine.SetPortNumber(settings.comPort);
  engine.SetPortName(settings.portName);
  engine.SetScriptDelay(kScriptDelayMs);
  engine.SetEcho(speed.echo);
  engine.SetCountInEndFrame(true);
  engine.SetBlockSize(kBlockSize);
  engine.SetWriteResultTimeout(kWriteResultTimeoutMs);
}

int destinationOf(const QByteArray& cloneInfo) {
  if (cloneInfo.size() <= kCloneInfoDestination) return kNoDestination;
  return static_cast<uint8_t>(cloneInfo[kCloneInfoDestination]) & 0x0F;
}

int checkIdentification(const CloneResult& result, bool secondPass, int currentDestination) {
  if (result.modelCode != kModelCode) return kCloneNoAnswer;
  if (result.subCode != kTransceiverSubCode) return kCloneIncompatible;
  if (result.cloneInfo.size() != kCloneInfoSize) return kCloneIllegalInfo;
  if (static_cast<uint8_t>(result.cloneInfo[kCloneInfoRevision]) != kAcceptedRevision) return kCloneIncompatible;
  if (secondPass && (currentDestination == kNoDestination || currentDestination != destinationOf(result.cloneInfo)))
    return kCloneVersionMismatch;
  return kCloneOk;
}

}  // namespace cloneconfig
