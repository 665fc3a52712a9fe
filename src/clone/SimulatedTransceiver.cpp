#include "clone/SimulatedTransceiver.h"

#include <algorithm>
#include <cstdio>

#include "model/memorymap.h"

using namespace cloneframe;

namespace {
uint16_t codeAt(const QByteArray& payload, int i) {
  return static_cast<uint16_t>(static_cast<uint8_t>(payload[i]) << 8 | static_cast<uint8_t>(payload[i + 1]));
}

// Bytes a noisy line adds between frames; never a frame start or end.
const char kNoise[] = {0x00, 0x55, char(0xAA), 0x13, char(0xFF)};
}  // namespace

SimulatedTransceiver::SimulatedTransceiver() : SimulatedTransceiver(Config{}) {}

SimulatedTransceiver::SimulatedTransceiver(Config config) : config_(std::move(config)), memory_(blankMemory()) {}

cmcEeprom SimulatedTransceiver::blankMemory() {
  cmcEeprom m(kMemorySize);
  m.setByte(memmap::kFormatByte, memmap::kFormatValid);
  m.writeBlock(memmap::kModelCode, reinterpret_cast<const uint8_t*>(memmap::kModelCodeText), memmap::kModelCodeLength);
  for (int i = 0; i < memmap::kCloneCommentLength; ++i) m.setByte(memmap::kCloneComment + i, ' ');
  return m;
}

QByteArray SimulatedTransceiver::cloneInformation() const {
  QByteArray info(kCloneInfoSize, '\0');
  info[kInfoRevision] = static_cast<char>(config_.faults.revision);
  const QByteArray comment = config_.comment.left(kInfoCommentLength).leftJustified(kInfoCommentLength, ' ');
  info.replace(kInfoComment, kInfoCommentLength, comment);
  int destination = config_.destination & 0x0F;
  if (config_.faults.otherDestination && stats_.identifications > 0) destination = (destination + 1) & 0x0F;
  info[kInfoDestination] = static_cast<char>(destination);
  info[kInfoOptions] = static_cast<char>(config_.options & 0x0F);
  const QByteArray serial = config_.serial.left(kInfoSerialLength).leftJustified(kInfoSerialLength, '0');
  info.replace(kInfoSerial, kInfoSerialLength, serial);
  return info;
}

void SimulatedTransceiver::note(const QString& text) {
  if (log_) log_(text);
}

bool SimulatedTransceiver::listensForIdentify(int baud) const {
  return std::find(config_.identifySpeeds.begin(), config_.identifySpeeds.end(), baud) != config_.identifySpeeds.end();
}

QByteArray SimulatedTransceiver::Receive(const QByteArray& bytes, int baud) {
  QByteArray out;
  // Bytes sent at another speed arrive as garbage; a frame cannot span a speed change.
  if (baud != lastBaud_) {
    assembler_.Reset();
    lastBaud_ = baud;
  }
  for (char c : bytes) {
    if (config_.echo) out.append(c);
    const auto r = assembler_.Feed(static_cast<uint8_t>(c));
    if (r == FrameAssembler::kFrame) handleFrame(assembler_.frame(), baud, out);
  }
  return out;
}

void SimulatedTransceiver::sendFrame(uint8_t command, const QByteArray& payload, QByteArray& out) {
  if (config_.faults.noise) out.append(kNoise, sizeof kNoise);
  out.append(BuildFrame(kAddrProgram, kAddrTransceiver, command, payload));
}

void SimulatedTransceiver::handleFrame(const QByteArray& frame, int baud, QByteArray& out) {
  if (config_.faults.silent) return;
  if (frame.size() < 4 || static_cast<uint8_t>(frame[1]) != kAddrTransceiver ||
      static_cast<uint8_t>(frame[2]) != kAddrProgram) {
    ++stats_.ignoredFrames;
    return;
  }
  const uint8_t command = static_cast<uint8_t>(frame[3]);
  const QByteArray payload = frame.mid(4);
  const bool forUs = payload.size() >= 4 && codeAt(payload, 0) == kModelCode;
  const bool atTransferSpeed = transferSpeed_ != 0 && baud == transferSpeed_;

  switch (command) {
    case kCmdIdentify:
      if (!forUs || !listensForIdentify(baud)) break;
      writing_ = false;
      transferSpeed_ = 0;
      identify(out);
      return;
    case kCmdSpeedChange:
      if (!forUs || !listensForIdentify(baud) || payload.size() != 8) break;
      transferSpeed_ = static_cast<uint8_t>(payload[7]) == 0x01 ? kHighSpeed : kNormalSpeed;
      ++stats_.speedChanges;
      note(QStringLiteral("speed change to %1 (asked at %2)").arg(transferSpeed_).arg(baud));
      return;
    case kCmdReadRequest:
      if (!forUs || !atTransferSpeed) break;
      serveRead(out);
      transferSpeed_ = 0;
      return;
    case kCmdWriteRequest:
      if (!forUs || !atTransferSpeed) break;
      writing_ = true;
      writeOk_ = true;
      writeFrames_ = 0;
      write_ = CloneResult{};
      write_.image.assign(memory_);
      writeState_ = CloneReadState{};
      writeState_.result = &write_;
      writeState_.imageSize = kMemorySize;
      note(QStringLiteral("clone write started at %1").arg(baud));
      return;
    case kCmdData: {
      if (!writing_ || !atTransferSpeed) break;
      if (DecodeDataFrame(payload, writeState_) == kCloneStored) {
        ++writeFrames_;
      } else {
        writeOk_ = false;
      }
      return;
    }
    case kCmdEnd:
      if (!writing_ || !atTransferSpeed) break;
      finishWrite(payload, out);
      return;
    default:
      break;
  }
  ++stats_.ignoredFrames;
}

void SimulatedTransceiver::identify(QByteArray& out) {
  const Faults& f = config_.faults;
  QByteArray payload;
  const int model = f.wrongModel ? 0x3252 : kModelCode;
  payload.append(static_cast<char>(model >> 8));
  payload.append(static_cast<char>(f.nonBcdModel ? 0x5A : model & 0xFF));
  const int sub = f.subCode5 ? 0x0005 : kSubCode;
  payload.append(static_cast<char>(sub >> 8));
  payload.append(static_cast<char>(sub & 0xFF));
  payload.append(cloneInformation());
  sendFrame(kCmdIdentifyReply, payload, out);
  ++stats_.identifications;
  note(QStringLiteral("identified"));
}

void SimulatedTransceiver::serveRead(QByteArray& out) {
  const Faults& f = config_.faults;
  int sent = 0;
  int number = 0;
  for (int a = 0; a < kMemorySize; a += kBlockSize) {
    ++number;
    if (number == f.dropFrame) continue;
    if (f.silenceAfterFrame >= 0 && sent >= f.silenceAfterFrame) {
      note(QStringLiteral("clone read falls silent after %1 frames").arg(sent));
      ++stats_.reads;
      return;
    }
    QByteArray payload = DataFramePayload(memory_, a, std::min(kBlockSize, kMemorySize - a));
    if (number == f.badChecksumFrame) {
      char tail[4];
      const int wrong = (payload.right(2).toInt(nullptr, 16) + 1) & 0xFF;
      std::snprintf(tail, sizeof tail, "%02X", static_cast<unsigned>(wrong));
      payload.replace(payload.size() - 2, 2, tail);
    }
    sendFrame(kCmdData, payload, out);
    ++sent;
  }
  char count[4];
  std::snprintf(count, sizeof count, "%02X", static_cast<unsigned>((sent - (f.badCount ? 1 : 0)) & 0xFF));
  sendFrame(kCmdEnd, QByteArray(kCompany) + count, out);
  ++stats_.reads;
  note(QStringLiteral("clone read: %1 data frames").arg(sent));
}

void SimulatedTransceiver::finishWrite(const QByteArray& payload, QByteArray& out) {
  writing_ = false;
  transferSpeed_ = 0;
  const bool counted = payload.size() > kCompanyLength;
  const bool ok = writeOk_ && !config_.faults.writeFail && CheckEndFrame(payload, writeFrames_, counted) == kCloneOk;
  if (ok) {
    memory_.assign(write_.image);
    // A weak memory cell: the write was accepted, yet one byte does not hold what was sent.
    const int weak = config_.faults.changeAfterWrite;
    if (memory_.isValid(weak)) {
      memory_.setByte(weak, memory_.getByte(weak) ^ 0x01);
      note(QStringLiteral("byte 0x%1 changed after the write").arg(weak, 4, 16, QLatin1Char('0')));
    }
    ++stats_.writesAccepted;
  } else {
    ++stats_.writesRejected;
  }
  sendFrame(kCmdWriteResult, QByteArray(1, ok ? '\0' : '\1'), out);
  note(QStringLiteral("clone write %1 (%2 data frames)").arg(ok ? "accepted" : "rejected").arg(writeFrames_));
  if (ok && onWrite_) onWrite_();
}
