#include <gtest/gtest.h>

#include "files/cmcRecent.h"
#include "files/etcdata.h"

TEST(EtcData, PacksTheKnownValues) {
  struct Case {
    int code;
    bool a, b, c, d;
    uint32_t packed;
  };
  const Case cases[] = {
      {16, false, false, false, false, 4194305u},
      {0, false, false, false, false, 0u},
      {3, true, false, true, false, 802884u},
  };
  for (const Case& k : cases) {
    EXPECT_EQ(packEtcData(k.code, k.a, k.b, k.c, k.d), k.packed) << k.code;
    const EtcData e = unpackEtcData(k.packed);
    EXPECT_TRUE(e.valid);
    EXPECT_EQ(e.code, k.code);
    EXPECT_EQ(e.a, k.a);
    EXPECT_EQ(e.c, k.c);
  }
}

TEST(EtcData, EveryCodeAndFlagSetRoundTripsAndAnySingleFlippedBitIsInvalid) {
  for (int code = 0; code < 32; ++code) {
    for (int flags = 0; flags < 16; ++flags) {
      const bool a = flags & 1, b = flags & 2, c = flags & 4, d = flags & 8;
      const uint32_t v = packEtcData(code, a, b, c, d);
      const EtcData e = unpackEtcData(v);
      ASSERT_TRUE(e.valid) << code << " " << flags;
      ASSERT_EQ(e.code, code);
      ASSERT_EQ(std::tuple(e.a, e.b, e.c, e.d), std::tuple(a, b, c, d));
      for (int bit = 0; bit < 32; ++bit) {
        ASSERT_FALSE(unpackEtcData(v ^ (1u << bit)).valid)
            << code << " " << flags << " bit " << bit;
      }
    }
  }
}

TEST(cmcRecent, SamePathInOtherCaseLeavesOneEntryOnTopInTheLatestCase) {
  cmcRecent r;
  r.addFirst("C:\\Radio\\Club.qev");
  r.addFirst("C:\\Radio\\Home.qev");
  r.addFirst("c:\\radio\\CLUB.QEV");
  ASSERT_EQ(r.count(), 2);
  EXPECT_EQ(r.entry(0), "c:\\radio\\CLUB.QEV");
  EXPECT_EQ(r.entry(1), "C:\\Radio\\Home.qev");
  r.append("C:\\RADIO\\home.qev");  // loading: same rule, at the end
  EXPECT_EQ(r.count(), 2);
  EXPECT_EQ(r.entry(1), "C:\\RADIO\\home.qev");
}

TEST(cmcRecent, ElevenSavesLeaveTenAndTheOldestGoes) {
  cmcRecent r;
  for (int i = 0; i < 11; ++i) r.addFirst(QStringLiteral("/data/f%1.qev").arg(i));
  ASSERT_EQ(r.count(), 10);
  EXPECT_EQ(r.entry(0), "/data/f10.qev");
  EXPECT_EQ(r.entry(9), "/data/f1.qev");
  EXPECT_EQ(r.entry(10), QString());
  EXPECT_EQ(r.entry(-1), QString());
  r.clear();
  EXPECT_EQ(r.count(), 0);
}

TEST(cmcRecent, EmptyPathsMakeNoEntry) {
  // The stored list has empty values past its end; loading them must not add blank entries.
  cmcRecent r;
  r.append("/a.qev");
  r.append("");
  r.append("");
  r.addFirst("");
  EXPECT_EQ(r.count(), 1);
}

TEST(cmcRecent, EntryIsShortenedToTheFileNameInTheReferenceDirectory) {
  cmcRecent r;
  r.append("C:\\Radio\\Club.qev");
  r.append("/home/ann/qev/x.qev");
  r.append("NoDir.qev");
  struct Case {
    int i;
    const char* reference;
    const char* shown;
  } cases[] = {
      {0, "C:\\Radio", "Club.qev"},
      {0, "c:\\RADIO\\", "Club.qev"},  // letter case and trailing backslash ignored
      {0, "C:\\Radio\\Sub", "C:\\Radio\\Club.qev"},
      {0, "C:\\", "C:\\Radio\\Club.qev"},
      {0, "", "C:\\Radio\\Club.qev"},
      {1, "/home/ann/qev/", "x.qev"},
      {1, "/home/ann", "/home/ann/qev/x.qev"},
      {2, "", "NoDir.qev"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(r.entry(c.i, QString::fromUtf8(c.reference)), QString::fromUtf8(c.shown))
        << c.i << " " << c.reference;
  }
}
