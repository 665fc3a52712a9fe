#include "files/csvfields.h"

namespace csvfields {

QList<QByteArray> readRecord(QByteArrayView text, qsizetype* pos, char separator,
                             bool* unterminated) {
  QList<QByteArray> fields;
  QByteArray field;
  qsizetype i = *pos;
  const qsizetype n = text.size();
  if (unterminated) *unterminated = false;
  bool atFieldStart = true;
  while (i < n) {
    const char c = text[i];
    if (atFieldStart) {
      // Look past leading spaces for an opening quote; without one the spaces are data.
      qsizetype j = i;
      while (j < n && text[j] == ' ') ++j;
      if (j < n && text[j] == '"') {
        i = j + 1;
        bool closed = false;
        while (i < n) {
          if (text[i] == '"') {
            if (i + 1 < n && text[i + 1] == '"') {
              field += '"';
              i += 2;
              continue;
            }
            ++i;
            closed = true;
            break;
          }
          field += text[i++];
        }
        if (!closed && unterminated) *unterminated = true;
        atFieldStart = false;
        continue;
      }
      atFieldStart = false;
      continue;
    }
    if (c == separator) {
      fields.append(field);
      field.clear();
      atFieldStart = true;
      ++i;
      continue;
    }
    if (c == '\r' || c == '\n') {
      ++i;
      if (c == '\r' && i < n && text[i] == '\n') ++i;
      break;
    }
    field += c;
    ++i;
  }
  fields.append(field);
  *pos = i;
  return fields;
}

QList<QList<QByteArray>> readRecords(QByteArrayView text, char separator) {
  QList<QList<QByteArray>> records;
  qsizetype pos = 0;
  while (pos < text.size()) records.append(readRecord(text, &pos, separator));
  return records;
}

QByteArray quoteField(QByteArrayView field, char separator) {
  bool quote = false;
  for (const char c : field)
    quote = quote || c == separator || c == '"' || c == '\r' || c == '\n';
  if (!quote) return field.toByteArray();
  QByteArray out;
  out.reserve(field.size() + 2);
  out += '"';
  for (const char c : field) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

}  // namespace csvfields
