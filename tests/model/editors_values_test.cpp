#include <gtest/gtest.h>

#include <random>

#include "model/editor_values.h"
#include "model/frequency.h"

namespace {

std::vector<QByteArray> toneTexts() {
  std::vector<QByteArray> texts;
  for (int t : kCtcssTonesTenthHz)
    texts.push_back(QByteArray::number(t / 10) + "." + QByteArray::number(t % 10));
  return texts;
}

// Random and hostile typed texts: long runs, non-ASCII, signs, dots, lead bytes at the end.
std::vector<QByteArray> hostileTexts() {
  std::vector<QByteArray> texts = {"",
                                   " ",
                                   "-",
                                   "--1",
                                   "-.5",
                                   ".",
                                   "....",
                                   "1.2.3.4",
                                   "+7",
                                   "99999999999999999999",
                                   "-99999999999999999999",
                                   "0.00000049999",
                                   "0.0000005",
                                   QByteArray(10000, '9'),
                                   QByteArray(10000, '.'),
                                   QByteArray("1\x81", 2),
                                   QByteArray("\x82\x41"
                                              "B",
                                              3),
                                   QByteArray("12\xE0", 3),
                                   "\xEF\xBC\x91",
                                   "1e9",
                                   "0x10",
                                   "nan",
                                   "inf",
                                   "2147483648",
                                   "-2147483649",
                                   "1A",
                                   "99B",
                                   "-1A",
                                   "V",
                                   "c",
                                   "9999A"};
  std::mt19937 random(77);
  const char alphabet[] = "0123456789.-+ abAB\x81\xE0\xFF\t";
  for (int i = 0; i < 3000; ++i) {
    QByteArray t;
    const int n = static_cast<int>(random() % 24);
    for (int k = 0; k < n; ++k) {
      t.append(i % 2 ? static_cast<char>(random() % 256)
                     : alphabet[random() % (sizeof alphabet - 1)]);
    }
    texts.push_back(t);
  }
  return texts;
}

}  // namespace

TEST(EditorValues, ReadsNumbersExactly) {
  struct Case {
    const char* text;
    int64_t scale;
    int64_t value;
  };
  const Case cases[] = {
      {"145.5", 1000000, 145500000},
      {"145.0125", 1000000, 145012500},
      {"1.0000005", 1000000, 1000001},  // a half rounds away from zero, without float error
      {"-1.0000005", 1000000, -1000001},
      {"1.00000049", 1000000, 1000000},
      {"", 1, 0},
      {"-", 1, 0},
      {".", 1, 0},
      {"-.5", 1, -1},
      {"1.2.3", 10, 12},
      {"1-2", 1, 1},
      {"--5", 1, 0},
      {"99999999999", 1, 2147483647},
      {"-99999999999", 1, -2147483648LL},
      {"2147.483648", 1000000, 2147483647},
  };
  for (const Case& c : cases) EXPECT_EQ(readScaledNumber(c.text, c.scale), c.value) << c.text;
  EXPECT_EQ(numericChars("a1b2.3-4x5678901234"), "12.3-4567");
}

TEST(EditorValues, TypedFrequencies) {
  struct Case {
    QByteArray typed;
    int64_t min, max;
    std::optional<int64_t> hz;
  };
  const Case cases[] = {
      {"145.5", kRangeLowHz, kRangeHighHz, 145500000},
      {"130", kRangeLowHz, kRangeHighHz, 136000000},
      {"999", kRangeLowHz, kRangeHighHz, 174000000},
      {"174", kRangeLowHz, kRangeHighHz, 174000000},
      {"146.0100009", kRangeLowHz, kRangeHighHz, 146010000},  // cut after nine characters
      {"1 4 6 . 5", kRangeLowHz, kRangeHighHz, 146500000},    // blanks are dropped
      {"", kRangeLowHz, kRangeHighHz, std::nullopt},
      // A decimal comma is the decimal point; what is not one number stores nothing.
      {"145,5", kRangeLowHz, kRangeHighHz, 145500000},
      {"0,6", 0, 20000000, 600000},
      {"abc", kRangeLowHz, kRangeHighHz, std::nullopt},
      {"-", 0, 20000000, std::nullopt},
      {"145.5.5", kRangeLowHz, kRangeHighHz, std::nullopt},
      {"1,455.5", kRangeLowHz, kRangeHighHz, std::nullopt},
      {"-5", 0, 20000000, 0},
      {"0.6", 0, 20000000, 600000},
      {"25", 0, 20000000, 20000000},
  };
  for (const Case& c : cases)
    EXPECT_EQ(parseFrequencyText(c.typed, c.min, c.max), c.hz) << c.typed.constData();
  EXPECT_EQ(frequencyText(146010000), "146.010000");
  EXPECT_EQ(frequencyText(600000), "  0.600000");
  EXPECT_EQ(frequencyText(4294967295LL), "4294.967295");
}

TEST(EditorValues, TypedAndSteppedNumbers) {
  // Foghorn-like: 200..850 in steps of 10; temporary volume 0..32; shown one above the store.
  EXPECT_EQ(parseNumberText("205", 200, 850, 0, 10), 210);
  EXPECT_EQ(parseNumberText("204.4", 200, 850, 0, 10), 200);  // 204, then to the step
  EXPECT_EQ(parseNumberText("9999", 200, 850, 0, 10), 850);
  EXPECT_EQ(parseNumberText("10", 0, 31, 1, 1), 9);
  EXPECT_EQ(parseNumberText("0", 0, 31, 1, 1), 0);
  EXPECT_EQ(parseNumberText("x", 0, 32, 0, 1), 0);
  EXPECT_EQ(parseNumberText("", 0, 32, 0, 1), std::nullopt);

  EXPECT_EQ(stepNumber(850, 200, 850, 10, +1), 200);  // wraps past the top
  EXPECT_EQ(stepNumber(200, 200, 850, 10, -1), 850);
  EXPECT_EQ(stepNumber(205, 200, 850, 10, +1), 210);  // then rounds down to the step
  EXPECT_EQ(stepNumber(0, 0, 32, 1, -1), 32);
}

TEST(EditorValues, ChannelChooser) {
  struct Case {
    QByteArray typed;
    int64_t min, max, offset;
    std::optional<int64_t> value;
  };
  const Case cases[] = {
      {"1B", 0, 205, 0, 203},   {"7", 0, 205, 0, 7},
      {" 0a ", 0, 205, 0, 200}, {"02B", 0, 205, 0, 205},
      {"9A", 0, 205, 0, 205},                        // clamped
      {"150", 0, 205, 0, 150},  {"10", 0, 9, 1, 9},  // weather channels shown 1..10
      {"0", 0, 9, 1, 0},        {"", 0, 205, 0, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(parseChannelChooserText(c.typed, c.min, c.max, c.offset), c.value)
        << c.typed.constData();
  }
  EXPECT_EQ(channelChooserText(200, 0), " 0A");
  EXPECT_EQ(channelChooserText(203, 0), " 1B");
  EXPECT_EQ(channelChooserText(199, 0), "199");
  EXPECT_EQ(channelChooserText(9, 1), "10");
}

TEST(EditorValues, EmergencyChannel) {
  const auto inUse = [](int index) { return index == 0 || index == 12 || index == 203; };
  struct Case {
    QByteArray typed;
    bool offer;
    std::optional<int> value;
  };
  const Case cases[] = {
      {"12", false, 13},
      {"0", false, 1},
      {"2b", false, 204},
      {" 2B ", true, 204},
      {"5", false, std::nullopt},  // channel 5 is empty
      {"vfo", true, 0},
      {"call", true, 207},
      {"vfo", false, std::nullopt},  // not offered, and names no channel
      {"4A", false, std::nullopt},   // no pair 4
      {"200", false, std::nullopt},
      {"-1", false, std::nullopt},
  };
  for (const Case& c : cases)
    EXPECT_EQ(parseEmergencyText(c.typed, c.offer, inUse), c.value) << c.typed.constData();
}

TEST(EditorValues, NearestToneAndPatternText) {
  const auto tones = toneTexts();
  EXPECT_EQ(nearestByNumber("88", tones), 8);  // 88.5
  EXPECT_EQ(nearestByNumber("90", tones), 9);  // 91.5
  EXPECT_EQ(nearestByNumber(" 254.1 ", tones), 49);
  EXPECT_EQ(nearestByNumber("1", tones), 0);
  EXPECT_EQ(nearestByNumber("9999", tones), 49);
  EXPECT_EQ(nearestByNumber("x", {}), -1);
  EXPECT_EQ(bitPatternText(0x201, 1, 10), "A________J\n");
  EXPECT_EQ(bitPatternText(0, 1, 10), "__________\n");
}

TEST(EditorValues, HostileTextsStayInsideEveryFieldRange) {
  const auto tones = toneTexts();
  const auto inUse = [](int) { return true; };
  for (const QByteArray& t : hostileTexts()) {
    if (auto hz = parseFrequencyText(t, kRangeLowHz, kRangeHighHz)) {
      EXPECT_GE(*hz, kRangeLowHz);
      EXPECT_LE(*hz, kRangeHighHz);
      const int64_t snapped = snapFrequency(*hz, false);
      EXPECT_GE(snapped, kRangeLowHz);
      EXPECT_LE(snapped, kRangeHighHz);
    }
    if (auto off = parseFrequencyText(t, 0, 20000000)) {
      EXPECT_GE(*off, 0);
      EXPECT_LE(*off, 20000000);
    }
    if (auto v = parseNumberText(t, 200, 850, 0, 10)) {
      EXPECT_GE(*v, 200);
      EXPECT_LE(*v, 850);
      EXPECT_EQ(*v % 10, 0);
    }
    if (auto v = parseNumberText(t, 0, 31, 1, 1)) {
      EXPECT_GE(*v, 0);
      EXPECT_LE(*v, 31);
    }
    if (auto v = parseChannelChooserText(t, 0, 205, 0)) {
      EXPECT_GE(*v, 0);
      EXPECT_LE(*v, 205);
    }
    if (auto v = parseEmergencyText(t, true, inUse)) {
      EXPECT_GE(*v, 0);
      EXPECT_LE(*v, 207);
    }
    const int tone = nearestByNumber(t, tones);
    EXPECT_GE(tone, 0);
    EXPECT_LT(tone, kToneCount);
  }
}
