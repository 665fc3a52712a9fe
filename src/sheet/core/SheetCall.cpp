#include "sheet/core/SheetCall.h"

#include <QList>

const char* sheetClassName(SheetClass sheetClass) {
  switch (sheetClass) {
    case SheetClass::Common:
      return "iuiSh_Common";
    case SheetClass::ColCut:
      return "iuiSh_ColCut";
    case SheetClass::Channel:
      return "iuiSh_ColCut_A";
    case SheetClass::Plain:
      break;
  }
  return "cuiSheet";
}

SheetCall SheetCall::parse(QByteArrayView callString) {
  SheetCall call;
  call.callString = callString.toByteArray();
  QByteArrayView rest = callString;
  if (rest.startsWith('[')) {
    const qsizetype close = rest.indexOf(']');
    if (close >= 0) {
      call.state = rest.sliced(1, close - 1).toByteArray();
      rest = rest.sliced(close + 1);
    }
  }
  const qsizetype comma = rest.indexOf(',');
  if (comma < 0) {
    call.name = rest.toByteArray();
  } else {
    call.name = rest.first(comma).toByteArray();
    call.arguments = rest.sliced(comma + 1).toByteArray();
  }
  return call;
}

SheetClass SheetCall::sheetClass() const {
  if (state == "St_Common") return SheetClass::Common;
  if (state == "St_ColCut") return SheetClass::Channel;
  return SheetClass::Plain;
}

int SheetCall::leadingNumber(QByteArrayView text, int absent) {
  text = text.trimmed();
  // A leading number: "12abc" reads 12, "abc" reads as no number.
  qsizetype i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  const qsizetype digitsFrom = i;
  int64_t value = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    value = value * 10 + (text[i++] - '0');
    if (value > INT32_MAX) value = INT32_MAX;
  }
  if (i == digitsFrom) return absent;
  return static_cast<int>(negative ? -value : value);
}

int SheetCall::argumentNumber(int n, int absent) const {
  if (arguments.isEmpty() || n < 0) return absent;
  const QList<QByteArray> fields = arguments.split(',');
  if (n >= fields.size()) return absent;
  return leadingNumber(fields[n], absent);
}
