#include "sheet/core/CatalogueCellTexts.h"

#include "model/catalogue.h"
#include "model/cmcCellCapsule.h"

QByteArray CatalogueCellTexts::cellText(const SheetModel& sheet, int column, int row) {
  cmcCellCapsule request;
  sheet.fillRequest(request, column, row);
  catalogue_.dispatch(request, false);
  return request.resultText;
}
