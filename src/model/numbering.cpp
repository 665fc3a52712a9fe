#include "model/numbering.h"

#include "gtex/celllinks.h"
#include "model/ChannelView.h"

namespace numbering {

namespace {
constexpr IndexRange kEmpty{0, -1};
}

bool isMemory(int kind, int index) {
  return kind == kKindConventional && index >= kFirstMemory && index <= kLastMemory;
}
bool isScanEdge(int kind, int index) {
  return kind == kKindConventional && index >= kFirstScanEdge && index <= kLastScanEdge;
}
bool isCall(int kind, int index) { return kind == kKindConventional && index == kCallChannel; }
bool isMarine(int kind, int index) {
  return kind == kKindConventional && index >= kFirstMarine && index <= kLastMarine;
}

IndexRange kindRange(int kind) {
  if (kind == kKindNone) return {0, 0};
  if (kind == kKindConventional) return {0, kLastMarine};
  return {0, 100000000};
}

int rowEditFlags(int kind) {
  if (kind == kKindConventional) return 3;
  if (kind == kKindFunction) return 1;
  return 0;
}

bool supportsRowEdits(int kind) { return (rowEditFlags(kind) & 1) != 0; }

IndexRange rowEditRange(int kind, int index) {
  if (kind == kKindFunction) return {0, kFunctionMemoryCount - 1};
  if (kind != kKindConventional) return kEmpty;
  if (isMemory(kind, index)) {
    const int first = index / kMemoryBlockSize * kMemoryBlockSize;
    return {first, first + kMemoryBlockSize - 1};
  }
  if (isScanEdge(kind, index)) return {kFirstScanEdge, kLastScanEdge};
  return {kCallChannel, kCallChannel};
}

IndexRange checkRange(int link, int* kind) {
  int k = kKindConventional;
  IndexRange r = kEmpty;
  switch (link) {
    case CL_Check_MemoryCH0:
      r = {0, 99};
      break;
    case CL_Check_MemoryCH1:
      r = {100, 199};
      break;
    case CL_Check_MemoryCHS:
      r = {kFirstScanEdge, kLastScanEdge};
      break;
    case CL_Check_MemoryCHC:
      r = {kCallChannel, kCallChannel};
      break;
    case CL_Check_F1DispCH:
      k = kKindFunction;
      r = {0, 0};
      break;
    case CL_Check_F2DispCH:
      k = kKindFunction;
      r = {1, 1};
      break;
    default:
      k = kKindNone;
      break;
  }
  if (kind) *kind = k;
  return r;
}

QByteArray labelZeroBased(int index) { return QByteArray::number(index); }
QByteArray labelOneBased(int index) { return QByteArray::number(index + 1); }
QByteArray bankLetter(int bank) { return QByteArray(1, char('A' + bank)); }

QByteArray scanEdgeLabel(int edge) {
  return QByteArray::number(edge / 2 + 1) + (edge % 2 == 0 ? "A" : "B");
}

QByteArray dtmfLabel(int memory) { return "d" + QByteArray::number(memory, 16).toUpper(); }

QByteArray emergencyLabel(int value) {
  if (value == kEmergencyVFO) return "VFO";
  if (value == kEmergencyCall) return "CALL";
  if (value >= 1 && value <= 200) return QByteArray::number(value - 1);
  if (value >= 201 && value <= 206) return scanEdgeLabel(value - 201);
  return {};
}

QByteArray displayChannelLabel(int channel) {
  if (channel < kFirstScanEdge || channel > kCallChannel) return QByteArray::number(channel);
  const int pair = (channel - kFirstScanEdge) / 2;
  QByteArray text;
  text += pair >= 10 ? char('0' + pair / 10 % 10) : ' ';
  text += char('0' + pair % 10);
  text += channel % 2 == 0 ? 'A' : 'B';
  return text;
}

QByteArray weatherChannelLabel(int weather) { return QByteArray::number(weather + 1); }

QByteArray marineLabel(const char* name6) { return QByteArray(name6, 6); }

}  // namespace numbering
