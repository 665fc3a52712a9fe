#pragma once

#include <QByteArray>
#include <QString>

// The program's texts (resource text, names in the image) are code page 932 (Shift-JIS) bytes.
// Conversion to and from Unicode happens here and only at the edges (display, typing, files
// shown to the user).
QString fromCp932(const QByteArray& bytes);
QString fromCp932(const char* bytes);
QByteArray toCp932(const QString& text);

// True for a byte that starts a double-byte character in code page 932.
inline bool isCp932LeadByte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xEF);
}
