#pragma once

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
