#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "base/cmcBuff.h"

namespace {
std::vector<uint8_t> bytesOf(const cmcBuff& b) { return {b.Data(), b.Data() + b.Length()}; }

cmcBuff counting(int n) {
  cmcBuff b;
  for (int i = 0; i < n; ++i) b.Append(static_cast<uint8_t>(i * 7));
  return b;
}
}  // namespace

TEST(cmcBuff, FreshAndClearedBufferIsOneEmptyByteBlock) {
  cmcBuff b;
  EXPECT_EQ(b.Length(), 0);
  EXPECT_EQ(b.Capacity(), 1);
  b.AppendRepeated(0xAA, 50);
  b.PopFront();
  b.Clear();
  EXPECT_EQ(b.Length(), 0);
  EXPECT_EQ(b.Capacity(), 1);
  EXPECT_EQ(b.FrontOffset(), 0);
}

TEST(cmcBuff, PopFrontOnEmptyReturnsMinusOneAndChangesNothing) {
  cmcBuff b;
  b.Append(0x41);
  EXPECT_EQ(b.PopFront(), 0x41);
  const int capacity = b.Capacity();
  const int front = b.FrontOffset();
  EXPECT_EQ(b.PopFront(), -1);
  EXPECT_EQ(b.PopFront(), -1);
  EXPECT_EQ(b.Length(), 0);
  EXPECT_EQ(b.Capacity(), capacity);
  EXPECT_EQ(b.FrontOffset(), front);
}

TEST(cmcBuff, PopFrontReturnsBytesAsUnsigned) {
  cmcBuff b;
  const uint8_t in[] = {0xFF, 0x80, 0x00};
  b.Append(in, 3);
  EXPECT_EQ(b.PopFront(), 255);
  EXPECT_EQ(b.PopFront(), 128);
  EXPECT_EQ(b.PopFront(), 0);
}

TEST(cmcBuff, QueueCompactsAfter4096TakenAndKeepsTheRest) {
  cmcBuff b;
  std::vector<uint8_t> src(6000);
  for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<uint8_t>(i % 251);
  b.Assign(src.data(), 6000);
  for (int i = 0; i < 5000; ++i) {
    ASSERT_EQ(b.PopFront(), src[static_cast<size_t>(i)]) << "pop " << i;
    // Taking from the front is constant time until the front has moved past 4096 bytes.
    if (i == 4095) {
      EXPECT_EQ(b.FrontOffset(), 4096);
    }
  }
  EXPECT_EQ(b.Length(), 1000);
  EXPECT_EQ(bytesOf(b), std::vector<uint8_t>(src.begin() + 5000, src.end()));
  // Compacted once, at the 4097th byte, into a block of exactly the 1903 bytes left then.
  EXPECT_EQ(b.FrontOffset(), 5000 - 4097);
  EXPECT_EQ(b.Capacity(), 1000);
  // The queue keeps working after compaction.
  b.Append(0x5A);
  EXPECT_EQ(b.At(1000), 0x5A);
}

TEST(cmcBuff, ResizeFillsGrowthWithZeroAndKeepsBytesWithinCapacity) {
  cmcBuff b;
  b.AppendRepeated(0xEE, 8);
  b.Resize(20);
  EXPECT_EQ(b.Capacity(), 20 + 8 / 4);  // a quarter of the old length as slack
  for (int i = 8; i < 20; ++i) EXPECT_EQ(b.At(i), 0) << i;
  b.At(15) = 0x33;
  b.Resize(4);
  EXPECT_EQ(b.Capacity(), 22);  // shrinking keeps the block
  b.Resize(20);
  EXPECT_EQ(b.At(0), 0xEE);
  EXPECT_EQ(b.At(7), 0xEE);
  EXPECT_EQ(b.At(15), 0x33);
  b.Resize(-5);
  EXPECT_EQ(b.Length(), 0);
}

TEST(cmcBuff, GrowthAfterPopsMovesOnlyLiveBytes) {
  cmcBuff b = counting(10);
  b.PopFront();
  b.PopFront();
  b.AppendRepeated(1, 100);  // forces a new block
  EXPECT_EQ(b.FrontOffset(), 0);
  EXPECT_EQ(b.Length(), 108);
  EXPECT_EQ(b.At(0), 14);
  EXPECT_EQ(b.At(7), 63);
  EXPECT_EQ(b.At(8), 1);
}

TEST(cmcBuff, AppendAssignAndCopyIncludingFromItself) {
  cmcBuff a = counting(5);
  cmcBuff b;
  b.Append(a);
  b.Append(b);  // doubles
  EXPECT_EQ(b.Length(), 10);
  EXPECT_EQ(b.At(9), a.At(4));

  // Appending a slice of its own bytes while growing must not read the freed block.
  cmcBuff c = counting(3);
  while (c.Capacity() > c.Length()) c.Append(0);
  const int n = c.Length();
  c.Append(c.Data(), n);
  ASSERT_EQ(c.Length(), 2 * n);
  for (int i = 0; i < n; ++i) EXPECT_EQ(c.At(n + i), c.At(i)) << i;

  c.Assign(c.Data() + 1, 2);  // a slice of itself
  EXPECT_EQ(bytesOf(c), (std::vector<uint8_t>{7, 14}));
  c.CopyFrom(c);
  EXPECT_EQ(c.Length(), 2);
  b.CopyFrom(c);
  EXPECT_EQ(bytesOf(b), bytesOf(c));
  b.Assign(nullptr, 3);
  EXPECT_EQ(b.Length(), 0);
  b.Append(nullptr, 3);
  b.AppendRepeated(9, -1);
  EXPECT_EQ(b.Length(), 0);
}

TEST(cmcBuffDeathTest, IndexOutsideLiveBytesEndsTheProgram) {
  cmcBuff b = counting(4);
  b.PopFront();
  EXPECT_DEATH(b.At(3), "Out of cmcBuff element !");
  EXPECT_DEATH(b.At(-1), "Out of cmcBuff element !");
  const cmcBuff& cb = b;
  EXPECT_DEATH(cb.At(3), "Out of cmcBuff element !");
  EXPECT_EQ(b.At(2), 21);
}
