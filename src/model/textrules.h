#pragma once

#include <QByteArray>
#include <cstdint>

// Character rules of the transceiver's text fields: names, comments and DTMF digits. All texts are
// code page 932 bytes.

// Names are limited to the transceiver's character set: lower-case letters become upper-case;
// digits, A-Z and the punctuation 0x21-0x2F, 0x3A-0x40, 0x5B-0x5E stay; every other byte becomes a
// space (including '_' and '`').
void nameFilter(uint8_t* bytes, int length);
QByteArray nameFilter(const QByteArray& bytes);

// Folds a typed text to the forms the transceiver can store: full-width forms become half-width,
// hiragana become katakana, a double-byte character whose second byte is missing or invalid becomes
// a space, and half-width katakana (single bytes 0xA1-0xDF) are dropped. Double-byte characters
// that remain are kept whole.
QByteArray foldTypedText(const QByteArray& cp932);

// Writes `text` into a fixed field of `length` bytes, space-padded. A double-byte character that
// would not fit whole is left out rather than split.
void writeFixedText(uint8_t* field, int length, const QByteArray& text);

// The field's bytes with trailing spaces removed.
QByteArray fixedText(const uint8_t* field, int length);

// DTMF memories: 24 four-bit digit codes in bytes 0..11 (high nibble first), count in byte 15.
constexpr int kDtmfMemorySize = 16;
constexpr int kDtmfMaxDigits = 24;
constexpr int kDtmfCountByte = 15;

// The digit shown for a code 0..15: "0123456789ABCD*#".
char dtmfDigitChar(int code);
// The code of a typed DTMF character (digits, a-f, A-F, '*' as E, '#' as F), or -1.
int dtmfCodeOf(char c);
// Stores the digits of `typed` (other characters dropped, at most maxDigits taken) into a 16-byte
// memory: all digit positions are cleared first, bytes 12..14 are left alone.
void dtmfStore(uint8_t* memory, const QByteArray& typed, int maxDigits = kDtmfMaxDigits);
// The memory's digits as text. A count above maxDigits is corrected in the memory first.
QByteArray dtmfText(uint8_t* memory, int maxDigits = kDtmfMaxDigits);
