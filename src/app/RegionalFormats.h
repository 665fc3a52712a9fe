#pragma once

#include <QByteArray>
#include <QString>

// The system's regional settings as the program uses them (date and time shown in files and
// lists, separators of channel lists).
struct SystemRegion {
  QString shortDateFormat;  // letters y, M/m, d; quoted runs are literal
  QString dateSeparator;
  QString timeSeparator;
  QString longTimeFormat;
  QString decimalSeparator;
  QString listSeparator;
  bool japanese = false;
};

struct RegionalFormats {
  QString dateFormat = QStringLiteral("yyyy/mm/dd");
  int dateOrder = 0;  // 0 year-month-day, 1 month-day-year, 2 day-month-year
  QString timeFormat = QStringLiteral("hh:nn:ss");
  QString dateSeparator = QStringLiteral("/");
  QString timeSeparator = QStringLiteral(":");
  QString decimalSeparator = QStringLiteral(".");
  QString listSeparator = QStringLiteral(",");
};

RegionalFormats regionalFormats(SystemRegion region);
// The settings of the running system (QLocale::system()).
SystemRegion systemRegion();

// The version and year the About box shows: the defaults, replaced by the first and second
// lines of the version file beside the program when it exists and they are not blank.
struct VersionTexts {
  QByteArray version;
  QByteArray year;
};
VersionTexts readVersionTexts(const QString& versionFilePath, const VersionTexts& defaults);
