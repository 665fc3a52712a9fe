#include "model/textrules.h"

#include <unicode/translit.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <memory>

#include "base/textcodec.h"

namespace {

bool isTrailByte(unsigned char c) { return c >= 0x40 && c <= 0xFC && c != 0x7F; }

// A lead byte without a valid second byte becomes a space; the byte after it stands alone.
QByteArray repairPairs(const QByteArray& in) {
  QByteArray out = in;
  for (int i = 0; i < out.size(); ++i) {
    const auto c = static_cast<unsigned char>(out[i]);
    if (!isCp932LeadByte(c)) continue;
    if (i + 1 < out.size() && isTrailByte(static_cast<unsigned char>(out[i + 1]))) {
      ++i;
    } else {
      out[i] = ' ';
    }
  }
  return out;
}

// The transliterator is built once; building it parses ICU's rule data.
const icu::Transliterator* japaneseFolding() {
  static const std::unique_ptr<icu::Transliterator> instance = [] {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Transliterator> t(icu::Transliterator::createInstance(
        icu::UnicodeString::fromUTF8("Hiragana-Katakana; Fullwidth-Halfwidth"), UTRANS_FORWARD,
        status));
    if (U_FAILURE(status)) t.reset();
    return t;
  }();
  return instance.get();
}

QString foldUnicode(const QString& text) {
  const icu::Transliterator* t = japaneseFolding();
  if (!t) return text;
  icu::UnicodeString u(reinterpret_cast<const UChar*>(text.utf16()),
                       static_cast<int32_t>(text.size()));
  t->transliterate(u);
  return QString(reinterpret_cast<const QChar*>(u.getBuffer()), u.length());
}

}  // namespace

void nameFilter(uint8_t* bytes, int length) {
  for (int i = 0; i < length; ++i) {
    uint8_t c = bytes[i];
    if (c >= 'a' && c <= 'z') c = static_cast<uint8_t>(c - 'a' + 'A');
    const bool keep = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
                      (c >= 0x21 && c <= 0x2F) || (c >= 0x3A && c <= 0x40) ||
                      (c >= 0x5B && c <= 0x5E);
    bytes[i] = keep ? c : ' ';
  }
}

QByteArray nameFilter(const QByteArray& bytes) {
  QByteArray out = bytes;
  nameFilter(reinterpret_cast<uint8_t*>(out.data()), static_cast<int>(out.size()));
  return out;
}

QByteArray foldTypedText(const QByteArray& cp932) {
  const QByteArray folded = repairPairs(toCp932(foldUnicode(fromCp932(repairPairs(cp932)))));
  QByteArray out;
  out.reserve(folded.size());
  for (int i = 0; i < folded.size(); ++i) {
    const auto c = static_cast<unsigned char>(folded[i]);
    if (isCp932LeadByte(c) && i + 1 < folded.size()) {
      out.append(folded[i]);
      out.append(folded[++i]);
    } else if (c < 0xA1 || c > 0xDF) {
      out.append(folded[i]);
    }
  }
  return out;
}

void writeFixedText(uint8_t* field, int length, const QByteArray& text) {
  int n = 0;
  for (int i = 0; i < text.size() && n < length;) {
    const auto c = static_cast<unsigned char>(text[i]);
    const bool pair = isCp932LeadByte(c) && i + 1 < text.size();
    if (pair) {
      if (n + 2 > length) break;
      field[n++] = c;
      field[n++] = static_cast<uint8_t>(text[i + 1]);
      i += 2;
    } else {
      field[n++] = c;
      ++i;
    }
  }
  std::fill(field + n, field + length, static_cast<uint8_t>(' '));
}

QByteArray fixedText(const uint8_t* field, int length) {
  int n = length;
  while (n > 0 && field[n - 1] == ' ') --n;
  return QByteArray(reinterpret_cast<const char*>(field), n);
}

char dtmfDigitChar(int code) { return "0123456789ABCD*#"[code & 0x0F]; }

int dtmfCodeOf(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c == '*') return 14;
  if (c == '#') return 15;
  return -1;
}

void dtmfStore(uint8_t* memory, const QByteArray& typed, int maxDigits) {
  maxDigits = std::clamp(maxDigits, 0, kDtmfMaxDigits);
  std::fill(memory, memory + kDtmfMaxDigits / 2, static_cast<uint8_t>(0));
  int count = 0;
  for (char c : typed) {
    const int code = dtmfCodeOf(c);
    if (code < 0) continue;
    if (count >= maxDigits) break;
    uint8_t& b = memory[count / 2];
    b = (count % 2 == 0) ? static_cast<uint8_t>((b & 0x0F) | (code << 4))
                         : static_cast<uint8_t>((b & 0xF0) | code);
    ++count;
  }
  memory[kDtmfCountByte] = static_cast<uint8_t>(count);
}

QByteArray dtmfText(uint8_t* memory, int maxDigits) {
  maxDigits = std::clamp(maxDigits, 0, kDtmfMaxDigits);
  if (memory[kDtmfCountByte] > maxDigits) memory[kDtmfCountByte] = static_cast<uint8_t>(maxDigits);
  const int count = memory[kDtmfCountByte];
  QByteArray out;
  for (int k = 0; k < count; ++k) {
    const uint8_t b = memory[k / 2];
    out.append(dtmfDigitChar(k % 2 == 0 ? b >> 4 : b & 0x0F));
  }
  return out;
}
