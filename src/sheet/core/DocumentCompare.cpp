#include "DocumentCompare.h"

#include <map>
#include <tuple>

#include "base/textcodec.h"
#include "gtex/celllinks.h"
#include "gtex/cellmarkup.h"
#include "gtex/cmcGTex.h"
#include "gtex/outline.h"
#include "model/catalogue.h"
#include "model/cmcCellCapsule.h"
#include "sheet/core/SheetModel.h"

namespace {

QString oneLine(QString text) {
  while (text.endsWith('\n')) text.chop(1);
  text.replace('\n', ' ');
  return text;
}

QString shownText(FieldCatalogue& catalogue, const SheetModel& sheet, int column, int row) {
  const cmcCellObj& cell = sheet.cellAt(column, row);
  if (cell.link == CL_None) return oneLine(fromCp932(cell.text.value_or(QByteArray())));
  cmcCellCapsule request;
  sheet.fillRequest(request, column, row);
  catalogue.dispatch(request, false);
  return oneLine(fromCp932(request.resultText));
}

// The row's text in the fixed columns ("5", "B", "Beep"); a page of one row without a label
// (a function memory) is known by its first shown text ("VFO").
QString rowLabel(FieldCatalogue& catalogue, const SheetModel& sheet, int row) {
  for (int column = 0; column < sheet.columnCount(); ++column) {
    if (column >= std::max(sheet.fixedCols(), 1) && sheet.rowCount() - sheet.fixedRows() > 1) break;
    const QString text = shownText(catalogue, sheet, column, row).trimmed();
    if (!text.isEmpty()) return text;
  }
  return {};
}

// The nearest header text above the column's body: multi-row headers name a column in their
// lowest row ("Operating Freq" under "Frequency").
QString columnHeader(const SheetModel& sheet, int column) {
  for (int row = sheet.fixedRows() - 1; row >= 0; --row) {
    const cmcCellObj& cell = sheet.cellAt(column, row);
    if (cell.link != CL_None || !cell.text) continue;
    const QString text = oneLine(fromCp932(*cell.text)).trimmed();
    if (!text.isEmpty()) return text;
  }
  return {};
}

// A field is known on a page by its link and index; the occurrence number keeps apart the rare
// page that shows one field twice.
using FieldKey = std::tuple<int, int, int>;

struct PageFields {
  std::unique_ptr<SheetModel> sheet;
  std::vector<std::pair<FieldKey, std::pair<int, int>>> order;  // key, (column, row)
  std::map<FieldKey, std::pair<int, int>> where;
};

PageFields readPage(const QByteArray& call, const CompareSide& side, cmcGTex& text,
                    cmcCellParser& parser) {
  SheetServices services;
  services.text = &text;
  services.parser = &parser;
  services.environment = side.environment;
  PageFields page;
  page.sheet = SheetModel::create(call, services);
  page.sheet->build();
  const SheetModel& sheet = *page.sheet;
  std::map<std::pair<int, int>, int> seen;
  for (int row = 0; row < sheet.rowCount(); ++row) {
    for (int column = 0; column < sheet.columnCount(); ++column) {
      const cmcCellObj& cell = sheet.cellAt(column, row);
      if (cell.link == CL_None || !sheet.isSelectable(column, row)) continue;
      const FieldKey key{cell.link, cell.index, seen[{cell.link, cell.index}]++};
      page.order.push_back({key, {column, row}});
      page.where[key] = {column, row};
    }
  }
  return page;
}

FieldDifference describe(const QByteArray& call, const SheetModel& sheet, FieldCatalogue& labels,
                         int column, int row) {
  FieldDifference d;
  d.callString = call;
  d.sheetTitle = fromCp932(sheet.titleText()).trimmed();
  d.rowLabel = rowLabel(labels, sheet, row);
  d.columnHeader = columnHeader(sheet, column);
  d.link = sheet.cellAt(column, row).link;
  d.index = sheet.cellAt(column, row).index;
  d.column = column;
  d.row = row;
  return d;
}

}  // namespace

namespace {
std::vector<QByteArray> pagesOfTree(cmcGTex& text, cmcCellParser& parser, bool flaggedShown) {
  std::vector<QByteArray> pages;
  // The pages the tree shows, in its order; a flagged node goes with everything below it.
  int removedDepth = -1;
  for (const OutlineLine& line : readOutline(text, "GI_Tree_Main_Body")) {
    if (removedDepth >= 0 && line.depth > removedDepth) continue;
    removedDepth = -1;
    cmcCellObj cell;
    parser.parseCell(cell, line.cellText, nullptr, nullptr);
    if (!flaggedShown && cell.flag(0)) {
      removedDepth = line.depth;
      continue;
    }
    if (cell.link != CallSheet || !cell.argument) continue;
    const QByteArray call = *cell.argument;
    if (std::find(pages.begin(), pages.end(), call) == pages.end()) pages.push_back(call);
  }
  return pages;
}
}  // namespace

std::vector<QByteArray> treePages(cmcGTex& text, cmcCellParser& parser) {
  return pagesOfTree(text, parser, true);
}

std::vector<QByteArray> treePages(cmcGTex& text, cmcCellParser& parser, uint8_t optionBits) {
  constexpr uint8_t kFlagsAC = 0x08 | 0x01;
  return pagesOfTree(text, parser, (optionBits & kFlagsAC) == kFlagsAC);
}

std::vector<FieldDifference> compareDocuments(const CompareSide& a, const CompareSide& b,
                                              const std::vector<QByteArray>& pages, cmcGTex& text,
                                              cmcCellParser& parser) {
  std::vector<FieldDifference> differences;
  for (const QByteArray& call : pages) {
    const PageFields pageA = readPage(call, a, text, parser);
    const PageFields pageB = readPage(call, b, text, parser);
    for (const auto& [key, cellA] : pageA.order) {
      const auto [columnA, rowA] = cellA;
      const QString textA = shownText(*a.catalogue, *pageA.sheet, columnA, rowA);
      const auto found = pageB.where.find(key);
      QString textB;
      if (found != pageB.where.end()) {
        textB = shownText(*b.catalogue, *pageB.sheet, found->second.first, found->second.second);
        if (textA == textB) continue;
      }
      FieldDifference d = describe(call, *pageA.sheet, *a.catalogue, columnA, rowA);
      d.textA = textA.trimmed();
      d.textB = textB.trimmed();
      d.inB = found != pageB.where.end();
      differences.push_back(std::move(d));
    }
    // Fields only B's page has (a row or column that A's destination leaves out).
    for (const auto& [key, cellB] : pageB.order) {
      if (pageA.where.count(key)) continue;
      const auto [columnB, rowB] = cellB;
      FieldDifference d = describe(call, *pageB.sheet, *b.catalogue, columnB, rowB);
      d.textB = shownText(*b.catalogue, *pageB.sheet, columnB, rowB).trimmed();
      d.inA = false;
      differences.push_back(std::move(d));
    }
  }
  return differences;
}
