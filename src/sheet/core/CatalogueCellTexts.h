#pragma once

#include "sheet/core/SheetModel.h"

class FieldCatalogue;

// What a linked cell shows: the catalogue's display answer for it.
class CatalogueCellTexts : public SheetTextProvider {
 public:
  explicit CatalogueCellTexts(FieldCatalogue& catalogue) : catalogue_(catalogue) {}
  QByteArray cellText(const SheetModel& sheet, int column, int row) override;

 private:
  FieldCatalogue& catalogue_;
};
