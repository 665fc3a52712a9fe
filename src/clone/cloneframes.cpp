#include "clone/cloneframes.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

using namespace cloneframe;

namespace {
const char kHexDigits[] = "0123456789ABCDEF";

int nibbleOf(char c, bool lowerCaseAllowed) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (lowerCaseAllowed && c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

void appendHexByte(QByteArray& out, uint8_t b) {
  out.append(kHexDigits[b >> 4]);
  out.append(kHexDigits[b & 0x0F]);
}

bool isPackedBcd(uint8_t b) { return (b >> 4) <= 9 && (b & 0x0F) <= 9; }

void setLoadedBit(std::vector<uint8_t>& bits, int address) {
  bits[static_cast<size_t>(address / 8)] |= static_cast<uint8_t>(1u << (address % 8));
}
}  // namespace

int rangeListCount(const AddressRanges& ranges) {
  int n = 0;
  for (const AddressRange& r : ranges) {
    if (r.last < r.first) break;
    ++n;
  }
  return n;
}

int rangeListBytes(const AddressRanges& ranges) {
  int total = 0;
  const int n = rangeListCount(ranges);
  for (int i = 0; i < n; ++i) total += ranges[static_cast<size_t>(i)].last - ranges[static_cast<size_t>(i)].first + 1;
  return total;
}

QByteArray HexTextToBytes(const QByteArray& text) {
  QByteArray out;
  out.reserve(text.size() / 2 + 1);
  int high = -1;
  for (char c : text) {
    const int v = nibbleOf(c, true);
    if (v < 0) continue;
    if (high < 0) {
      high = v;
    } else {
      out.append(static_cast<char>((high << 4) | v));
      high = -1;
    }
  }
  if (high >= 0) out.append(static_cast<char>(high << 4));
  return out;
}

QByteArray BuildRequest(const char* commandText, int preamble, int model, int sub) {
  char text[128];
  std::snprintf(text, sizeof text, commandText, static_cast<unsigned>(model & 0xFFFF),
                static_cast<unsigned>(sub & 0xFFFF));
  QByteArray out(preamble > 0 ? preamble : 0, static_cast<char>(kPreamble));
  out.append(HexTextToBytes(QByteArray(text)));
  return out;
}

uint8_t DataChecksum(int address, const uint8_t* data, int count) {
  unsigned sum = static_cast<unsigned>(address & 0xFF) + static_cast<unsigned>((address >> 8) & 0xFF) +
                 static_cast<unsigned>(count & 0xFF);
  for (int i = 0; i < count; ++i) sum += data[i];
  return static_cast<uint8_t>(0x100 - (sum & 0xFF));
}

QByteArray DataFramePayload(const cmcEeprom& image, int address, int count) {
  char head[16];
  std::snprintf(head, sizeof head, "%04X%02X", static_cast<unsigned>(address & 0xFFFF),
                static_cast<unsigned>(count & 0xFF));
  QByteArray out(head);
  out.reserve(8 + 2 * count);
  for (int i = 0; i < count; ++i) appendHexByte(out, image.getByte(address + i));
  const uint8_t* data = image.data() + address;
  appendHexByte(out, DataChecksum(address, data, count));
  return out;
}

QByteArray BuildFrame(uint8_t destination, uint8_t source, uint8_t command, const QByteArray& payload) {
  QByteArray out;
  out.reserve(6 + payload.size());
  out.append(static_cast<char>(kPreamble));
  out.append(static_cast<char>(kPreamble));
  out.append(static_cast<char>(destination));
  out.append(static_cast<char>(source));
  out.append(static_cast<char>(command));
  out.append(payload);
  out.append(static_cast<char>(kEnd));
  return out;
}

QByteArray BuildDataFrame(const cmcEeprom& image, int address, int count, int preamble) {
  QByteArray out(preamble > 0 ? preamble : 0, static_cast<char>(kPreamble));
  out.append(HexTextToBytes(kDataHeadText));
  out.append(DataFramePayload(image, address, count));
  out.append(static_cast<char>(kEnd));
  return out;
}

int DataFrameLength(int address, int blockSize, int last) {
  int n = blockSize - (address % blockSize);
  if (address + n - 1 > last) n = last - address + 1;
  return n;
}

QByteArray BuildEndFrame(int frameCount, bool countingOn) {
  QByteArray out = HexTextToBytes(kEndHeadText);
  if (countingOn) {
    char count[8];
    std::snprintf(count, sizeof count, "%02X", static_cast<unsigned>(frameCount & 0xFF));
    out.append(count);
  }
  out.append(static_cast<char>(kEnd));
  return out;
}

FrameAssembler::Result FrameAssembler::Feed(uint8_t byte) {
  if (byte == kPreamble) {
    buffer_.clear();
    buffer_.append(static_cast<char>(byte));
    return kNone;
  }
  if (buffer_.isEmpty()) return kNone;  // noise between frames
  if (byte == kEnd) {
    frame_ = buffer_;
    buffer_.clear();
    return kFrame;
  }
  if (buffer_.size() + 1 > maxLength_) {
    buffer_.clear();
    return kOverflow;
  }
  buffer_.append(static_cast<char>(byte));
  return kNone;
}

int DecodeDataFrame(const QByteArray& payload, CloneReadState& state) {
  const int m = static_cast<int>(payload.size());
  if (m % 2 != 0) return kCloneIllegalData;
  std::vector<uint8_t> bytes(static_cast<size_t>(m / 2));
  for (int i = 0; i < m; i += 2) {
    const int hi = nibbleOf(payload[i], false);
    const int lo = nibbleOf(payload[i + 1], false);
    if (hi < 0 || lo < 0) return kCloneIllegalData;
    bytes[static_cast<size_t>(i / 2)] = static_cast<uint8_t>((hi << 4) | lo);
  }
  if (bytes.size() < 4) return kCloneIllegalData;
  const int n = bytes[2];
  if (static_cast<int>(bytes.size()) != n + 4) return kCloneIllegalData;
  unsigned sum = 0;
  for (uint8_t b : bytes) sum += b;
  if ((sum & 0xFF) != 0) return kCloneIllegalData;

  const int a = bytes[0] * 256 + bytes[1];
  CloneResult& r = *state.result;
  if (a + n > state.imageSize || a + n > r.image.size()) return kCloneDataOverflow;
  if (n > 0) r.image.writeBlock(a, bytes.data() + 3, n);
  const size_t need = static_cast<size_t>((a + n + 7) / 8);
  if (r.loadedBits.size() < need) r.loadedBits.resize(need, 0);
  for (int x = a; x < a + n; ++x) setLoadedBit(r.loadedBits, x);
  state.transferred += n;
  return kCloneStored;
}

int CheckEndFrame(const QByteArray& payload, int frameCount, bool countingOn) {
  QByteArray expected(kCompany);
  if (countingOn) {
    char count[8];
    std::snprintf(count, sizeof count, "%02X", static_cast<unsigned>(frameCount & 0xFF));
    expected.append(count);
  }
  if (payload.size() != expected.size() || !payload.startsWith(kCompany)) return kCloneIllegalData;
  return payload == expected ? kCloneOk : kCloneCountError;
}

int DecodeFrame(const QByteArray& frame, CloneReadState& state) {
  const int L = static_cast<int>(frame.size());
  if (L < 12 || L > 522) return kCloneIllegalData;
  if (static_cast<uint8_t>(frame[0]) != kPreamble || static_cast<uint8_t>(frame[1]) != kAddrProgram ||
      static_cast<uint8_t>(frame[2]) != kAddrTransceiver)
    return kCloneIllegalData;
  const uint8_t command = static_cast<uint8_t>(frame[3]);
  const QByteArray payload = frame.mid(4);
  if (command == kCmdData) {
    const int status = DecodeDataFrame(payload, state);
    if (status == kCloneStored) ++state.frameCount;
    return status;
  }
  if (command == kCmdEnd) return CheckEndFrame(payload, state.frameCount, state.countInEndFrame);
  return kCloneIllegalData;
}

int CheckReadCoverage(const AddressRanges* ranges, std::vector<uint8_t>& loadedBits, int imageSize) {
  if (!ranges) return kCloneNotEnoughData;
  const size_t bytes = static_cast<size_t>((imageSize + 7) / 8);
  std::vector<uint8_t> required(bytes, 0);
  const int n = rangeListCount(*ranges);
  for (int i = 0; i < n; ++i) {
    const AddressRange& r = (*ranges)[static_cast<size_t>(i)];
    for (int x = std::max(r.first, 0); x <= r.last && x < imageSize; ++x) setLoadedBit(required, x);
  }
  if (loadedBits.size() > bytes) return kCloneDataOverflow;
  loadedBits.resize(bytes, 0);
  if (loadedBits == required) return kCloneOk;
  for (size_t i = 0; i < bytes; ++i)
    if (loadedBits[i] & ~required[i]) return kCloneDataOverflow;
  return kCloneNotEnoughData;
}

int CheckWriteResult(const QByteArray& frame) {
  static const char kGood[] = {char(0xFE), char(0xEF), char(0xEE), char(0xE6), char(0x00)};
  return frame == QByteArray(kGood, 5) ? kCloneOk : kCloneWriteFailed;
}

int EvaluateIdentifyReply(const QByteArray& frame, bool echo, int* model, int* sub, QByteArray* cloneInfo) {
  const auto at = [&](int i) { return static_cast<uint8_t>(frame[i]); };
  if (frame.size() < 8 || at(0) != kPreamble) return kCloneIllegalData;
  if (!echo && at(1) == kAddrTransceiver && at(2) == kAddrProgram && at(3) == kCmdIdentify) return kCloneNoAnswer;
  if (at(1) != kAddrProgram || at(2) != kAddrTransceiver || at(3) != kCmdIdentifyReply) return kCloneIllegalData;
  for (int i = 4; i < 8; ++i)
    if (!isPackedBcd(at(i))) return kCloneIllegalData;
  if (model) *model = at(4) << 8 | at(5);
  if (sub) *sub = at(6) << 8 | at(7);
  if (cloneInfo) *cloneInfo = frame.mid(8);
  return kCloneOk;
}
