#include "app/RegionalFormats.h"

#include <QLocale>

namespace {

// Positions of the first year, month and day letters, skipping single-quoted runs.
struct LetterPositions {
  int year = -1;
  int month = -1;
  int day = -1;
};

LetterPositions scan(const QString& format) {
  LetterPositions p;
  bool quoted = false;
  for (int i = 0; i < format.size(); ++i) {
    const QChar c = format[i].toLower();
    if (c == QLatin1Char('\'')) {
      quoted = !quoted;
      continue;
    }
    if (quoted) continue;
    if (c == QLatin1Char('y') && p.year < 0) p.year = i;
    if (c == QLatin1Char('m') && p.month < 0) p.month = i;
    if (c == QLatin1Char('d') && p.day < 0) p.day = i;
  }
  return p;
}

QString firstSeparator(const QString& format) {
  bool quoted = false;
  for (QChar c : format) {
    if (c == QLatin1Char('\'')) {
      quoted = !quoted;
      continue;
    }
    if (!quoted && !c.isLetter()) return QString(c);
  }
  return QStringLiteral("/");
}

}  // namespace

RegionalFormats regionalFormats(SystemRegion region) {
  RegionalFormats f;

  // Date.
  QString separator = region.dateSeparator;
  if (separator != QLatin1String("-") && separator != QLatin1String(".") &&
      separator != QLatin1String("/")) {
    if (!separator.isEmpty()) region.shortDateFormat.replace(separator, QStringLiteral("/"));
    separator = QStringLiteral("/");
  }
  const LetterPositions p = scan(region.shortDateFormat);
  const bool all = p.year >= 0 && p.month >= 0 && p.day >= 0;
  if (all && p.year < p.month && p.month < p.day) {
    f.dateFormat = QStringLiteral("yyyy/mm/dd");
    f.dateOrder = 0;
  } else if (all && p.month < p.day && p.day < p.year) {
    f.dateFormat = QStringLiteral("mm/dd/yyyy");
    f.dateOrder = 1;
  } else if (all && p.day < p.month && p.day < p.year) {
    f.dateFormat = QStringLiteral("dd/mm/yyyy");
    f.dateOrder = 2;
  } else if (region.japanese) {
    f.dateFormat = QStringLiteral("yyyy/mm/dd");
    f.dateOrder = 0;
  } else {
    f.dateFormat = QStringLiteral("mm/dd/yyyy");
    f.dateOrder = 1;
  }
  f.dateFormat.replace(QLatin1Char('/'), separator);
  f.dateSeparator = separator;

  // Time.
  f.timeSeparator =
      region.timeSeparator == QLatin1String(".") ? QStringLiteral(".") : QStringLiteral(":");
  if (f.timeSeparator == QLatin1String("."))
    f.timeFormat.replace(QLatin1Char(':'), QLatin1Char('.'));

  // Numbers and lists.
  f.decimalSeparator =
      region.decimalSeparator == QLatin1String(",") ? QStringLiteral(",") : QStringLiteral(".");
  f.listSeparator =
      region.listSeparator == QLatin1String(";") ? QStringLiteral(";") : QStringLiteral(",");
  if (f.listSeparator == f.decimalSeparator) f.listSeparator = QStringLiteral(";");
  return f;
}

SystemRegion systemRegion() {
  const QLocale locale = QLocale::system();
  SystemRegion r;
  r.shortDateFormat = locale.dateFormat(QLocale::ShortFormat);
  r.dateSeparator = firstSeparator(r.shortDateFormat);
  r.longTimeFormat = locale.timeFormat(QLocale::LongFormat);
  r.timeSeparator = firstSeparator(locale.timeFormat(QLocale::ShortFormat));
  r.decimalSeparator = locale.decimalPoint();
  // The locale names no list separator; the usual one goes with the decimal separator.
  r.listSeparator =
      r.decimalSeparator == QLatin1String(",") ? QStringLiteral(";") : QStringLiteral(",");
  r.japanese = locale.language() == QLocale::Japanese;
  return r;
}
