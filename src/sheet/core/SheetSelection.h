#pragma once

#include <utility>
#include <vector>

#include "sheet/core/SheetModel.h"

// Where the user stands on a sheet and what is selected: the current cell, the anchor of a
// multiple selection and the marks it leaves in the sheet's cell states (which the painter
// reads). Moves, steps and the index ranges row edits act on are worked out here; the widget
// only turns keys and clicks into calls and repaints the cells a call reports as changed.
class SheetSelectionModel {
 public:
  struct Options {
    // A drop-down list or a dialog's grid: no multiple selection, and steps stay in their row
    // or column.
    bool dialog = false;
    // Single steps wrap around at the edges (menu-like lists without scroll bars).
    bool wrapAround = false;
  };

  explicit SheetSelectionModel(SheetModel& model) : SheetSelectionModel(model, Options()) {}
  SheetSelectionModel(SheetModel& model, Options options);

  SheetPos current() const { return current_; }
  SheetPos anchor() const { return anchor_; }
  // More than the current cell is selected.
  bool multiActive() const { return multiActive_; }
  // The row or column a step into another column or row keeps close to: where the user last
  // moved or clicked to, not where a step happened to land.
  SheetPos remembered() const { return remembered_; }
  void remember(SheetPos pos) { remembered_ = pos; }

  // Whether `pos` may become current: inside the grid, selectable, and while several cells are
  // selected, in a row that takes part in the selection.
  bool canSelect(SheetPos pos) const;
  // Makes `pos` current. With `extend` (Shift held, or the mouse dragged) the box from the
  // anchor to `pos` is marked; otherwise earlier marks go and `pos` becomes the anchor. Returns
  // the cells whose marks changed.
  std::vector<SheetPos> setCurrent(SheetPos pos, bool extend);

  // The next selectable cell from `from` one step (dx, dy) away: along the row or column first;
  // then (not in dialogs) in the next column or row that has one, nearest to the remembered
  // position. `from` itself when there is none.
  SheetPos stepFrom(SheetPos from, int dx, int dy) const;
  // Where a move of dx columns or else dy rows from the current cell ends: as many steps as it
  // asks for while there are cells to go to.
  SheetPos moveTarget(int dx, int dy) const;

  // Back to the current cell alone. Returns the cells whose marks changed.
  std::vector<SheetPos> drop();
  // Marks the cells linked as the current cell whose index is within first..last (the rows a
  // command moved or pasted), the anchor at the farthest of them. Returns the changed cells.
  std::vector<SheetPos> markIndexRange(int first, int last);

  // The indices a row edit at `pos` acts on: lowest and highest index of the marked cells
  // linked as `pos`, or `pos`'s own index when none is marked.
  std::pair<int, int> indexRange(SheetPos pos) const;
  // The marked cells up to lastRow and lastColumn (what is shown), for repainting; none
  // without a multiple selection.
  std::vector<SheetPos> markedCells(int lastRow, int lastColumn) const;

  // Select All: every row of the current column that takes part in multiple selection.
  bool canSelectAllRows() const;
  // The lowest and highest such cell of the current column; invalid when there is none.
  std::pair<SheetPos, SheetPos> allRowsSpan() const;

 private:
  void clearMarks();
  void refreshLineMarks();
  void findMarkedRows(int top, int bottom);
  bool inSelectionRow(SheetPos pos) const;
  std::vector<uint8_t> snapshot(int top, int bottom) const;
  std::vector<SheetPos> changedSince(const std::vector<uint8_t>& before, int top,
                                     int bottom) const;

  SheetModel& model_;
  Options options_;
  SheetPos current_;
  SheetPos anchor_;
  SheetPos remembered_;
  bool multiActive_ = false;
  // The rows that may hold a mark or a line mark (none while markTop_ > markBottom_): a move
  // looks at these and at the rows it passes, not at the whole sheet.
  int markTop_ = 0;
  int markBottom_ = -1;
};
