#include <gtest/gtest.h>

#include "clone/cloneframes.h"

namespace {
QByteArray bytes(std::initializer_list<int> list) {
  QByteArray out;
  for (int b : list) out.append(static_cast<char>(b));
  return out;
}

// A frame from the transceiver as the assembler hands it on (one FE, no FD).
QByteArray fromTransceiver(uint8_t command, const QByteArray& payload) {
  QByteArray f = bytes({0xFE, 0xEF, 0xEE, command});
  return f + payload;
}

struct ReadFixture {
  CloneResult result;
  CloneReadState state;
  explicit ReadFixture(int size = 0x3000) {
    result.image.setSize(size);
    state.result = &result;
    state.imageSize = size;
  }
};
}  // namespace

TEST(HexText, ConvertsFilledRequestsAndOddNibbles) {
  EXPECT_EQ(BuildRequest(cloneframe::kIdentifyText, 0, 0x3251, 0x0000),
            bytes({0xFE, 0xFE, 0xEE, 0xEF, 0xE0, 0x32, 0x51, 0x00, 0x00, 0xFD}));
  EXPECT_EQ(BuildRequest(cloneframe::kReadRequestText, 3, 0x3251, 0x0000).left(6),
            bytes({0xFE, 0xFE, 0xFE, 0xFE, 0xFE, 0xEE}));
  EXPECT_EQ(HexTextToBytes("ABC"), bytes({0xAB, 0xC0}));
  EXPECT_EQ(HexTextToBytes("fe Fd, x9"), bytes({0xFE, 0xFD, 0x90}));
  EXPECT_EQ(HexTextToBytes(""), QByteArray());
}

TEST(DataFrames, PayloadChecksumAndLength) {
  cmcEeprom img(0x3000);
  img.setByte(0, 0x12);
  img.setByte(1, 0x34);
  EXPECT_EQ(DataChecksum(0, img.data(), 2), 0xB8);
  EXPECT_EQ(DataFramePayload(img, 0, 2), QByteArray("0000021234B8"));

  const QByteArray frame = BuildDataFrame(img, 0x1880, 32, 0);
  EXPECT_EQ(frame.size(), 78);
  EXPECT_TRUE(frame.startsWith(bytes({0xFE, 0xFE, 0xEE, 0xEF, 0xE4})));
  EXPECT_EQ(frame.mid(5, 6), QByteArray("188020"));
  EXPECT_EQ(static_cast<uint8_t>(frame.back()), 0xFD);
  EXPECT_EQ(BuildDataFrame(img, 0, 2, 2).left(3), bytes({0xFE, 0xFE, 0xFE}));

  // Frames stop at block boundaries and at the range end.
  EXPECT_EQ(DataFrameLength(0x0000, 32, 0x0C7F), 32);
  EXPECT_EQ(DataFrameLength(0x0CE0, 32, 0x0CEF), 16);
  EXPECT_EQ(DataFrameLength(0x1880, 32, 0x1880), 1);
  EXPECT_EQ(DataFrameLength(0x1888, 32, 0x188F), 8);
  EXPECT_EQ(DataFrameLength(0x0005, 32, 0x0100), 27);
}

TEST(DataFrames, EndFrameWithAndWithoutCount) {
  const QByteArray company("Zelk Inc.");
  EXPECT_EQ(BuildEndFrame(0x1C5, true), bytes({0xFE, 0xFE, 0xEE, 0xEF, 0xE5}) + company + "C5" + bytes({0xFD}));
  EXPECT_EQ(BuildEndFrame(7, false), bytes({0xFE, 0xFE, 0xEE, 0xEF, 0xE5}) + company + bytes({0xFD}));
}

TEST(FrameAssembler, DropsNoiseAndCollapsesPreambles) {
  FrameAssembler a(cloneframe::kMaxReplyFrame);
  QByteArray got;
  int frames = 0;
  for (char c : bytes({0x00, 0x41, 0xFD, 0xFE, 0xFE, 0xFE, 0xEF, 0xEE, 0xE6, 0x00, 0xFD, 0x13})) {
    if (a.Feed(static_cast<uint8_t>(c)) == FrameAssembler::kFrame) {
      got = a.frame();
      ++frames;
    }
  }
  EXPECT_EQ(frames, 1);
  EXPECT_EQ(got, bytes({0xFE, 0xEF, 0xEE, 0xE6, 0x00}));
  EXPECT_EQ(CheckWriteResult(got), kCloneOk);
  EXPECT_EQ(CheckWriteResult(bytes({0xFE, 0xEF, 0xEE, 0xE6, 0x01})), kCloneWriteFailed);
  EXPECT_EQ(CheckWriteResult(bytes({0xFE, 0xEF, 0xEE, 0xE6, 0x00, 0x00})), kCloneWriteFailed);
}

TEST(FrameAssembler, LengthLimits) {
  // A read frame may hold 521 bytes; the 522nd overflows. A reply may hold 520.
  for (int limit : {cloneframe::kMaxReadFrame, cloneframe::kMaxReplyFrame}) {
    FrameAssembler a(limit);
    a.Feed(0xFE);
    for (int i = 1; i < limit; ++i) ASSERT_EQ(a.Feed(0x30), FrameAssembler::kNone) << limit << " " << i;
    EXPECT_EQ(a.pending(), limit);
    EXPECT_EQ(a.Feed(0x30), FrameAssembler::kOverflow) << limit;
    EXPECT_EQ(a.pending(), 0);
  }
}

TEST(DecodeRead, StoresGoodDataFramesAndCountsThem) {
  ReadFixture f;
  EXPECT_EQ(DecodeFrame(fromTransceiver(0xE4, "0000021234B8"), f.state), kCloneStored);
  EXPECT_EQ(f.result.image.getByte(0), 0x12);
  EXPECT_EQ(f.result.image.getByte(1), 0x34);
  EXPECT_EQ(f.state.frameCount, 1);
  EXPECT_EQ(f.state.transferred, 2);
  ASSERT_EQ(f.result.loadedBits.size(), 1u);
  EXPECT_EQ(f.result.loadedBits[0], 0x03);

  cmcEeprom src(0x3000);
  for (int i = 0; i < 32; ++i) src.setByte(0x1880 + i, static_cast<uint8_t>(0xA0 + i));
  EXPECT_EQ(DecodeFrame(fromTransceiver(0xE4, DataFramePayload(src, 0x1880, 32)), f.state), kCloneStored);
  EXPECT_EQ(f.result.image.getByte(0x189F), 0xBF);
  EXPECT_EQ(f.result.loadedBits.size(), static_cast<size_t>(0x18A0 / 8));
  EXPECT_EQ(f.state.transferred, 34);
}

TEST(DecodeRead, MalformedDataFramesStoreNothing) {
  struct Case {
    const char* what;
    QByteArray payload;
    int status;
  };
  const Case cases[] = {
      {"lower-case digit", "0000021234b8", kCloneIllegalData},
      {"odd length", "0000021234B", kCloneIllegalData},
      {"wrong length byte", "0000031234B7", kCloneIllegalData},
      {"wrong checksum", "0000021234B9", kCloneIllegalData},
      {"not hex", "00000212G4B8", kCloneIllegalData},
      {"too short", "0000", kCloneIllegalData},
      {"past the image end", "2FFF0212348A", kCloneDataOverflow},
  };
  for (const Case& c : cases) {
    ReadFixture f;
    EXPECT_EQ(DecodeFrame(fromTransceiver(0xE4, c.payload), f.state), c.status) << c.what;
    EXPECT_EQ(f.result.image.getByte(0), 0) << c.what;
    EXPECT_TRUE(f.result.loadedBits.empty()) << c.what;
    EXPECT_EQ(f.state.frameCount, 0) << c.what;
    EXPECT_EQ(f.state.transferred, 0) << c.what;
  }
  // The past-the-end case must fail only because of its address: its checksum is right.
  EXPECT_EQ(DataChecksum(0x2FFF, reinterpret_cast<const uint8_t*>("\x12\x34"), 2), 0x8A);
}

TEST(DecodeRead, FrameHeaderAndCommandChecks) {
  ReadFixture f;
  QByteArray wrongDirection = bytes({0xFE, 0xEE, 0xEF, 0xE4}) + "0000021234B8";
  EXPECT_EQ(DecodeFrame(wrongDirection, f.state), kCloneIllegalData);
  EXPECT_EQ(DecodeFrame(fromTransceiver(0xE6, "00000000"), f.state), kCloneIllegalData);
  EXPECT_EQ(DecodeFrame(bytes({0xFE, 0xEF, 0xEE, 0xE4}) + "0000", f.state), kCloneIllegalData);  // < 12
}

TEST(DecodeRead, EndFrameCount) {
  EXPECT_EQ(CheckEndFrame("Zelk Inc.C5", 197, true), kCloneOk);
  EXPECT_EQ(CheckEndFrame("Zelk Inc.C4", 197, true), kCloneCountError);  // one less than received
  EXPECT_EQ(CheckEndFrame("Zelk Inc.00", 256, true), kCloneOk);
  EXPECT_EQ(CheckEndFrame("Zelk Inc.", 197, false), kCloneOk);
  EXPECT_EQ(CheckEndFrame("Zelk Inc.", 197, true), kCloneIllegalData);
  EXPECT_EQ(CheckEndFrame("Zelk Ltd.C5", 197, true), kCloneIllegalData);
  EXPECT_EQ(CheckEndFrame("Zelk Inc.c5", 197, true), kCloneCountError);

  ReadFixture f;
  f.state.frameCount = 3;
  EXPECT_EQ(DecodeFrame(fromTransceiver(0xE5, "Zelk Inc.03"), f.state), kCloneOk);
  EXPECT_EQ(DecodeFrame(fromTransceiver(0xE5, "Zelk Inc.02"), f.state), kCloneCountError);
}

TEST(DecodeRead, Coverage) {
  const AddressRanges ranges{{0x0000, 0x000F}, {0x0020, 0x0027}, {1, 0}, {0x0030, 0x0030}};
  auto bitsFor = [](std::initializer_list<std::pair<int, int>> spans) {
    std::vector<uint8_t> bits;
    for (auto [first, last] : spans) {
      for (int x = first; x <= last; ++x) {
        if (bits.size() <= static_cast<size_t>(x / 8)) bits.resize(static_cast<size_t>(x / 8 + 1), 0);
        bits[static_cast<size_t>(x / 8)] |= static_cast<uint8_t>(1u << (x % 8));
      }
    }
    return bits;
  };
  auto check = [&](std::vector<uint8_t> bits, const AddressRanges* r = nullptr) {
    return CheckReadCoverage(r, bits, 0x40);
  };
  EXPECT_EQ(check(bitsFor({{0x00, 0x0F}, {0x20, 0x27}}), &ranges), kCloneOk);
  EXPECT_EQ(check(bitsFor({{0x00, 0x0E}, {0x20, 0x27}}), &ranges), kCloneNotEnoughData);
  // Something outside the ranges (the pair behind the end marker does not count).
  EXPECT_EQ(check(bitsFor({{0x00, 0x0F}, {0x20, 0x27}, {0x30, 0x30}}), &ranges), kCloneDataOverflow);
  EXPECT_EQ(check(bitsFor({{0x00, 0x0E}, {0x30, 0x30}}), &ranges), kCloneDataOverflow);
  EXPECT_EQ(check(std::vector<uint8_t>(9, 0), &ranges), kCloneDataOverflow);  // longer than the image
  EXPECT_EQ(check(bitsFor({{0x00, 0x0F}, {0x20, 0x27}})), kCloneNotEnoughData);  // no range list
}

TEST(IdentifyReply, EvaluatesCodesAndInformation) {
  const QByteArray info(42, 'i');
  int model = 0, sub = 0;
  QByteArray got;
  EXPECT_EQ(EvaluateIdentifyReply(fromTransceiver(0xE1, bytes({0x32, 0x51, 0x00, 0x04}) + info), true, &model,
                                  &sub, &got),
            kCloneOk);
  EXPECT_EQ(model, 0x3251);
  EXPECT_EQ(sub, 0x0004);
  EXPECT_EQ(got, info);

  const QByteArray ownRequest = bytes({0xFE, 0xEE, 0xEF, 0xE0, 0x32, 0x51, 0x00, 0x00});
  struct Case {
    const char* what;
    QByteArray frame;
    bool echo;
    int status;
  };
  const Case cases[] = {
      {"model byte 0x5A is not BCD", fromTransceiver(0xE1, bytes({0x32, 0x5A, 0x00, 0x04})), true, kCloneIllegalData},
      {"sub byte 0xA0 is not BCD", fromTransceiver(0xE1, bytes({0x32, 0x51, 0xA0, 0x04})), true, kCloneIllegalData},
      {"too short", bytes({0xFE, 0xEF, 0xEE, 0xE1, 0x32, 0x51, 0x00}), true, kCloneIllegalData},
      {"own request without echo", ownRequest, false, kCloneNoAnswer},
      {"own request with echo", ownRequest, true, kCloneIllegalData},
      {"another command", fromTransceiver(0xE6, bytes({0x00, 0x00, 0x00, 0x00})), false, kCloneIllegalData},
  };
  for (const Case& c : cases) EXPECT_EQ(EvaluateIdentifyReply(c.frame, c.echo, nullptr, nullptr, nullptr), c.status) << c.what;
}
