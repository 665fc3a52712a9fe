#pragma once

#include <QColor>
#include <QPalette>

#include "gtex/cmcCellObj.h"

// Turns the mark-up's colours and fonts into Qt's. System colours (0xFF0000nn) come from the
// palette the sheet is shown with, so a changed window colour shows at the next paint.
namespace sheetcolours {

constexpr CellColour kClMenu = 0xFF000004;
constexpr CellColour kClHighlight = 0xFF00000D;
constexpr CellColour kClHighlightText = 0xFF00000E;
constexpr CellColour kClBtnFace = 0xFF00000F;
constexpr CellColour kClGrayText = 0xFF000011;
constexpr CellColour kClWhite = 0x00FFFFFF;
constexpr CellColour kClSilver = 0x00C0C0C0;
constexpr CellColour kClGray = 0x00808080;

QColor toQColor(CellColour colour, const QPalette& palette);
// 0x00BBGGRR of any colour (system colours resolved through the palette).
CellColour resolve(CellColour colour, const QPalette& palette);
CellColour fromQColor(const QColor& colour);

// The rule line and inactive-selection colours derived from the window (W) and window-text (T)
// colours, per channel: (7W + T + 4) / 8 and (3W + T + 2) / 4.
CellColour lineColour(CellColour window, CellColour text);
CellColour inactiveSelectionColour(CellColour window, CellColour text);

}  // namespace sheetcolours
