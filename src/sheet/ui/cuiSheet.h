#pragma once

#include <QByteArray>
#include <QWidget>
#include <functional>
#include <memory>

#include "sheet/core/SheetModel.h"
#include "sheet/ui/SheetUiServices.h"

class cuiGrid;
class cuiPopupMenu;
class QAction;
class QMenu;
class QLineEdit;
class QTextEdit;
struct cmcCellCapsule;

// Where a sheet stands: the current cell and the scroll position (the first body column and row
// shown). The main window's sheet history keeps one per call string.
struct SheetViewPosition {
  SheetPos current;
  int leftColumn = -1;
  int topRow = -1;
  bool valid() const { return current.valid(); }
};

// One sheet on screen: the built SheetModel of a call string shown in a cuiGrid, with its
// in-place editor, drop-down lists and popup menu. The main window asks for a sheet by call
// string and puts the widget in its right pane; it never paints a cell itself.
class cuiSheet : public QWidget {
  Q_OBJECT

 public:
  // Builds the sheet variant named by the call string's state. `parent` takes ownership.
  static cuiSheet* open(const QByteArray& callString, const SheetUiServices& services,
                        QWidget* parent);
  ~cuiSheet() override;

  const QByteArray& callString() const;
  SheetModel& model();
  const SheetModel& model() const;
  cuiGrid* grid() const;

  SheetViewPosition position() const;
  // Restores a remembered position when its cell is still selectable.
  void restorePosition(const SheetViewPosition& position);
  // Selects the first selectable cell with this category, link and index (event 32).
  bool selectCell(int category, int link, int index);

  // Commits the open in-place editor now (as event 22 does).
  void commitEditor();
  // Repaints every visible cell (after undo, redo or new data).
  void refreshAll();

  // A dialog sheet: a drop-down list or a dialog's grid, over an already built model. The
  // dialog look (highlight without focus, no line tint), wrap-around arrows without scroll bars,
  // hover selection and a single click choosing.
  struct DialogOptions {
    const cmcCellCapsule* owner = nullptr;  // the request of the cell it was opened for
    bool scrollBars = true;
    // Requests of the dialog's cells go here instead of the catalogue when set; return a
    // dispatcher result.
    std::function<int(cmcCellCapsule& request, bool editing)> cellHandler;
    // Enter, a double-click or a click on a cell: the choice of `chosen` (the cell's request).
    std::function<void(const cmcCellCapsule& chosen)> choose;
  };
  static cuiSheet* openDialog(std::unique_ptr<SheetModel> model, const SheetUiServices& services,
                              const DialogOptions& options, QWidget* parent);

  SheetPos currentCell() const;
  // What the cell's caution or range mark means; empty for a cell without a mark.
  QString markNoteAt(SheetPos pos) const;
  bool isDialog() const;
  // The in-place editor while it is open, else null: one line, or for a wrap cell the list
  // editor filling the cell.
  QLineEdit* openEditor() const;
  QTextEdit* openListEditor() const;
  // The cell's popup menu as last built (empty when the cell has none).
  QMenu* popupMenu() const;
  cuiPopupMenu* popupBuilder() const;
  // The drop-down list or flag-bits dialog opened from this sheet while it is open, else null.
  QWidget* openPopupWindow() const;
  // The current cell's popup-menu item with this link, its state just asked; null when the
  // cell's menu has no such item.
  QAction* popupCommand(int link);
  // Marks every row of the current column that takes part in multiple selection (Select All).
  bool canSelectAllRows() const;
  bool selectAllRows();
  // Runs the popup-menu item with this link on the current cell, as a click on it does.
  bool runPopupCommand(int link);
  // A choice made in a list or dialog opened from this sheet: dispatches `request` (a copy of
  // the owner cell's request with operation 2) as one change and acts on the answer.
  int deliverChoice(cmcCellCapsule& request);
  // Makes `cell` current when it is selectable (a list opening on the current value).
  bool selectPosition(SheetPos cell);

  // The request the grid would hand over for a key on (column, row) (for dialogs that forward).
  void fillRequest(cmcCellCapsule& request, SheetPos cell) const;

 signals:
  // The current cell moved.
  void currentCellChanged(SheetPos cell);
  // A key (character, function key, edge code, double-click) went to the handler for a cell.
  void keySent(int key, SheetPos cell);
  // A typed value was stored as something else; the text says what, and why, for the status bar.
  void typedValueNoted(const QString& note);
  // F1 on the current cell: the help topic of its link, shown at `where` (global).
  void helpRequested(int link, const QPoint& where);

 protected:
  explicit cuiSheet(QWidget* parent);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
