#include "sheet/core/SheetSelection.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

SheetSelectionModel::SheetSelectionModel(SheetModel& model, Options options)
    : model_(model), options_(options) {}

bool SheetSelectionModel::canSelect(SheetPos pos) const {
  if (!pos.valid() || pos.column >= model_.columnCount() || pos.row >= model_.rowCount())
    return false;
  if (!model_.isSelectable(pos.column, pos.row)) return false;
  return !multiActive_ || model_.cellState(pos.column, pos.row).inMultiSelectRow;
}

bool SheetSelectionModel::inSelectionRow(SheetPos pos) const {
  return pos.valid() && model_.cellState(pos.column, pos.row).inMultiSelectRow;
}

std::vector<SheetPos> SheetSelectionModel::setCurrent(SheetPos now, bool extend) {
  const SheetPos old = current_;
  if (now == old) return {};
  current_ = now;
  if (model_.style().multiSelect == MultiSelectMode::None || options_.dialog || !now.valid())
    return {};
  // Marks change only in the rows that hold them now and in those of the old and new boxes.
  int top = std::min(markTop_, now.row);
  int bottom = std::max(markBottom_, now.row);
  for (const SheetPos& p : {old, anchor_}) {
    if (!p.valid()) continue;
    top = std::min(top, p.row);
    bottom = std::max(bottom, p.row);
  }
  const std::vector<uint8_t> before = snapshot(top, bottom);
  if (extend && inSelectionRow(old) && inSelectionRow(now) && anchor_.valid()) {
    // Cleared over the union of the old and new boxes, marked over the new one.
    const int left = std::min({anchor_.column, old.column, now.column});
    const int right = std::max({anchor_.column, old.column, now.column});
    const int boxTop = std::min({anchor_.row, old.row, now.row});
    const int boxBottom = std::max({anchor_.row, old.row, now.row});
    const int inLeft = std::min(anchor_.column, now.column);
    const int inRight = std::max(anchor_.column, now.column);
    const int inTop = std::min(anchor_.row, now.row);
    const int inBottom = std::max(anchor_.row, now.row);
    for (int r = boxTop; r <= boxBottom; ++r)
      for (int c = left; c <= right; ++c) {
        const bool inside = c >= inLeft && c <= inRight && r >= inTop && r <= inBottom;
        model_.cellState(c, r).marked =
            inside && model_.isSelectable(c, r) && inSelectionRow({c, r});
      }
    multiActive_ = true;
  } else {
    anchor_ = now;
    if (multiActive_) {
      clearMarks();
      multiActive_ = false;
    } else if (old.valid()) {
      model_.cellState(old.column, old.row).marked = false;
    }
  }
  model_.cellState(now.column, now.row).marked = true;
  markTop_ = top;
  markBottom_ = bottom;
  refreshLineMarks();
  findMarkedRows(top, bottom);
  return changedSince(before, top, bottom);
}

SheetPos SheetSelectionModel::stepFrom(SheetPos from, int dx, int dy) const {
  const int columns = model_.columnCount();
  const int rows = model_.rowCount();
  // Along the row or column first.
  for (SheetPos p{from.column + dx, from.row + dy};
       p.column >= 0 && p.column < columns && p.row >= 0 && p.row < rows;
       p = {p.column + dx, p.row + dy}) {
    if (model_.isSelectable(p.column, p.row)) return p;
  }
  if (options_.dialog) return from;
  // Then the next column or row that has one, nearest to the remembered row or column.
  if (dx != 0) {
    for (int c = from.column + dx; c >= 0 && c < columns; c += dx) {
      int best = -1;
      for (int r = 0; r < rows; ++r) {
        if (!model_.isSelectable(c, r)) continue;
        if (best < 0 || std::abs(r - remembered_.row) < std::abs(best - remembered_.row)) best = r;
      }
      if (best >= 0) return {c, best};
    }
  } else {
    for (int r = from.row + dy; r >= 0 && r < rows; r += dy) {
      int best = -1;
      for (int c = 0; c < columns; ++c) {
        if (!model_.isSelectable(c, r)) continue;
        if (best < 0 || std::abs(c - remembered_.column) < std::abs(best - remembered_.column))
          best = c;
      }
      if (best >= 0) return {best, r};
    }
  }
  return from;
}

SheetPos SheetSelectionModel::moveTarget(int dx, int dy) const {
  if (!current_.valid()) return current_;
  if (dx != 0) dy = 0;
  const int steps = std::abs(dx != 0 ? dx : dy);
  const int sx = dx > 0 ? 1 : dx < 0 ? -1 : 0;
  const int sy = dy > 0 ? 1 : dy < 0 ? -1 : 0;
  SheetPos pos = current_;
  if (options_.wrapAround && steps == 1) {
    const int columns = model_.columnCount();
    const int rows = model_.rowCount();
    SheetPos p = pos;
    do {
      p.column = (p.column + sx + columns) % columns;
      p.row = (p.row + sy + rows) % rows;
    } while (p != pos && !model_.isSelectable(p.column, p.row));
    return p;
  }
  for (int i = 0; i < steps; ++i) {
    const SheetPos next = stepFrom(pos, sx, sy);
    if (next == pos) break;
    pos = next;
  }
  return pos;
}

std::vector<SheetPos> SheetSelectionModel::drop() {
  const int rows = model_.rowCount();
  const std::vector<uint8_t> before = snapshot(0, rows - 1);
  clearMarks();
  multiActive_ = false;
  anchor_ = current_;
  if (current_.valid() && model_.style().multiSelect != MultiSelectMode::None && !options_.dialog)
    model_.cellState(current_.column, current_.row).marked = true;
  markTop_ = 0;
  markBottom_ = rows - 1;
  refreshLineMarks();
  findMarkedRows(0, rows - 1);
  return changedSince(before, 0, rows - 1);
}

std::vector<SheetPos> SheetSelectionModel::markIndexRange(int first, int last) {
  if (!current_.valid()) return {};
  const cmcCellObj& here = model_.cellAt(current_.column, current_.row);
  if (first > last) std::swap(first, last);
  const int rows = model_.rowCount();
  const std::vector<uint8_t> before = snapshot(0, rows - 1);
  clearMarks();
  SheetPos far;
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < model_.columnCount(); ++c) {
      SheetCell& s = model_.cellState(c, r);
      if (s.cell.link == here.link && s.cell.index >= first && s.cell.index <= last) {
        s.marked = true;
        if (!far.valid() || std::abs(r - current_.row) > std::abs(far.row - current_.row))
          far = {c, r};
      }
    }
  multiActive_ = first != last;
  if (far.valid()) anchor_ = {current_.column, far.row};
  markTop_ = 0;
  markBottom_ = rows - 1;
  refreshLineMarks();
  findMarkedRows(0, rows - 1);
  return changedSince(before, 0, rows - 1);
}

std::pair<int, int> SheetSelectionModel::indexRange(SheetPos pos) const {
  const cmcCellObj& here = model_.cellAt(pos.column, pos.row);
  int first = here.index;
  int last = here.index;
  bool any = false;
  for (int r = std::max(0, markTop_); r <= std::min(markBottom_, model_.rowCount() - 1); ++r) {
    for (int c = 0; c < model_.columnCount(); ++c) {
      const SheetCell& s = model_.cellState(c, r);
      if (!s.marked || s.cell.link != here.link) continue;
      if (!any) first = last = s.cell.index;
      first = std::min(first, s.cell.index);
      last = std::max(last, s.cell.index);
      any = true;
    }
  }
  return {first, last};
}

std::vector<SheetPos> SheetSelectionModel::markedCells(int lastRow, int lastColumn) const {
  std::vector<SheetPos> cells;
  if (!multiActive_) return cells;
  lastRow = std::min({model_.rowCount() - 1, lastRow, markBottom_});
  lastColumn = std::min(model_.columnCount() - 1, lastColumn);
  for (int r = std::max(0, markTop_); r <= lastRow; ++r)
    for (int c = 0; c <= lastColumn; ++c) {
      const SheetCell& cell = model_.cellState(c, r);
      if (cell.marked || cell.lineMarked) cells.push_back({c, r});
    }
  return cells;
}

bool SheetSelectionModel::canSelectAllRows() const {
  return !options_.dialog && current_.valid() &&
         model_.style().multiSelect != MultiSelectMode::None &&
         model_.cellState(current_.column, current_.row).inMultiSelectRow;
}

std::pair<SheetPos, SheetPos> SheetSelectionModel::allRowsSpan() const {
  if (!canSelectAllRows()) return {};
  const int column = current_.column;
  SheetPos first;
  SheetPos last;
  for (int row = 0; row < model_.rowCount(); ++row) {
    if (!model_.isSelectable(column, row) || !model_.cellState(column, row).inMultiSelectRow)
      continue;
    if (!first.valid()) first = {column, row};
    last = {column, row};
  }
  return {first, last};
}

void SheetSelectionModel::clearMarks() {
  for (int r = std::max(0, markTop_); r <= std::min(markBottom_, model_.rowCount() - 1); ++r)
    for (int c = 0; c < model_.columnCount(); ++c) {
      SheetCell& s = model_.cellState(c, r);
      s.marked = false;
      s.lineMarked = false;
    }
  markTop_ = 0;
  markBottom_ = -1;
}

void SheetSelectionModel::findMarkedRows(int top, int bottom) {
  markTop_ = 0;
  markBottom_ = -1;
  for (int r = std::max(0, top); r <= std::min(bottom, model_.rowCount() - 1); ++r) {
    bool any = false;
    for (int c = 0; c < model_.columnCount() && !any; ++c) {
      const SheetCell& s = model_.cellState(c, r);
      any = s.marked || s.lineMarked;
    }
    if (!any) continue;
    if (markTop_ > markBottom_) markTop_ = r;
    markBottom_ = r;
  }
}

void SheetSelectionModel::refreshLineMarks() {
  if (model_.style().multiSelect != MultiSelectMode::Line) return;
  // A lone current cell is not a selection of lines: its row shows the line tint instead.
  for (int r = std::max(0, markTop_); r <= std::min(markBottom_, model_.rowCount() - 1); ++r) {
    if (!multiActive_) {
      for (int c = 0; c < model_.columnCount(); ++c) model_.cellState(c, r).lineMarked = false;
      continue;
    }
    bool any = false;
    for (int c = 0; c < model_.columnCount() && !any; ++c) any = model_.cellState(c, r).marked;
    for (int c = 0; c < model_.columnCount(); ++c)
      model_.cellState(c, r).lineMarked = any && c >= model_.fixedCols();
  }
}

std::vector<uint8_t> SheetSelectionModel::snapshot(int top, int bottom) const {
  std::vector<uint8_t> marks;
  top = std::max(0, top);
  bottom = std::min(bottom, model_.rowCount() - 1);
  if (top > bottom) return marks;
  marks.reserve(size_t(bottom - top + 1) * size_t(model_.columnCount()));
  for (int r = top; r <= bottom; ++r)
    for (int c = 0; c < model_.columnCount(); ++c) {
      const SheetCell& cell = model_.cellState(c, r);
      marks.push_back(uint8_t((cell.marked ? 1 : 0) | (cell.lineMarked ? 2 : 0)));
    }
  return marks;
}

std::vector<SheetPos> SheetSelectionModel::changedSince(const std::vector<uint8_t>& before,
                                                        int top, int bottom) const {
  const std::vector<uint8_t> after = snapshot(top, bottom);
  const int columns = model_.columnCount();
  const int first = std::max(0, top);
  std::vector<SheetPos> changed;
  for (size_t i = 0; i < after.size() && i < before.size(); ++i)
    if (after[i] != before[i]) changed.push_back({int(i) % columns, first + int(i) / columns});
  return changed;
}
