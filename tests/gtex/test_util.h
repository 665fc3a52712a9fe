#pragma once

#include <QByteArray>
#include <ostream>

// Readable failure messages for byte strings.
inline void PrintTo(const QByteArray& bytes, std::ostream* os) {
  *os << '"' << bytes.toStdString() << '"';
}
