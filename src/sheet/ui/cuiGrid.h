#pragma once

#include <QAbstractScrollArea>
#include <QList>
#include <functional>

#include "sheet/core/SheetModel.h"
#include "sheet/ui/CellPainter.h"

class QInputMethodEvent;
class QTimer;

// What the grid hands to the sheet that owns it: input and focus changes. The grid itself only
// lays out, scrolls and paints.
class GridHandler {
 public:
  virtual ~GridHandler() = default;
  virtual void gridKeyPress(QKeyEvent* event) = 0;
  virtual void gridMousePress(QMouseEvent* event) = 0;
  virtual void gridMouseMove(QMouseEvent* event) = 0;
  virtual void gridMouseRelease(QMouseEvent* event) = 0;
  virtual void gridDoubleClick(QMouseEvent* event) = 0;
  virtual void gridFocusChanged(bool gained) = 0;
  // The focus went to a popup or came back from one: only the look of the selection changes.
  virtual void gridPopupFocusChanged() {}
  // The pointer is held beyond an edge: move the current cell one step that way.
  virtual void gridTimedScroll(int dx, int dy) = 0;
  // A column width was dragged by the user.
  virtual void gridColumnResized(int column) = 0;
  // The drag of a column width ended.
  virtual void gridColumnResizeDone() {}
  virtual void gridScrolled() {}
  // Input-method text (a composition, or text committed by compose or dead keys).
  virtual void gridInputMethod(QInputMethodEvent* event) { (void)event; }
  // The popup menu was asked for from the keyboard (the Menu key).
  virtual void gridKeyboardMenu() {}
};

// The grid control of a sheet: fixed rows and columns that stay while the body scrolls by whole
// rows and columns, cells painted by the CellPainter, only the visible ones.
class cuiGrid : public QAbstractScrollArea {
  Q_OBJECT

 public:
  cuiGrid(SheetModel& sheet, CellPainter& painter, GridHandler& handler, QWidget* parent);
  ~cuiGrid() override;

  SheetModel& sheet() const { return sheet_; }
  CellPainter& painter() const { return painter_; }

  // The current cell and the state the painter needs.
  SheetPos currentCell() const { return state_.current; }
  void setCurrentCell(SheetPos pos);
  void setEditorOpen(bool open);
  void setDialog(bool dialog);
  bool isDialog() const { return state_.dialog; }
  CellPaintState paintState() const;

  // Scrolling: the first body column and row shown.
  int leftColumn() const { return leftColumn_; }
  int topRow() const { return topRow_; }
  void setLeftColumn(int column);
  void setTopRow(int row);
  // Scrolls the least needed to show the cell whole (or at least its start).
  void scrollToCell(SheetPos pos);
  // The last body row or column of which at least a pixel is visible.
  int lastVisibleRow() const;
  int lastVisibleColumn() const;
  // The largest sensible top row and left column.
  int maxTopRow() const;
  int maxLeftColumn() const;

  // Geometry in viewport coordinates; an empty rectangle when the cell is not shown.
  QRect cellRect(int column, int row) const;
  // The cell under a viewport point, or an invalid position outside the cells.
  SheetPos cellAt(const QPoint& point) const;
  int columnLeft(int column) const;  // -1 when scrolled away
  int rowTop(int row) const;

  // Repaints one cell (and the tail cells that follow it), a row, or everything.
  void invalidateCell(int column, int row);
  void invalidateRow(int row);
  void invalidateAll();
  // Cells repainted since the last call (for checking which cells a change repaints). The grid
  // keeps no such record until the first call: a long session must not collect one.
  QList<SheetPos> takeInvalidated();
  // Recomputes scroll ranges after the sheet's sizes changed.
  void updateGeometries();

  // Columns the user may drag: the handler checks and clamps them.
  void setColumnSizing(bool on) { columnSizing_ = on; }

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  bool viewportEvent(QEvent* event) override;

 public:
  // One wheel notch: up to three rows that are taller than a pixel.
  void wheelRows(int notches);
  // Set by the sheet: whether the wheel is to be swallowed now.
  std::function<bool()> wheelBlocked;

 private:
  int fixedWidth() const;
  int fixedHeight() const;
  // The right edge of the last column shown and the bottom edge of the last row shown, within
  // the viewport: beyond them lies only the sheet's background.
  int cellsRight() const;
  int cellsBottom() const;
  int resizeEdgeAt(const QPoint& point) const;
  // After the first body row or column changed from these: moves the pixels that stay in view
  // and repaints only what comes into view.
  void scrollBody(int oldTop, int oldLeft);
  void autoScrollTick();

  SheetModel& sheet_;
  CellPainter& painter_;
  GridHandler& handler_;
  CellPaintState state_;
  int leftColumn_ = 0;
  int topRow_ = 0;
  // Until the grid is shown at its real size, scrolling is remembered rather than done.
  bool laidOut_ = false;
  SheetPos pendingScroll_;
  bool updatingBars_ = false;
  bool columnSizing_ = false;
  int resizingColumn_ = -1;
  int resizeStartX_ = 0;
  int resizeStartWidth_ = 0;
  QTimer* autoScroll_ = nullptr;
  QPoint lastMouse_;
  bool recordInvalidated_ = false;
  int wheelRest_ = 0;  // wheel turn short of a notch
  QList<SheetPos> invalidated_;
};
