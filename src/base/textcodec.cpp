#include "base/textcodec.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {

bool isAscii(const QByteArray& bytes) {
  for (char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// Whether the code page's single bytes 0x00..0x7F are the same characters as ASCII here. Painting
// converts every cell text on every paint; opening a converter for text that is plain ASCII
// (nearly all of it) costs more than the painting. Checked once, so a codec that maps the
// backslash or the tilde elsewhere keeps its own answer.
bool asciiIsIdentity() {
  static const bool identity = [] {
    QByteArray all(0x80, 0);
    for (int i = 0; i < 0x80; ++i) all[i] = static_cast<char>(i);
    QStringDecoder decoder("Shift_JIS");
    return decoder.isValid() && decoder.decode(all) == QString::fromLatin1(all);
  }();
  return identity;
}

}  // namespace

QString fromCp932(const QByteArray& bytes) {
  if (isAscii(bytes) && asciiIsIdentity()) return QString::fromLatin1(bytes);
  QStringDecoder decoder("Shift_JIS");
  if (!decoder.isValid()) return QString::fromLatin1(bytes);
  return decoder.decode(bytes);
}

QString fromCp932(const char* bytes) { return fromCp932(QByteArray(bytes)); }

QByteArray toCp932(const QString& text) {
  bool ascii = true;
  for (QChar c : text) {
    if (c.unicode() >= 0x80) {
      ascii = false;
      break;
    }
  }
  if (ascii && asciiIsIdentity()) return text.toLatin1();
  QStringEncoder encoder("Shift_JIS");
  if (!encoder.isValid()) return text.toLatin1();
  return encoder.encode(text);
}
