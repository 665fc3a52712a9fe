#pragma once

#include <QByteArray>
#include <QWidget>
#include <memory>

#include "sheet/core/SheetModel.h"
#include "sheet/ui/SheetUiServices.h"

class cuiGrid;

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

 protected:
  explicit cuiSheet(QWidget* parent);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
