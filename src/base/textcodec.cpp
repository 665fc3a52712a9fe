#include "base/textcodec.h"

#include <QStringDecoder>
#include <QStringEncoder>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

#ifdef Q_OS_WIN
// Qt without ICU knows no Shift_JIS on Windows; the system's own code page 932 is the one the
// transceiver's character set was taken from.
constexpr UINT kCodePage932 = 932;

QString decode932(const QByteArray& bytes) {
  if (bytes.isEmpty()) return QString();
  const int n = MultiByteToWideChar(kCodePage932, 0, bytes.constData(),
                                    static_cast<int>(bytes.size()), nullptr, 0);
  QString text(n, Qt::Uninitialized);
  MultiByteToWideChar(kCodePage932, 0, bytes.constData(), static_cast<int>(bytes.size()),
                      reinterpret_cast<wchar_t*>(text.data()), n);
  return text;
}

QByteArray encode932(const QString& text) {
  if (text.isEmpty()) return QByteArray();
  const auto* wide = reinterpret_cast<const wchar_t*>(text.utf16());
  const int n = WideCharToMultiByte(kCodePage932, 0, wide, static_cast<int>(text.size()), nullptr,
                                    0, nullptr, nullptr);
  QByteArray bytes(n, Qt::Uninitialized);
  WideCharToMultiByte(kCodePage932, 0, wide, static_cast<int>(text.size()), bytes.data(), n,
                      nullptr, nullptr);
  return bytes;
}
#endif

// Bytes below 0x80: Latin-1 is then the answer if the code page reads them as ASCII.
// `plain` tells whether they also avoid the backslash and the tilde, the only two places where a
// Japanese code page's single bytes may differ from ASCII (the yen sign and the overline of
// JIS X 0201); such a text reads the same in every variant, with no converter needed.
bool isAscii(const QByteArray& bytes, bool& plain) {
  plain = true;
  for (char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
    if (c == '\\' || c == '~') plain = false;
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
#ifdef Q_OS_WIN
    return decode932(all) == QString::fromLatin1(all);
#else
    QStringDecoder decoder("Shift_JIS");
    return decoder.isValid() && decoder.decode(all) == QString::fromLatin1(all);
#endif
  }();
  return identity;
}

}  // namespace

QString fromCp932(const QByteArray& bytes) {
  bool plain = true;
  if (isAscii(bytes, plain) && (plain || asciiIsIdentity())) return QString::fromLatin1(bytes);
#ifdef Q_OS_WIN
  return decode932(bytes);
#else
  QStringDecoder decoder("Shift_JIS");
  if (!decoder.isValid()) return QString::fromLatin1(bytes);
  return decoder.decode(bytes);
#endif
}

QString fromCp932(const char* bytes) { return fromCp932(QByteArray(bytes)); }

QByteArray toCp932(const QString& text) {
  bool ascii = true;
  bool plain = true;
  for (QChar c : text) {
    if (c.unicode() >= 0x80) {
      ascii = false;
      break;
    }
    if (c == QLatin1Char('\\') || c == QLatin1Char('~')) plain = false;
  }
  if (ascii && (plain || asciiIsIdentity())) return text.toLatin1();
#ifdef Q_OS_WIN
  return encode932(text);
#else
  QStringEncoder encoder("Shift_JIS");
  if (!encoder.isValid()) return text.toLatin1();
  return encoder.encode(text);
#endif
}
