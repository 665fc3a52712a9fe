#pragma once

#include <QByteArray>
#include <QString>
#include <map>
#include <vector>

#include "sheet/core/SheetModel.h"

class cmcGTex;
class indEnviron;

// Column widths kept per sheet family in the settings: "Display\<family>\colwidth" under the
// program's key, one integer per kept column named by its column number. The integers are the
// widths at a display font scale of 100 %: a sheet built at another scale scales them on loading
// and back on saving. The families come from
// GI_CellWidthRegList ("SheetName:family" lines); a sheet that is not listed keeps no widths.
//
// The store remembers what it read and wrote, so building a sheet again neither rereads nor
// rewrites unchanged values (each settings write rewrites the whole file). It assumes it is the
// only writer of these keys while the program runs.
class SettingsWidthStore : public SheetWidthStore {
 public:
  // Both outlive the store.
  SettingsWidthStore(indEnviron& settings, cmcGTex& text);

  void loadWidths(SheetModel& sheet) override;
  void saveWidths(const SheetModel& sheet) override;
  void deleteAllWidths() override;

  // The family a sheet belongs to (empty when its widths are not kept).
  QByteArray familyOf(const SheetModel& sheet) const;
  // "Software\Zelk\Kestrin\Display\<family>\colwidth".
  static QString keyPath(const QByteArray& family);

  // The factor stored widths are multiplied by when a sheet is built for a printer: the printer
  // font's point size, the printer's pixels per screen pixel and the display font scale
  // `percent` (the widths as the screen shows them at that scale).
  static double printFactor(int printerPointSize, double printScale, int percent);

 private:
  struct Family {
    QByteArray name;
    std::map<int, int> values;  // column -> stored width; -1 = read and missing
  };
  Family* find(const SheetModel& sheet);
  int stored(Family& family, int column);

  indEnviron& settings_;
  std::vector<std::pair<QByteArray, QByteArray>> sheets_;  // sheet name, family
  std::map<QByteArray, Family> families_;
};

// Widths the user drags are bounded: the grid calls this after every change of column widths
// that is not a load (a drag of a column border, a double-click auto-fit), with the grid's
// client width. Every kept column (SheetModel::keptColumns) narrower than 10 pixels becomes 10,
// every one wider than the maximum becomes the maximum: the client width less the fixed columns'
// widths, held within 10..650. Returns true when a width was changed, so the grid relays out.
bool clampDraggedWidths(SheetModel& sheet, int clientWidth);

inline constexpr int kMinDraggedWidth = 10;
inline constexpr int kMaxDraggedWidth = 650;
