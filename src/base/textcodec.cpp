#include "base/textcodec.h"

#include <QStringDecoder>
#include <QStringEncoder>

QString fromCp932(const QByteArray& bytes) {
  QStringDecoder decoder("Shift_JIS");
  if (!decoder.isValid()) return QString::fromLatin1(bytes);
  return decoder.decode(bytes);
}

QString fromCp932(const char* bytes) { return fromCp932(QByteArray(bytes)); }

QByteArray toCp932(const QString& text) {
  QStringEncoder encoder("Shift_JIS");
  if (!encoder.isValid()) return text.toLatin1();
  return encoder.encode(text);
}
