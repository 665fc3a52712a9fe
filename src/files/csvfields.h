#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// Comma-separated values as RFC 4180 writes them, which is what spreadsheets read and write:
// quotes around a field are not part of it, a doubled quote inside them is one quote, and a
// quoted field may hold the separator and line breaks. Works on bytes; the separators and the
// quote are ASCII and never the second byte of a code page 932 character.
namespace csvfields {

// Reads the record that starts at `*pos` of `text` and moves `*pos` past its line end (CR LF,
// LF or a lone CR). An empty line gives one empty field. Lenient where spreadsheets are:
// spaces before an opening quote are dropped, text after a closing quote is kept, a quote inside
// an unquoted field is an ordinary character and an unclosed quote runs to the end of the text.
// `unterminated`, when given, is set when the record ended inside an unclosed quote.
QList<QByteArray> readRecord(QByteArrayView text, qsizetype* pos, char separator,
                             bool* unterminated = nullptr);

// Every record of `text`; a line end at the very end does not start another record.
QList<QList<QByteArray>> readRecords(QByteArrayView text, char separator);

// The field as it is written into a record: quoted, with its quotes doubled, when it holds the
// separator, a quote or a line break; unchanged otherwise.
QByteArray quoteField(QByteArrayView field, char separator);

}  // namespace csvfields
