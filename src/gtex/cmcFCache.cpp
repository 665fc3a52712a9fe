#include "gtex/cmcFCache.h"

#include <algorithm>

#include "gtex/cmcGTex.h"

std::unique_ptr<SelectionList> buildSelectionList(cmcCellParser& parser,
                                                  const QList<QByteArray>& lines, int keyLink) {
  auto list = std::make_unique<SelectionList>();
  list->lineCount = static_cast<int>(lines.size());
  CellVariables scratch{};
  cmcCellObj cell;
  for (int line = 0; line < list->lineCount; ++line) {
    QByteArrayView rest = lines[line];
    int cellNumber = 0;
    while (!rest.isEmpty()) {
      rest = parser.parseCell(cell, rest, nullptr, &scratch);
      if (cell.link == keyLink) {
        SelectionChoice choice;
        choice.line = line;
        choice.cell = cellNumber;
        choice.value = cell.index;
        choice.text = cell.argument ? *cell.argument : cell.text.value_or(QByteArray());
        list->byValue.push_back(std::move(choice));
      }
      ++cellNumber;
    }
    list->widestRow = std::max(list->widestRow, cellNumber);
  }
  list->byPosition = list->byValue;
  std::stable_sort(
      list->byValue.begin(), list->byValue.end(),
      [](const SelectionChoice& a, const SelectionChoice& b) { return a.value < b.value; });
  const int64_t lineCount = list->lineCount;
  std::stable_sort(list->byPosition.begin(), list->byPosition.end(),
                   [lineCount](const SelectionChoice& a, const SelectionChoice& b) {
                     return a.cell * lineCount + a.line < b.cell * lineCount + b.line;
                   });
  return list;
}

QByteArray selectionText(const SelectionList& list, int value) {
  const auto it = std::lower_bound(list.byValue.begin(), list.byValue.end(), value,
                                   [](const SelectionChoice& c, int v) { return c.value < v; });
  if (it == list.byValue.end() || it->value != value) return QByteArrayLiteral("error");
  return it->text;
}

ListStep selectionStep(const SelectionList& list, int value, int step) {
  const auto& order = list.byPosition;
  const int n = static_cast<int>(order.size());
  if (n == 0) return {false, value};
  const auto it = std::find_if(order.begin(), order.end(),
                               [value](const SelectionChoice& c) { return c.value == value; });
  if (it == order.end()) return {false, order.front().value};
  const int64_t at = (static_cast<int64_t>(it - order.begin()) + step) % n;
  return {true, order[static_cast<size_t>(at < 0 ? at + n : at)].value};
}

cmcFCache::cmcFCache(cmcGTex& text) : text_(text), parser_(text) {}

QByteArray cmcFCache::keyOf(const char* sheetName, int keyLink) {
  return QByteArray(sheetName) + '#' + QByteArray::number(keyLink);
}

const SelectionList& cmcFCache::list(const char* sheetName, int keyLink) {
  const auto seen = found_.find(Found{sheetName, keyLink});
  if (seen != found_.end()) return *seen->second;
  const QByteArray key = keyOf(sheetName, keyLink);
  if (const cmcHash2::Entry* e = lists_.find(key.constData())) {
    found_.emplace(FoundKey{sheetName, keyLink}, e->list.get());
    return *e->list;
  }
  const QByteArray section = QByteArray(sheetName) + "_Cells";
  QList<QByteArray> lines;
  for (int n = 0;; ++n) {
    QByteArray line = text_.getLine(section.constData(), n);
    if (line.startsWith('#')) break;
    lines.push_back(std::move(line));
  }
  const SelectionList& made = *lists_.add(key.constData(), buildSelectionList(parser_, lines, keyLink));
  found_.emplace(FoundKey{sheetName, keyLink}, &made);
  return made;
}

QByteArray cmcFCache::listText(const char* sheetName, int keyLink, int value) {
  return selectionText(list(sheetName, keyLink), value);
}

ListStep cmcFCache::listStep(const char* sheetName, int keyLink, int value, int step) {
  return selectionStep(list(sheetName, keyLink), value, step);
}
