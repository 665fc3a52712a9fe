#include <gtest/gtest.h>

#include <random>

#include "base/textcodec.h"
#include "model/textrules.h"

namespace {

// What a six-character name field holds after a text was typed into it.
QByteArray typedName(const QByteArray& typed, int length = 6) {
  QByteArray field(length, '\x01');
  writeFixedText(reinterpret_cast<uint8_t*>(field.data()), length, foldTypedText(typed));
  return nameFilter(field);
}

QByteArray cp932(const char* utf8) { return toCp932(QString::fromUtf8(utf8)); }

}  // namespace

TEST(TextRules, TypedNamesFollowTheTransceiversCharacterSet) {
  struct Case {
    QByteArray typed;
    QByteArray stored;
  };
  const Case cases[] = {
      {"ab_c?", "AB C? "},
      {"", "      "},
      {"1234567", "123456"},               // cut to the field
      {"x`{|}~", "X     "},                // 0x60 and 0x7B..0x7E are not in the set
      {"[\\]^@:", "[\\]^@:"},              // punctuation that stays
      {cp932("ＡＢｃ１"), "ABC1  "},       // full-width forms become half-width
      {cp932("あア漢Z"), "  Z   "},        // kana dropped; the kanji's two bytes become spaces
      {QByteArray("A\x81", 2), "A     "},  // a lead byte without its second byte
  };
  for (const Case& c : cases)
    EXPECT_EQ(typedName(c.typed), c.stored) << c.typed.toHex().constData();
}

TEST(TextRules, FoldingDropsKanaAndKeepsDoubleByteCharactersWhole) {
  EXPECT_EQ(foldTypedText(cp932("ひらがなカタカナｶﾀｶﾅabc")), "abc");
  EXPECT_EQ(foldTypedText(cp932("漢字")), cp932("漢字"));
  // 0xBF is a trail byte here, not half-width katakana: the pair survives.
  EXPECT_EQ(foldTypedText(QByteArray("\x8A\xBF", 2)), QByteArray("\x8A\xBF", 2));
  EXPECT_EQ(foldTypedText(cp932("　！")), " !");  // ideographic space and full-width '!'
  QByteArray ascii;  // comments keep every printable ASCII byte as it is
  for (char c = 0x20; c < 0x7F; ++c) ascii.append(c);
  EXPECT_EQ(foldTypedText(ascii), ascii);
}

TEST(TextRules, FixedFieldsNeverSplitADoubleByteCharacter) {
  uint8_t field[4];
  writeFixedText(field, 4, cp932("ab漢"));  // exactly fits
  EXPECT_EQ(fixedText(field, 4), cp932("ab漢"));
  writeFixedText(field, 4, cp932("abc漢"));  // the kanji would be cut in half
  EXPECT_EQ(QByteArray(reinterpret_cast<char*>(field), 4), "abc ");
  EXPECT_EQ(fixedText(field, 4), "abc");
}

TEST(TextRules, DtmfDigitsStoreAndShow) {
  uint8_t memory[kDtmfMemorySize];
  std::fill(std::begin(memory), std::end(memory), 0xEE);
  dtmfStore(memory, "12*#a");
  EXPECT_EQ(memory[0], 0x12);
  EXPECT_EQ(memory[1], 0xEF);
  EXPECT_EQ(memory[2], 0xA0);
  for (int i = 3; i < 12; ++i) EXPECT_EQ(memory[i], 0) << i;
  EXPECT_EQ(memory[12], 0xEE);  // bytes 12..14 belong to nobody here
  EXPECT_EQ(memory[14], 0xEE);
  EXPECT_EQ(memory[kDtmfCountByte], 5);
  EXPECT_EQ(dtmfText(memory), "12*#A");

  dtmfStore(memory, "x9-g 8");  // other characters are dropped
  EXPECT_EQ(dtmfText(memory), "98");
  dtmfStore(memory, QByteArray(30, '7'));  // at most 24 digits
  EXPECT_EQ(memory[kDtmfCountByte], 24);

  memory[kDtmfCountByte] = 200;  // a broken count is corrected in the memory when shown
  EXPECT_EQ(dtmfText(memory).size(), 24);
  EXPECT_EQ(memory[kDtmfCountByte], 24);
}

TEST(TextRules, HostileTypedTextStaysInsideTheField) {
  std::mt19937 random(1234);
  for (int round = 0; round < 2000; ++round) {
    QByteArray typed;
    const int n = round % 50 == 0 ? 5000 : static_cast<int>(random() % 40);
    for (int i = 0; i < n; ++i) typed.append(static_cast<char>(random() % 256));
    if (round % 3 == 0) typed.append('\x81');  // a lead byte at the very end
    uint8_t field[18];
    std::fill(std::begin(field), std::end(field), 0x5A);
    writeFixedText(field + 1, 16, foldTypedText(typed));
    EXPECT_EQ(field[0], 0x5A);
    EXPECT_EQ(field[17], 0x5A);
    // No lead byte is left without its second byte.
    for (int i = 1; i <= 16; ++i) {
      if (isCp932LeadByte(field[i])) {
        ASSERT_LT(i, 16);
        ++i;
      }
    }
    nameFilter(field + 1, 6);
    for (int i = 1; i <= 6; ++i) EXPECT_TRUE(field[i] >= 0x20 && field[i] <= 0x5E) << int(field[i]);

    uint8_t memory[kDtmfMemorySize] = {};
    dtmfStore(memory, typed);
    EXPECT_LE(memory[kDtmfCountByte], kDtmfMaxDigits);
  }
}
