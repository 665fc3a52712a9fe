#include "sheet/ui/SheetColours.h"

namespace sheetcolours {

namespace {

// System colours the palette has no role for keep the classic Windows values.
QColor systemColour(int n, const QPalette& p) {
  switch (n) {
    case 0x01:
      return p.color(QPalette::Dark);  // clBackground
    case 0x02:
      return p.color(QPalette::Highlight);  // clActiveCaption
    case 0x03:
      return p.color(QPalette::Mid);  // clInactiveCaption
    case 0x04:
      return p.color(QPalette::Window);  // clMenu
    case 0x05:
      return p.color(QPalette::Base);  // clWindow
    case 0x06:
      return p.color(QPalette::Shadow);  // clWindowFrame
    case 0x07:
      return p.color(QPalette::WindowText);  // clMenuText
    case 0x08:
      return p.color(QPalette::Text);  // clWindowText
    case 0x09:
      return p.color(QPalette::HighlightedText);  // clCaptionText
    case 0x0A:
      return p.color(QPalette::Midlight);  // clActiveBorder
    case 0x0B:
      return p.color(QPalette::Midlight);  // clInactiveBorder
    case 0x0C:
      return p.color(QPalette::Dark);  // clAppWorkSpace
    case 0x0D:
      return p.color(QPalette::Highlight);  // clHighlight
    case 0x0E:
      return p.color(QPalette::HighlightedText);  // clHighlightText
    case 0x0F:
      return p.color(QPalette::Button);  // clBtnFace
    case 0x10:
      return p.color(QPalette::Dark);  // clBtnShadow
    case 0x11:
      return p.color(QPalette::Disabled, QPalette::Text);  // clGrayText
    case 0x12:
      return p.color(QPalette::ButtonText);  // clBtnText
    case 0x13:
      return p.color(QPalette::Disabled, QPalette::WindowText);  // clInactiveCaptionText
    case 0x14:
      return p.color(QPalette::Light);  // clBtnHighlight
    case 0x15:
      return p.color(QPalette::Shadow);  // cl3DDkShadow
    case 0x16:
      return p.color(QPalette::Midlight);  // cl3DLight
    case 0x17:
      return p.color(QPalette::ToolTipText);  // clInfoText
    case 0x18:
      return p.color(QPalette::ToolTipBase);  // clInfoBk
    default:
      return p.color(QPalette::Button);
  }
}

}  // namespace

QColor toQColor(CellColour colour, const QPalette& palette) {
  if ((colour & 0xFF000000u) == kSystemColourBase) return systemColour(colour & 0xFF, palette);
  return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

CellColour fromQColor(const QColor& c) {
  return CellColour(c.red()) | (CellColour(c.green()) << 8) | (CellColour(c.blue()) << 16);
}

CellColour resolve(CellColour colour, const QPalette& palette) {
  return fromQColor(toQColor(colour, palette));
}

namespace {
CellColour mix(CellColour w, CellColour t, int wWeight, int shift) {
  CellColour out = 0;
  for (int s = 0; s < 24; s += 8) {
    const int wc = int((w >> s) & 0xFF);
    const int tc = int((t >> s) & 0xFF);
    const int total = wWeight + 1;
    const int v = (wWeight * wc + tc + total / 2) >> shift;
    out |= CellColour(v & 0xFF) << s;
  }
  return out;
}
}  // namespace

CellColour lineColour(CellColour window, CellColour text) { return mix(window, text, 7, 3); }
CellColour inactiveSelectionColour(CellColour window, CellColour text) {
  return mix(window, text, 3, 2);
}

}  // namespace sheetcolours
