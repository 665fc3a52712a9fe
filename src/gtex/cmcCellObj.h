#pragma once

#include <QByteArray>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>

#include "gtex/celllinks.h"

// Colours are 0x00BBGGRR for a fixed colour and 0xFF0000nn for system colour nn.
using CellColour = uint32_t;
constexpr CellColour kSystemColourBase = 0xFF000000;
constexpr CellColour kClWindow = 0xFF000005;
constexpr CellColour kClWindowText = 0xFF000008;

enum CellFontStyle : uint8_t {
  kFontBold = 1,
  kFontItalic = 2,
  kFontUnderline = 4,
  kFontStrikeOut = 8
};
enum CellFontPitch : int { kPitchDefault = 0, kPitchVariable = 1, kPitchFixed = 2 };
constexpr int kDefaultCharset = 1;

// A font as plain data; the screen turns it into a real font.
struct CellFont {
  int charset = kDefaultCharset;
  QByteArray face;  // code page 932
  CellColour colour = kClWindowText;
  int height = -11;   // negative: character height in pixels; positive: cell height
  int size = 8;       // points
  uint8_t style = 0;  // CellFontStyle bits
  int pitch = kPitchDefault;

  bool operator==(const CellFont&) const = default;
};

// The per-sheet integer variables @ch0..@ch9.
using CellVariables = std::array<int32_t, 10>;

// Horizontal and vertical alignment values of the layout flags.
enum CellAlign : int { kAlignLeft = 0, kAlignCentre = 1, kAlignRight = 2 };
enum CellVAlign : int { kAlignTop = 0, kAlignMiddle = 1, kAlignBottom = 2 };
enum CellRightRule : int { kRuleNone = 0, kRuleFull = 1, kRuleShort = 2 };

// The parsed attributes of one cell, tree item or menu item. A style may be derived from a base
// (a sheet's basic cell), from which it takes its scalar fields when it is parsed.
class cmcCellObj {
 public:
  cmcCellObj() = default;
  cmcCellObj(const cmcCellObj& other);
  cmcCellObj& operator=(const cmcCellObj& other);
  cmcCellObj(cmcCellObj&&) noexcept = default;
  cmcCellObj& operator=(cmcCellObj&&) noexcept = default;

  // Back to the values of a fresh style, or to the base's scalar fields and argument with no
  // text, font or popup menus of its own.
  void resetFrom(const cmcCellObj* from);

  // Layout flags.
  int hAlign() const { return layoutFlags & 3; }
  int vAlign() const { return (layoutFlags >> 2) & 3; }
  bool autoWidth() const { return layoutFlags & 0x10; }
  bool autoHeight() const { return layoutFlags & 0x20; }
  bool wrap() const { return layoutFlags & 0x40; }
  bool join() const { return layoutFlags & 0x80; }
  // Behaviour flags.
  bool bottomRule() const { return behaviourFlags & 1; }
  int rightRule() const { return (behaviourFlags >> 1) & 3; }
  bool selectable() const { return behaviourFlags & 8; }
  bool tail() const { return behaviourFlags & 0x10; }
  // Flag0..Flag7.
  bool flag(int n) const;
  void setFlag(int n, bool on);

  // The font to draw with: its own, else the nearest base's; none when no style has one.
  const CellFont* effectiveFont() const;
  // The popup menu stem for header cells (column-cut menu) or body cells, taken from the base
  // (recursively) when missing or empty here. Empty when there is none.
  QByteArray popupMenuOf(bool header) const;

  const cmcCellObj* base = nullptr;
  CellVariables* variables = nullptr;  // attached only while parsing
  int32_t category = CT_None;
  int32_t link = CL_None;
  int32_t index = 0;
  std::optional<QByteArray> argument;
  int32_t imageIndex = -1;
  uint8_t layoutFlags = 0;
  uint8_t behaviourFlags = 0;
  uint8_t spareFlags = 0;
  CellColour colour = kClWindow;
  std::unique_ptr<CellFont> font;
  std::optional<QByteArray> popupMenu;
  std::optional<QByteArray> colCutPopupMenu;
  std::optional<QByteArray> text;
};
