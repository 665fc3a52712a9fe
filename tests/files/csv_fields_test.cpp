#include <gtest/gtest.h>

#include "files/csvfields.h"

using Records = QList<QList<QByteArray>>;

TEST(CsvFields, RecordsAreReadAsSpreadsheetsWriteThem) {
  const struct {
    const char* name;
    QByteArray text;
    char separator;
    Records want;
  } cases[] = {
      {"plain fields, CR LF", "a,b,c\r\nd,e\r\n", ',', {{"a", "b", "c"}, {"d", "e"}}},
      {"LF and lone CR end records too", "a\nb\rc", ',', {{"a"}, {"b"}, {"c"}}},
      {"empty fields and an empty line", ",x,\r\n\r\ny", ',', {{"", "x", ""}, {""}, {"y"}}},
      {"quotes are not part of the field", "\"146.520000\",\"A\"", ',', {{"146.520000", "A"}}},
      {"a quoted separator", "\"A,B\",C", ',', {{"A,B", "C"}}},
      {"the other separator is data", "\"A;B\";C,D", ';', {{"A;B", "C,D"}}},
      {"a doubled quote is one quote", "\"A\"\"B\",\"\"\"\"", ',', {{"A\"B", "\""}}},
      {"quoted line breaks", "\"L1\r\nL2\",x\r\ny", ',', {{"L1\r\nL2", "x"}, {"y"}}},
      {"an empty quoted field", "\"\",x", ',', {{"", "x"}}},
      {"spaces before a quote are dropped, others kept", "  \"A\", B ", ',', {{"A", " B "}}},
      {"text after the closing quote is kept", "\"A\"B,C", ',', {{"AB", "C"}}},
      {"a quote inside an unquoted field is data", "A\"B,C", ',', {{"A\"B", "C"}}},
      {"an unclosed quote runs to the end", "x,\"A,B\r\nC", ',', {{"x", "A,B\r\nC"}}},
      // The second byte of a code page 932 character is never a separator or a quote.
      {"code page 932 text", "\x82\x60,\"\x83\x41\"", ',', {{"\x82\x60", "\x83\x41"}}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(csvfields::readRecords(c.text, c.separator), c.want) << c.name;
  }

  bool unterminated = false;
  qsizetype pos = 0;
  csvfields::readRecord("\"open", &pos, ',', &unterminated);
  EXPECT_TRUE(unterminated);
  pos = 0;
  EXPECT_EQ(csvfields::readRecord("\"a\"\"\",b\r\nnext", &pos, ',', &unterminated),
            QList<QByteArray>({"a\"", "b"}));
  EXPECT_FALSE(unterminated);
  EXPECT_EQ(pos, 9);
}

TEST(CsvFields, QuotedFieldsComeBackUnchanged) {
  const QByteArray fields[] = {"", "PLAIN", "RPT,1", "A;B", "say \"hi\"", "\"", "L1\r\nL2",
                               " lead", "trail ", "\x82\x60,"};
  for (char separator : {',', ';'}) {
    QByteArray record;
    QList<QByteArray> want;
    for (const QByteArray& f : fields) {
      if (!want.isEmpty()) record += separator;
      record += csvfields::quoteField(f, separator);
      want.append(f);
    }
    EXPECT_EQ(csvfields::readRecords(record + "\r\n", separator), Records{want}) << separator;
  }
  // Only what needs quotes gets them: plain fields stay as they were written before.
  EXPECT_EQ(csvfields::quoteField("A;B", ','), "A;B");
  EXPECT_EQ(csvfields::quoteField("RPT,1", ','), "\"RPT,1\"");
  EXPECT_EQ(csvfields::quoteField("A\"B", ';'), "\"A\"\"B\"");
}
