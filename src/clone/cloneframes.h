#pragma once

#include <QByteArray>
#include <cstdint>

#include "clone/clonetypes.h"

// Frames on the cloning cable: FE FE, destination, source, command, payload, FD.
namespace cloneframe {
inline constexpr uint8_t kPreamble = 0xFE;
inline constexpr uint8_t kEnd = 0xFD;
inline constexpr uint8_t kAddrTransceiver = 0xEE;
inline constexpr uint8_t kAddrProgram = 0xEF;

inline constexpr uint8_t kCmdIdentify = 0xE0;
inline constexpr uint8_t kCmdIdentifyReply = 0xE1;
inline constexpr uint8_t kCmdReadRequest = 0xE2;
inline constexpr uint8_t kCmdWriteRequest = 0xE3;
inline constexpr uint8_t kCmdData = 0xE4;
inline constexpr uint8_t kCmdEnd = 0xE5;
inline constexpr uint8_t kCmdWriteResult = 0xE6;
inline constexpr uint8_t kCmdSpeedChange = 0xE8;

// The fixed frames, as hexadecimal text; the placeholders take the model code and sub code.
inline constexpr char kIdentifyText[] = "FEFE EE EF E0 %04X %04X FD";
inline constexpr char kReadRequestText[] = "FEFE EE EF E2 %04X %04X FD";
inline constexpr char kWriteRequestText[] = "FEFE EE EF E3 %04X %04X FD";
inline constexpr char kDataHeadText[] = "FEFE EE EF E4";
inline constexpr char kEndHeadText[] = "FEFE EE EF E5 5A 65 6C 6B 20 49 6E 63 2E";

inline constexpr char kCompany[] = "Zelk Inc.";
inline constexpr int kCompanyLength = 9;

// Longest frame buffer while a clone read runs (a 522nd byte ends the read) and while one reply
// is awaited (a longer buffer is thrown away as malformed).
inline constexpr int kMaxReadFrame = 521;
inline constexpr int kMaxReplyFrame = 520;
}  // namespace cloneframe

// Hexadecimal text to bytes: digits of either case are nibbles, every other character is skipped,
// and an odd last nibble becomes a byte with 0 in its low half.
QByteArray HexTextToBytes(const QByteArray& text);

// `preamble` bytes 0xFE, then the frame text filled with the two codes and converted.
QByteArray BuildRequest(const char* commandText, int preamble, int model, int sub);

// Payload of a data frame: "%04X%02X" of address and count, the bytes, the checksum.
QByteArray DataFramePayload(const cmcEeprom& image, int address, int count);
// Two's complement of the 8-bit sum of the address bytes, the count and the data bytes.
uint8_t DataChecksum(int address, const uint8_t* data, int count);
// A data frame from the program: preamble, FE FE EE EF E4, payload, FD.
QByteArray BuildDataFrame(const cmcEeprom& image, int address, int count, int preamble);
// Bytes in the next data frame: up to the next multiple of the block size, not past `last`.
int DataFrameLength(int address, int blockSize, int last);
// The end-of-transfer frame, with the frame count (mod 256) when counting is on.
QByteArray BuildEndFrame(int frameCount, bool countingOn);

// Any frame, with the given addresses (no preamble).
QByteArray BuildFrame(uint8_t destination, uint8_t source, uint8_t command, const QByteArray& payload);

// Cuts received bytes into frames. 0xFE starts a frame afresh, bytes outside a frame are noise,
// 0xFD ends a frame. A frame as handed on is FE, destination, source, command, payload.
class FrameAssembler {
 public:
  enum Result { kNone, kFrame, kOverflow };

  explicit FrameAssembler(int maxLength = cloneframe::kMaxReadFrame) : maxLength_(maxLength) {}

  // kFrame: frame() holds a complete frame until the next Feed. kOverflow: the buffer would have
  // passed the length limit and was emptied.
  Result Feed(uint8_t byte);
  const QByteArray& frame() const { return frame_; }
  int pending() const { return static_cast<int>(buffer_.size()); }
  void setMaxLength(int n) { maxLength_ = n; }
  void Reset() { buffer_.clear(); }

 private:
  QByteArray buffer_;
  QByteArray frame_;
  int maxLength_;
};

// What data frames of a clone read are decoded into.
struct CloneReadState {
  CloneResult* result = nullptr;  // image and loaded bits
  int imageSize = 0;
  bool countInEndFrame = true;
  int frameCount = 0;   // data frames stored so far
  int transferred = 0;  // data bytes stored so far (progress)
};

// A frame received during a clone read (data or end frame): 1 stored, 0 end frame good, else
// the failure status (6, 7, 9).
int DecodeFrame(const QByteArray& frame, CloneReadState& state);
// The hexadecimal text of a data frame: 1 stored, 6 malformed, 9 outside the image.
int DecodeDataFrame(const QByteArray& payload, CloneReadState& state);
// The end frame's payload against the frame count: 0, 6 (not the end text) or 7 (count differs).
int CheckEndFrame(const QByteArray& payload, int frameCount, bool countingOn);
// Loaded addresses against the read ranges: 0, 8 (something missing) or 9 (something extra).
// A null range list gives 8.
int CheckReadCoverage(const AddressRanges* ranges, std::vector<uint8_t>& loadedBits, int imageSize);
// The transceiver's write result: 0 for FE EF EE E6 00, 10 for anything else.
int CheckWriteResult(const QByteArray& frame);

// An identification reply: 0 (codes and clone information filled in), 5 (our own request came
// back on a cable without echo) or 6 (malformed, or codes not packed BCD).
int EvaluateIdentifyReply(const QByteArray& frame, bool echo, int* model, int* sub, QByteArray* cloneInfo);
