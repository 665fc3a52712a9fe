#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

class cmcCellParser;
class cmcGTex;
class FieldCatalogue;
class SheetEnvironment;

// One document as the comparison reads it: the catalogue that shows its fields and the
// environment its sheets are built in (both bound to the same document).
struct CompareSide {
  FieldCatalogue* catalogue = nullptr;
  const SheetEnvironment* environment = nullptr;
};

// One field whose shown value differs between the two documents.
struct FieldDifference {
  QByteArray callString;  // the page, as the tree opens it
  QString sheetTitle;     // the page's title bar text
  QString rowLabel;       // "5", "B", "Beep": the row's text in the fixed columns
  QString columnHeader;   // "Operating Freq"; empty on pages without column headers
  QString textA;          // the value as the catalogue shows it in A (empty when blank)
  QString textB;
  bool inA = true;  // false when the field exists only on B's page (a destination's extra row)
  bool inB = true;
  int link = 0;  // the field's cell link and index, to find the cell again on screen
  int index = 0;
  int column = -1;  // the cell on the page as built for A (for B when it is only in B)
  int row = -1;
};

// The pages the navigation tree opens, in tree order, without repeats.
std::vector<QByteArray> treePages(cmcGTex& text, cmcCellParser& parser);
// The same for a transceiver with these options: the tree shows its Flag0 pages (Marine CH)
// only with radio options A and C (the marine and receive-expansion bits).
std::vector<QByteArray> treePages(cmcGTex& text, cmcCellParser& parser, uint8_t optionBits);

// Every editable field of `pages` whose shown text differs between A and B, page by page in
// grid order. The texts are the catalogue's, as the grid and `kestrin-cli show` show them, so
// two images that differ only in bits no page shows compare equal.
std::vector<FieldDifference> compareDocuments(const CompareSide& a, const CompareSide& b,
                                              const std::vector<QByteArray>& pages, cmcGTex& text,
                                              cmcCellParser& parser);
