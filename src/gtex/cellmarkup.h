#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include "gtex/cmcCellObj.h"

class cmcGTex;

// Colour by name ("clRed", "clWindow", ...). False, with `colour` untouched, for unknown names.
bool colourByName(QByteArrayView name, CellColour& colour);
// Character-set value by name ("ANSI_CHARSET", ...), after leading blanks and followed only by
// blanks. False for unknown names.
bool charsetByName(QByteArrayView name, int& charset);

// Default font faces, code page 932: MS PGothic for Japanese display, MS Sans Serif otherwise.
extern const char* const kJapaneseDefaultFace;
extern const char* const kOtherDefaultFace;

// Parser of the cell mark-up: "{attributes}display text|next cell...". Cell models ($name
// groups) are read from the CellModel_<name> sections of the given text.
//
// Faults of the mark-up end the program: a bad variable reference ("Ch No. Error"), an
// unclosed "\(" in a display text ("Illegal Ch No."), unknown category or link names, a missing
// cell model. Unknown flag letters, groups and names are ignored.
class cmcCellParser {
 public:
  explicit cmcCellParser(cmcGTex& modelText);

  // Parses the cell that starts `line` (up to the first unescaped '|') into `style`, derived
  // from `base`, with the sheet's variables (may be null when the mark-up uses none). Returns
  // the rest of the line after that '|' (empty when there is none), as a view into `line`.
  QByteArrayView parseCell(cmcCellObj& style, QByteArrayView line, const cmcCellObj* base,
                           CellVariables* variables);
  // The splitting alone: the rest of the line, and the cell's own bytes in `cell` if given.
  static QByteArrayView splitCell(QByteArrayView line, QByteArrayView* cell = nullptr);
  // Number of cells on a line (an empty line has none).
  static int countCells(QByteArrayView line);

  // Applies an attribute string (brace contents or a cell model's text) to `style`.
  void parseAttributes(cmcCellObj& style, QByteArrayView attributes);
  // Applies a seven-field font description "charset,face,colour,height,size,style,pitch".
  void parseFont(QByteArrayView fontText, CellFont& font) const;

  // The face an empty face field resets to; MS Sans Serif until the application says
  // Japanese is displayed.
  void setJapaneseFace(bool japanese);
  const QByteArray& defaultFace() const { return defaultFace_; }
  // A font for a style whose base has none.
  CellFont newFont() const;

 private:
  void applyGroup(cmcCellObj& style, QByteArrayView group, int depth);
  void applyAttributes(cmcCellObj& style, QByteArrayView attributes, int depth);
  void applyLink(cmcCellObj& style, QByteArrayView ref);
  QByteArray displayText(const cmcCellObj& style, QByteArrayView raw) const;

  cmcGTex& models_;
  QByteArray defaultFace_;
};
