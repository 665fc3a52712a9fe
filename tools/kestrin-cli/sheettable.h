#pragma once

#include <QString>
#include <cstdio>
#include <vector>

class Session;
class SheetModel;

// A page as text: what the grid would show, cell by cell, with the catalogue's marks spelled
// out: a caution as "!" after the text, a range error as "x", grey (not applying) text in
// brackets.
struct SheetTable {
  struct Cell {
    QString text;
    int align = 0;  // 0 left, 1 centre, 2 right
  };
  QString title;
  std::vector<int> columns;              // grid columns shown
  std::vector<int> rows;                 // grid rows shown
  std::vector<std::vector<Cell>> cells;  // [row][column], in the order above
};

// The shown text of one cell with its marks.
QString shownCellText(Session& session, const SheetModel& sheet, int column, int row);

// The grid row holding the column headers, or -1 when the page has none.
int headerRow(const SheetModel& sheet);

// Every row with something to show (or only `onlyRows` when given). Columns cut from the page
// are left out, and so are columns with nothing in any shown row unless `keepEmptyColumns`.
SheetTable tabulate(Session& session, const SheetModel& sheet, bool keepEmptyColumns,
                    const std::vector<int>& onlyRows = {});

// Aligned columns, or tab-separated values.
void printTable(const SheetTable& table, bool tsv, std::FILE* out);
