#include <gtest/gtest.h>

#include "base/cmcTick.h"

TEST(cmcTick, CountsDownOnTheClockAndStaysAtZero) {
  uint32_t now = 1000;
  ScopedTickClock clock([&] { return now; });

  cmcTick t;
  EXPECT_EQ(t.Remaining(), 0u);  // never started
  EXPECT_FALSE(t.running());

  t.Start(300);
  EXPECT_EQ(t.Remaining(), 300u);
  now += 299;
  EXPECT_EQ(t.Remaining(), 1u);
  EXPECT_TRUE(t.running());
  now += 1;
  EXPECT_EQ(t.Remaining(), 0u);
  EXPECT_FALSE(t.running());
  now -= 200;  // once ended it never comes back, whatever the clock does
  EXPECT_EQ(t.Remaining(), 0u);

  t.Start(0);
  EXPECT_EQ(t.Remaining(), 0u);
}

TEST(cmcTick, SurvivesTheTickCountWrapping) {
  uint32_t now = 0xFFFFFFF0u;
  ScopedTickClock clock([&] { return now; });
  cmcTick t;
  t.Start(100);
  now = 0x10;  // 32 ms later, past the wrap
  EXPECT_EQ(t.Remaining(), 68u);
  now = 0x54;  // exactly 100 ms
  EXPECT_EQ(t.Remaining(), 0u);
}

TEST(cmcTick, RealClockIsMonotonicAfterTheOverrideGoes) {
  {
    ScopedTickClock clock([] { return 5u; });
    EXPECT_EQ(cmcTick::Now(), 5u);
  }
  cmcTick t;
  t.Start(60000);
  EXPECT_GT(t.Remaining(), 59000u);
  EXPECT_LE(t.Remaining(), 60000u);
}
