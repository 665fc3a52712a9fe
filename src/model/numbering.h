#pragma once

#include <QByteArray>

// Channel index spaces, the roles of their sub-ranges, the labels channels are shown with and
// the ranges the checks and row edits work on.
namespace numbering {

// Conventional channels (kind 1): one index space 0..306.
constexpr int kFirstMemory = 0;
constexpr int kLastMemory = 199;
constexpr int kMemoryBlockSize = 100;  // two pages: 0..99 and 100..199
constexpr int kFirstScanEdge = 200;
constexpr int kLastScanEdge = 205;
constexpr int kCallChannel = 206;
constexpr int kFirstMarine = 207;
constexpr int kLastMarine = 306;
constexpr int kConventionalCount = 307;
constexpr int kMarineCount = 100;
// Function memories (kind 2) and weather channels (kind 7).
constexpr int kFunctionMemoryCount = 2;  // 0 = F-1, 1 = F-2
constexpr int kWeatherCount = 10;

struct IndexRange {
  int first;
  int last;  // inclusive
  bool contains(int i) const { return i >= first && i <= last; }
  bool operator==(const IndexRange&) const = default;
};

// The four role tests; each is false for any kind other than the conventional one.
bool isMemory(int kind, int index);
bool isScanEdge(int kind, int index);
bool isCall(int kind, int index);
bool isMarine(int kind, int index);

// Marine number 0..99 <-> channel index 207..306 (settings offsets 41 and 42 keep numbers).
constexpr int marineNumber(int index) { return index - kFirstMarine; }
constexpr int marineIndex(int number) { return number + kFirstMarine; }
// Scan-edge pair p = 1..3: A is 198 + 2p, B is 199 + 2p.
constexpr int scanEdgeIndex(int pair, bool b) { return 198 + 2 * pair + (b ? 1 : 0); }

// Per-kind index range (popup-menu enabling): kind 0: 0..0, kind 1: 0..306, above: unlimited.
IndexRange kindRange(int kind);
// Kinds whose rows can be copied, carried, cleared, deleted and inserted.
int rowEditFlags(int kind);
bool supportsRowEdits(int kind);
// The rows a row edit on (kind, index) works on: the block of 100 of a memory channel,
// 200..205 for a scan edge, 206..206 for any other conventional index, 0..1 for a function
// memory. {0, -1} (empty) for other kinds.
IndexRange rowEditRange(int kind, int index);

// Channels a summary check link (CL_Check_MemoryCH0 .. CL_Check_F2DispCH) covers, with the
// channel kind in `kind`; an empty range for any other link.
IndexRange checkRange(int link, int* kind = nullptr);

// Name display for all channels works on 0..206; the display-mode channel M on 0..205.
constexpr IndexRange kNameDisplayRange{0, kCallChannel};
constexpr IndexRange kDisplayMemoryRange{0, kLastScanEdge};

// Emergency channel values: 0 VFO, 1..206 channel index + 1, 207 CALL.
constexpr int kEmergencyVFO = 0;
constexpr int kEmergencyCall = 207;
constexpr int emergencyValueOf(int index) { return index + 1; }  // for indexes 0..205
// The channel index of an emergency value 1..206, or -1 for VFO, CALL and anything else.
constexpr int emergencyChannelOf(int value) {
  return (value >= 1 && value <= 206) ? value - 1 : -1;
}

// Labels (ASCII, so also valid code page 932).
QByteArray labelZeroBased(int index);         // CL_Misc_ChNo_0Base
QByteArray labelOneBased(int index);          // CL_Misc_ChNo_1Base
QByteArray bankLetter(int bank);              // CL_Misc_BankNm: "A".."J"
QByteArray scanEdgeLabel(int edge);           // CL_Misc_ChNo_Edge, 0..5: 1A..3B
QByteArray dtmfLabel(int memory);             // CL_DTMF_ChNo: d0..dF
QByteArray emergencyLabel(int value);         // VFO, 0..199, 1A..3B, CALL
QByteArray displayChannelLabel(int channel);  // CL_Disp_ChNo: 200 is " 0A"
QByteArray weatherChannelLabel(int weather);  // 1..10
QByteArray marineLabel(const char* name6);    // a marine row shows its name

}  // namespace numbering
