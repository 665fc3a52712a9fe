#include "sheettable.h"

#include <algorithm>

#include "base/textcodec.h"
#include "model/cmcCellCapsule.h"
#include "session.h"
#include "sheet/core/SheetModel.h"

namespace {

constexpr uint32_t kGreyText = 0xC0C0C0;

QString oneLine(QString text) {
  while (text.endsWith('\n')) text.chop(1);
  text.replace('\n', ' ');
  return text;
}

QString pad(const QString& text, int width, int align) {
  const int room = width - int(text.size());
  if (room <= 0) return text;
  if (align == 2) return QString(room, ' ') + text;
  if (align == 1) return QString(room / 2, ' ') + text + QString(room - room / 2, ' ');
  return text + QString(room, ' ');
}

}  // namespace

QString shownCellText(Session& session, const SheetModel& sheet, int column, int row) {
  const cmcCellObj& cell = sheet.cellAt(column, row);
  if (cell.link == CL_None) return oneLine(fromCp932(cell.text.value_or(QByteArray())));
  cmcCellCapsule request;
  session.display(sheet, column, row, request);
  QString text = oneLine(fromCp932(request.resultText));
  if (request.paint.fontColourSet && request.paint.fontColour == kGreyText && !text.isEmpty()) {
    text = "[" + text + "]";
  }
  if (request.marks & kMarkCaution) text += "!";
  if (request.marks & kMarkRange) text += "x";
  return text;
}

int headerRow(const SheetModel& sheet) {
  for (int row = sheet.fixedRows() - 1; row >= 0; --row) {
    for (int column = 0; column < sheet.columnCount(); ++column) {
      const cmcCellObj& cell = sheet.cellAt(column, row);
      if (cell.link == CL_None && cell.text && !cell.text->trimmed().isEmpty() && !cell.join()) {
        return row;
      }
    }
  }
  return -1;
}

SheetTable tabulate(Session& session, const SheetModel& sheet, bool keepEmptyColumns,
                    const std::vector<int>& onlyRows) {
  SheetTable table;
  if (sheet.hasTitleBar()) table.title = fromCp932(sheet.titleText()).trimmed();
  std::vector<int> visible;
  for (int column = 0; column < sheet.columnCount(); ++column) {
    if (sheet.columnWidth(column) > 0) visible.push_back(column);
  }
  std::vector<int> candidates = onlyRows;
  if (candidates.empty()) {
    for (int row = 0; row < sheet.rowCount(); ++row) candidates.push_back(row);
  }
  std::vector<std::vector<SheetTable::Cell>> rows;
  for (int row : candidates) {
    std::vector<SheetTable::Cell> line;
    bool any = false;
    for (int column : visible) {
      SheetTable::Cell cell;
      cell.text = shownCellText(session, sheet, column, row);
      cell.align = sheet.cellAt(column, row).hAlign();
      any = any || !cell.text.trimmed().isEmpty();
      line.push_back(cell);
    }
    if (!any && onlyRows.empty()) continue;
    table.rows.push_back(row);
    rows.push_back(std::move(line));
  }
  for (size_t i = 0; i < visible.size(); ++i) {
    const bool used = std::any_of(rows.begin(), rows.end(), [i](const auto& line) {
      return !line[i].text.trimmed().isEmpty();
    });
    if (keepEmptyColumns || used) table.columns.push_back(int(i));
  }
  for (auto& line : rows) {
    std::vector<SheetTable::Cell> kept;
    for (int i : table.columns) kept.push_back(line[size_t(i)]);
    table.cells.push_back(std::move(kept));
  }
  for (int& i : table.columns) i = visible[size_t(i)];
  return table;
}

void printTable(const SheetTable& table, bool tsv, std::FILE* out) {
  if (tsv) {
    for (const auto& line : table.cells) {
      QStringList fields;
      for (const auto& cell : line) fields << cell.text;
      std::fprintf(out, "%s\n", fields.join('\t').toUtf8().constData());
    }
    return;
  }
  std::vector<int> widths(table.columns.size(), 0);
  for (const auto& line : table.cells) {
    for (size_t i = 0; i < line.size(); ++i)
      widths[i] = std::max(widths[i], int(line[i].text.size()));
  }
  if (!table.title.isEmpty()) std::fprintf(out, "%s\n", table.title.toUtf8().constData());
  for (const auto& line : table.cells) {
    QString text;
    for (size_t i = 0; i < line.size(); ++i) {
      if (i) text += "  ";
      text += pad(line[i].text, widths[i], line[i].align);
    }
    while (text.endsWith(' ')) text.chop(1);
    std::fprintf(out, "%s\n", text.toUtf8().constData());
  }
}
