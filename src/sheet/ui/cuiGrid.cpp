#include "sheet/ui/cuiGrid.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>
#include <vector>

#include "sheet/ui/DirectPixels.h"
#include "sheet/ui/GridScrollBar.h"
#include "sheet/ui/SheetColours.h"

namespace {
constexpr int kResizeGrip = 3;
constexpr int kAutoScrollMs = 60;
}  // namespace

cuiGrid::cuiGrid(SheetModel& sheet, CellPainter& painter, GridHandler& handler, QWidget* parent)
    : QAbstractScrollArea(parent), sheet_(sheet), painter_(painter), handler_(handler) {
  setFrameShape(QFrame::NoFrame);
  setVerticalScrollBar(new GridScrollBar(Qt::Vertical, this));
  setHorizontalScrollBar(new GridScrollBar(Qt::Horizontal, this));
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_InputMethodEnabled, true);
  viewport()->setMouseTracking(true);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent, true);
  verticalScrollBar()->setSingleStep(1);
  horizontalScrollBar()->setSingleStep(1);
  leftColumn_ = sheet_.fixedCols();
  topRow_ = sheet_.fixedRows();
  autoScroll_ = new QTimer(this);
  autoScroll_->setInterval(kAutoScrollMs);
  connect(autoScroll_, &QTimer::timeout, this, &cuiGrid::autoScrollTick);
  updateGeometries();
}

cuiGrid::~cuiGrid() = default;

QSize cuiGrid::sizeHint() const {
  return QSize(sheet_.totalWidth() + 2 * frameWidth(), sheet_.totalHeight() + 2 * frameWidth());
}

void cuiGrid::setCurrentCell(SheetPos pos) {
  if (pos == state_.current) return;
  const SheetPos old = state_.current;
  state_.current = pos;
  if (old.valid()) invalidateCell(old.column, old.row);
  if (pos.valid()) invalidateCell(pos.column, pos.row);
}

void cuiGrid::setEditorOpen(bool open) {
  if (open == state_.editorOpen) return;
  state_.editorOpen = open;
  if (state_.current.valid()) invalidateCell(state_.current.column, state_.current.row);
}

void cuiGrid::setDialog(bool dialog) { state_.dialog = dialog; }

CellPaintState cuiGrid::paintState() const {
  CellPaintState s = state_;
  s.focused = hasFocus();
  return s;
}

int cuiGrid::fixedWidth() const {
  int w = 0;
  for (int c = 0; c < sheet_.fixedCols(); ++c) w += sheet_.columnWidth(c);
  return w;
}

int cuiGrid::fixedHeight() const {
  int h = 0;
  for (int r = 0; r < sheet_.fixedRows(); ++r) h += sheet_.rowHeight(r);
  return h;
}

int cuiGrid::cellsRight() const {
  int x = fixedWidth();
  const int w = viewport()->width();
  for (int c = leftColumn_; c < sheet_.columnCount() && x < w; ++c) x += sheet_.columnWidth(c);
  return std::min(x, w);
}

int cuiGrid::cellsBottom() const {
  int y = fixedHeight();
  const int h = viewport()->height();
  for (int r = topRow_; r < sheet_.rowCount() && y < h; ++r) y += sheet_.rowHeight(r);
  return std::min(y, h);
}

int cuiGrid::maxTopRow() const {
  const int available = viewport()->height() - fixedHeight();
  int row = sheet_.rowCount();
  int used = 0;
  while (row > sheet_.fixedRows() && used + sheet_.rowHeight(row - 1) <= available) {
    used += sheet_.rowHeight(row - 1);
    --row;
  }
  return std::clamp(row, sheet_.fixedRows(), std::max(sheet_.fixedRows(), sheet_.rowCount() - 1));
}

int cuiGrid::maxLeftColumn() const {
  const int available = viewport()->width() - fixedWidth();
  int column = sheet_.columnCount();
  int used = 0;
  while (column > sheet_.fixedCols() && used + sheet_.columnWidth(column - 1) <= available) {
    used += sheet_.columnWidth(column - 1);
    --column;
  }
  return std::clamp(column, sheet_.fixedCols(),
                    std::max(sheet_.fixedCols(), sheet_.columnCount() - 1));
}

void cuiGrid::updateGeometries() {
  updatingBars_ = true;
  const int maxTop = maxTopRow();
  const int maxLeft = maxLeftColumn();
  verticalScrollBar()->setRange(sheet_.fixedRows(), maxTop);
  horizontalScrollBar()->setRange(sheet_.fixedCols(), maxLeft);
  topRow_ = std::clamp(topRow_, sheet_.fixedRows(), laidOut_ ? maxTop : sheet_.rowCount() - 1);
  leftColumn_ =
      std::clamp(leftColumn_, sheet_.fixedCols(), laidOut_ ? maxLeft : sheet_.columnCount() - 1);
  verticalScrollBar()->setPageStep(std::max(1, lastVisibleRow() - topRow_));
  horizontalScrollBar()->setPageStep(std::max(1, lastVisibleColumn() - leftColumn_));
  verticalScrollBar()->setValue(topRow_);
  horizontalScrollBar()->setValue(leftColumn_);
  updatingBars_ = false;
  viewport()->update();
}

void cuiGrid::setTopRow(int row) {
  row = std::clamp(row, sheet_.fixedRows(), laidOut_ ? maxTopRow() : sheet_.rowCount() - 1);
  if (row == topRow_) return;
  const int oldTop = topRow_;
  topRow_ = row;
  updatingBars_ = true;
  verticalScrollBar()->setValue(row);
  updatingBars_ = false;
  scrollBody(oldTop, leftColumn_);
  handler_.gridScrolled();
}

void cuiGrid::setLeftColumn(int column) {
  column =
      std::clamp(column, sheet_.fixedCols(), laidOut_ ? maxLeftColumn() : sheet_.columnCount() - 1);
  if (column == leftColumn_) return;
  const int oldLeft = leftColumn_;
  leftColumn_ = column;
  updatingBars_ = true;
  horizontalScrollBar()->setValue(column);
  updatingBars_ = false;
  scrollBody(topRow_, oldLeft);
  handler_.gridScrolled();
}

void cuiGrid::scrollContentsBy(int, int) {
  if (updatingBars_) return;
  const int top = verticalScrollBar()->value();
  const int left = horizontalScrollBar()->value();
  if (top != topRow_ || left != leftColumn_) {
    const int oldTop = topRow_;
    const int oldLeft = leftColumn_;
    topRow_ = top;
    leftColumn_ = left;
    scrollBody(oldTop, oldLeft);
    handler_.gridScrolled();
  }
}

void cuiGrid::scrollBody(int oldTop, int oldLeft) {
  QWidget* view = viewport();
  if (!laidOut_ || !view->isVisible() || (oldTop != topRow_ && oldLeft != leftColumn_)) {
    view->update();
    return;
  }
  // The distance in pixels: the sizes of the rows or columns that went out of or came into view.
  auto span = [](int from, int to, auto size) {
    int pixels = 0;
    for (int i = std::min(from, to); i < std::max(from, to); ++i) pixels += size(i);
    return from < to ? -pixels : pixels;
  };
  const QRect all = view->rect();
  QRect area;
  int dx = 0;
  int dy = 0;
  // The sheet's background beyond the last column (or below the last row) is the same wherever
  // the rows (or columns) are scrolled to: it is neither moved nor painted again.
  if (oldTop != topRow_) {
    // The fixed rows stay; the fixed columns move with their rows.
    dy = span(oldTop, topRow_, [this](int r) { return sheet_.rowHeight(r); });
    area = QRect(0, fixedHeight(), cellsRight(), all.height() - fixedHeight());
  } else {
    dx = span(oldLeft, leftColumn_, [this](int c) { return sheet_.columnWidth(c); });
    area = QRect(fixedWidth(), 0, all.width() - fixedWidth(), cellsBottom());
  }
  area &= all;
  if (area.isEmpty()) return;
  if (std::abs(dx) >= area.width() || std::abs(dy) >= area.height()) {
    view->update(area);
    return;
  }
  view->scroll(dx, dy, area);
}

int cuiGrid::lastVisibleRow() const {
  int y = fixedHeight();
  int row = topRow_;
  const int h = viewport()->height();
  while (row < sheet_.rowCount() && y < h) y += sheet_.rowHeight(row++);
  return row - 1;
}

int cuiGrid::lastVisibleColumn() const {
  int x = fixedWidth();
  int column = leftColumn_;
  const int w = viewport()->width();
  while (column < sheet_.columnCount() && x < w) x += sheet_.columnWidth(column++);
  return column - 1;
}

void cuiGrid::scrollToCell(SheetPos pos) {
  if (!pos.valid()) return;
  if (!laidOut_) {
    pendingScroll_ = pos;
    return;
  }
  if (pos.row >= sheet_.fixedRows()) {
    int top = topRow_;
    if (pos.row < top) top = pos.row;
    const int available = viewport()->height() - fixedHeight();
    auto bottomOf = [&](int t) {
      int y = 0;
      for (int r = t; r <= pos.row; ++r) y += sheet_.rowHeight(r);
      return y;
    };
    while (top < pos.row && bottomOf(top) > available) ++top;
    setTopRow(top);
  }
  if (pos.column >= sheet_.fixedCols()) {
    int left = leftColumn_;
    if (pos.column < left) left = pos.column;
    const int available = viewport()->width() - fixedWidth();
    auto rightOf = [&](int l) {
      int x = 0;
      for (int c = l; c <= pos.column; ++c) x += sheet_.columnWidth(c);
      return x;
    };
    while (left < pos.column && rightOf(left) > available) ++left;
    setLeftColumn(left);
  }
}

int cuiGrid::columnLeft(int column) const {
  if (column < 0 || column >= sheet_.columnCount()) return -1;
  int x = 0;
  if (column < sheet_.fixedCols()) {
    for (int c = 0; c < column; ++c) x += sheet_.columnWidth(c);
    return x;
  }
  if (column < leftColumn_) return -1;
  x = fixedWidth();
  for (int c = leftColumn_; c < column; ++c) x += sheet_.columnWidth(c);
  return x;
}

int cuiGrid::rowTop(int row) const {
  if (row < 0 || row >= sheet_.rowCount()) return -1;
  int y = 0;
  if (row < sheet_.fixedRows()) {
    for (int r = 0; r < row; ++r) y += sheet_.rowHeight(r);
    return y;
  }
  if (row < topRow_) return -1;
  y = fixedHeight();
  for (int r = topRow_; r < row; ++r) y += sheet_.rowHeight(r);
  return y;
}

QRect cuiGrid::cellRect(int column, int row) const {
  const int x = columnLeft(column);
  const int y = rowTop(row);
  if (x < 0 || y < 0) return {};
  return QRect(x, y, sheet_.columnWidth(column), sheet_.rowHeight(row));
}

SheetPos cuiGrid::cellAt(const QPoint& point) const {
  auto find = [](int pos, int fixedCount, int first, int count, auto size) {
    int edge = 0;
    for (int i = 0; i < fixedCount; ++i) {
      if (pos < edge + size(i)) return i;
      edge += size(i);
    }
    for (int i = first; i < count; ++i) {
      if (pos < edge + size(i)) return i;
      edge += size(i);
    }
    return -1;
  };
  if (point.x() < 0 || point.y() < 0) return {};
  const int column = find(point.x(), sheet_.fixedCols(), leftColumn_, sheet_.columnCount(),
                          [this](int c) { return sheet_.columnWidth(c); });
  const int row = find(point.y(), sheet_.fixedRows(), topRow_, sheet_.rowCount(),
                       [this](int r) { return sheet_.rowHeight(r); });
  if (column < 0 || row < 0) return {};
  return {column, row};
}

void cuiGrid::invalidateCell(int column, int row) {
  for (int c = column; c < sheet_.columnCount(); ++c) {
    if (c > column && !sheet_.cellAt(c, row).tail()) break;
    const QRect r = cellRect(c, row);
    if (r.isEmpty()) continue;
    if (recordInvalidated_) invalidated_.append({c, row});
    viewport()->update(r);
  }
}

void cuiGrid::invalidateRow(int row) {
  const int y = rowTop(row);
  if (y < 0) return;
  if (recordInvalidated_) {
    for (int c = 0; c < sheet_.columnCount(); ++c)
      if (!cellRect(c, row).isEmpty()) invalidated_.append({c, row});
  }
  viewport()->update(QRect(0, y, cellsRight(), sheet_.rowHeight(row)));
}

void cuiGrid::invalidateAll() { viewport()->update(); }

QList<SheetPos> cuiGrid::takeInvalidated() {
  recordInvalidated_ = true;
  QList<SheetPos> out;
  out.swap(invalidated_);
  return out;
}

void cuiGrid::paintEvent(QPaintEvent* event) {
  QPainter p(viewport());
  const QRect exposed = event->rect();
  const QRegion& region = event->region();
  painter_.setPalette(palette());
  CellPaintState state = paintState();
  state.dpi = viewport()->logicalDpiY();
  const int lastRow = lastVisibleRow();
  const int lastColumn = lastVisibleColumn();
  int paintedRight = 0;
  int paintedBottom = 0;
  struct ShownCell {
    int column;
    QRect rect;
    QColor background;
  };
  DirectPixels pixels(p);
  std::vector<ShownCell> cells;
  cells.reserve(static_cast<size_t>(sheet_.fixedCols() + lastColumn - leftColumn_ + 1));
  auto paintRow = [&](int row) {
    const int y = rowTop(row);
    const int h = sheet_.rowHeight(row);
    if (h < 1 || y < 0 || y > exposed.bottom() || y + h <= exposed.top()) return;
    cells.clear();
    auto take = [&](int column) {
      const int x = columnLeft(column);
      const int w = sheet_.columnWidth(column);
      if (w < 1 || x < 0 || x > exposed.right() || x + w <= exposed.left()) return;
      const QRect cell(x, y, w, h);
      // Separate changed cells (an old and a new row) make a region of several rectangles.
      if (!region.intersects(cell)) return;
      cells.push_back({column, cell, painter_.background(column, row, state)});
      paintedRight = std::max(paintedRight, x + w);
    };
    for (int c = 0; c < sheet_.fixedCols(); ++c) take(c);
    for (int c = leftColumn_; c <= lastColumn; ++c) take(c);
    // The backgrounds first, each run of neighbours of one colour at once; then what each cell
    // draws on its background, which stays inside the cell.
    for (size_t i = 0; i < cells.size();) {
      const QColor& colour = cells[i].background;
      QRect run = cells[i].rect;
      size_t j = i + 1;
      while (j < cells.size() && cells[j].rect.left() == run.right() + 1 &&
             cells[j].background == colour) {
        run.setRight(cells[j].rect.right());
        ++j;
      }
      pixels.fill(run, colour);
      i = j;
    }
    for (const ShownCell& cell : cells)
      painter_.paint(p, cell.column, row, cell.rect, state, true, &pixels);
    paintedBottom = std::max(paintedBottom, y + h);
  };
  for (int r = 0; r < sheet_.fixedRows(); ++r) paintRow(r);
  for (int r = topRow_; r <= lastRow; ++r) paintRow(r);
  // The area beyond the last cell takes the sheet's background.
  const QColor background = sheetcolours::toQColor(sheet_.basicCell().colour, palette());
  const QRect all = viewport()->rect();
  if (paintedRight < all.width()) {
    pixels.fill(QRect(paintedRight, 0, all.width() - paintedRight, all.height()) & exposed,
                background);
  }
  if (paintedBottom < all.height()) {
    pixels.fill(QRect(0, paintedBottom, all.width(), all.height() - paintedBottom) & exposed,
                background);
  }
}

void cuiGrid::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  if (isVisible()) laidOut_ = true;
  updateGeometries();
  if (laidOut_ && pendingScroll_.valid()) {
    const SheetPos pos = pendingScroll_;
    pendingScroll_ = {};
    scrollToCell(pos);
  }
}

void cuiGrid::showEvent(QShowEvent* event) {
  QAbstractScrollArea::showEvent(event);
  if (!laidOut_) {
    laidOut_ = true;
    updateGeometries();
    if (pendingScroll_.valid()) {
      const SheetPos pos = pendingScroll_;
      pendingScroll_ = {};
      scrollToCell(pos);
    }
  }
}

void cuiGrid::keyPressEvent(QKeyEvent* event) { handler_.gridKeyPress(event); }

void cuiGrid::contextMenuEvent(QContextMenuEvent* event) {
  // A right-click opened the menu on the button's press already.
  if (event->reason() == QContextMenuEvent::Mouse) {
    event->ignore();
    return;
  }
  handler_.gridKeyboardMenu();
  event->accept();
}

int cuiGrid::resizeEdgeAt(const QPoint& point) const {
  if (!columnSizing_) return -1;
  const SheetPos pos = cellAt(point);
  if (!pos.valid() || pos.row >= sheet_.fixedRows()) return -1;
  for (int c = 0; c < sheet_.columnCount(); ++c) {
    const QRect r = cellRect(c, pos.row);
    if (r.isEmpty() || r.width() < 1) continue;
    if (std::abs(point.x() - (r.left() + r.width())) <= kResizeGrip) return c;
  }
  return -1;
}

void cuiGrid::mousePressEvent(QMouseEvent* event) {
  lastMouse_ = event->position().toPoint();
  if (event->button() == Qt::LeftButton) {
    const int edge = resizeEdgeAt(lastMouse_);
    if (edge >= 0) {
      resizingColumn_ = edge;
      resizeStartX_ = lastMouse_.x();
      resizeStartWidth_ = sheet_.columnWidth(edge);
      return;
    }
  }
  handler_.gridMousePress(event);
}

void cuiGrid::mouseMoveEvent(QMouseEvent* event) {
  lastMouse_ = event->position().toPoint();
  if (resizingColumn_ >= 0) {
    const int width = std::max(0, resizeStartWidth_ + lastMouse_.x() - resizeStartX_);
    sheet_.setColumnWidth(resizingColumn_, width);
    handler_.gridColumnResized(resizingColumn_);
    updateGeometries();
    return;
  }
  viewport()->setCursor(resizeEdgeAt(lastMouse_) >= 0 ? Qt::SplitHCursor : Qt::ArrowCursor);
  if (event->buttons() & Qt::LeftButton) {
    if (!viewport()->rect().contains(lastMouse_)) {
      if (!autoScroll_->isActive()) autoScroll_->start();
    } else {
      autoScroll_->stop();
    }
  }
  handler_.gridMouseMove(event);
}

void cuiGrid::autoScrollTick() {
  const QRect r = viewport()->rect();
  int dx = 0;
  int dy = 0;
  if (lastMouse_.x() < r.left()) dx = -1;
  if (lastMouse_.x() > r.right()) dx = 1;
  if (lastMouse_.y() < r.top()) dy = -1;
  if (lastMouse_.y() > r.bottom()) dy = 1;
  if (dx == 0 && dy == 0) {
    autoScroll_->stop();
    return;
  }
  handler_.gridTimedScroll(dx, dy);
}

void cuiGrid::mouseReleaseEvent(QMouseEvent* event) {
  autoScroll_->stop();
  if (resizingColumn_ >= 0) {
    resizingColumn_ = -1;
    handler_.gridColumnResizeDone();
    return;
  }
  handler_.gridMouseRelease(event);
}

void cuiGrid::mouseDoubleClickEvent(QMouseEvent* event) { handler_.gridDoubleClick(event); }

void cuiGrid::wheelRows(int notches) {
  const int direction = notches > 0 ? 1 : -1;
  for (int n = 0; n < std::abs(notches); ++n) {
    int counted = 0;
    while (counted < 3) {
      const int before = topRow_;
      setTopRow(topRow_ + direction);
      if (topRow_ == before) return;
      const int passed = direction > 0 ? before : topRow_;
      if (sheet_.rowHeight(passed) > 1) ++counted;
    }
  }
}

void cuiGrid::wheelEvent(QWheelEvent* event) {
  event->accept();
  if (wheelBlocked && wheelBlocked()) return;
  // Touchpads and fine wheels send parts of a notch: they add up to whole ones.
  const int delta = -event->angleDelta().y();
  if ((delta > 0 && wheelRest_ < 0) || (delta < 0 && wheelRest_ > 0)) wheelRest_ = 0;
  wheelRest_ += delta;
  const int notches = wheelRest_ / 120;
  wheelRest_ -= notches * 120;
  if (notches != 0) wheelRows(notches);
}

// The base classes repaint the whole widget on a focus change; only the selected cells change
// their look, and the sheet repaints those. A popup (the cell's menu, a drop-down list) takes
// and gives back the focus around a choice made in it: the sheet keeps its state, so the menu
// is not rebuilt under the item being chosen.
void cuiGrid::focusInEvent(QFocusEvent* event) {
  event->accept();
  if (event->reason() == Qt::PopupFocusReason) {
    handler_.gridPopupFocusChanged();
  } else {
    handler_.gridFocusChanged(true);
  }
}

void cuiGrid::focusOutEvent(QFocusEvent* event) {
  event->accept();
  if (event->reason() == Qt::PopupFocusReason) {
    handler_.gridPopupFocusChanged();
  } else {
    handler_.gridFocusChanged(false);
  }
}

void cuiGrid::inputMethodEvent(QInputMethodEvent* event) {
  handler_.gridInputMethod(event);
  event->accept();
}

bool cuiGrid::viewportEvent(QEvent* event) {
  // Showing or hiding the in-place editor asks its parent, the viewport, for a new layout; the
  // scroll area would answer by laying out its scroll bars again and repainting all of itself.
  // Nothing inside the viewport takes part in that layout.
  if (event->type() == QEvent::LayoutRequest) return true;
  // Mouse events of the viewport arrive here first; the scroll area forwards them to the
  // handlers above.
  return QAbstractScrollArea::viewportEvent(event);
}
