#include "sheet/ui/cuiSheet.h"

#include <QApplication>
#include <QEvent>
#include <QHelpEvent>
#include <QFrame>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QTextEdit>
#include <QThread>
#include <QToolTip>
#include <QVBoxLayout>
#include <cstring>

#include "base/cmcEvMan.h"
#include "base/events.h"
#include "base/textcodec.h"
#include "gtex/cellmarkup.h"
#include "model/catalogue.h"
#include "model/cmcCellCapsule.h"
#include "model/marknote.h"
#include "model/typednote.h"
#include "sheet/ui/CellPainter.h"
#include "sheet/ui/DocumentUndo.h"
#include "sheet/ui/ScreenMeasure.h"
#include "sheet/ui/SheetColours.h"
#include "sheet/ui/SheetWidthStore.h"
#include "sheet/ui/cuiFBitsR.h"
#include "sheet/ui/cuiFlector.h"
#include "sheet/ui/cuiGrid.h"
#include "sheet/ui/cuiPopupMenu.h"

namespace {

// The catalogue's display text of a linked cell, for sizing columns.
class CatalogueTexts : public SheetTextProvider {
 public:
  explicit CatalogueTexts(FieldCatalogue* catalogue) : catalogue_(catalogue) {}
  QByteArray cellText(const SheetModel& sheet, int column, int row) override {
    if (!catalogue_) return {};
    cmcCellCapsule req;
    sheet.fillRequest(req, column, row);
    catalogue_->dispatch(req, false);
    return req.resultText;
  }

 private:
  FieldCatalogue* catalogue_;
};

// Wraps a change of the working image in one undo step when the document keeps a history.
class ImageChange {
 public:
  ImageChange(DocumentUndo* undo, const QString& text) {
    if (undo) change_ = std::make_unique<DocumentUndo::Change>(undo, text);
  }

 private:
  std::unique_ptr<DocumentUndo::Change> change_;
};

struct CurrentCellData {
  int32_t category;
  int32_t link;
  int32_t index;
};

}  // namespace

// --- Impl ------------------------------------------------------------------------------------

struct cuiSheet::Impl : public GridHandler, public QObject {
  Impl(cuiSheet* owner, const SheetUiServices& services) : q(owner), ui(services) {}
  ~Impl() override;

  cuiSheet* q;
  SheetUiServices ui;
  std::unique_ptr<CatalogueTexts> ownTexts;
  std::unique_ptr<ScreenMeasure> ownMeasure;
  std::unique_ptr<cmcCellParser> ownParser;
  std::unique_ptr<SheetModel> model;
  std::unique_ptr<CellPainter> painter;
  cuiGrid* grid = nullptr;
  QLabel* title = nullptr;
  std::unique_ptr<cmcEvHook> hook;

  // Dialog sheets.
  bool dialog = false;
  DialogOptions dialogOptions;

  // Interaction state.
  SheetPos current;
  SheetPos anchor;
  SheetPos remembered;
  SheetPos lastHover;
  bool mouseDown = false;
  bool shiftHeld = false;
  bool multiActive = false;
  // The rows that may hold a mark or a line mark (none while markTop > markBottom): a move looks
  // at these and at the rows it passes, not at the whole sheet.
  int markTop = 0;
  int markBottom = -1;
  bool popupOnHeader = false;
  bool dying = false;
  bool focusInEditor = false;  // the focus went to the in-place editor, not away  // the widget is
                               // being destroyed: its children report focus changes

  // In-place editor.
  QLineEdit* editor = nullptr;
  // List mode (wrap cells): the text fills the cell, wrapped at 90 % of its width as it is typed.
  QTextEdit* listEditor = nullptr;
  bool listMode = false;
  int listMaxLength = 0;
  QWidget* activeEditor() const {
    return listMode ? static_cast<QWidget*>(listEditor) : static_cast<QWidget*>(editor);
  }
  QString editorText() const { return listMode ? listEditor->toPlainText() : editor->text(); }
  SheetPos editPos;
  bool editorOpen = false;
  bool closingEditor = false;

  // Popup menu.
  QMenu* popup = nullptr;
  std::unique_ptr<cuiPopupMenu> popupBuilder;
  QByteArray popupName;
  bool popupBuilt = false;
  cmcCellObj askedCell;         // answer to event 12
  cmcCellCapsule askedContext;  // and the request around it

  QPointer<QWidget> popupWindow;

  // --- set-up -------------------------------------------------------------------------------
  void createWidgets();
  void connectBus();
  cmcCellParser& parser();

  // --- requests -----------------------------------------------------------------------------
  void makeRequest(cmcCellCapsule& req, SheetPos pos) const;
  int dispatch(cmcCellCapsule& req, bool editing);
  int sendKey(SheetPos pos, int key, int operation = kOpDisplayOrKey, const QByteArray& typed = {});
  void handleResult(SheetPos pos, cmcCellCapsule& req, int result, int replayDepth = 0);
  void repaintRules(const cmcCellObj& cell, int rules);
  void chooseInDialog(SheetPos pos);

  // --- moving and selecting -----------------------------------------------------------------
  bool selectCell(SheetPos pos, bool forceMenu = false);
  void move(int dx, int dy);
  SheetPos stepFrom(SheetPos from, int dx, int dy) const;
  void scrollToStartIfNeeded(SheetPos pos);
  void updateMultiSelection(SheetPos old, SheetPos now);
  void clearMarks();
  // Back to the current cell alone, repainting what was marked.
  void dropSelection();
  void refreshLineMarks();
  void applyRange(const cmcCellCapsule& req);

  // --- editor ---------------------------------------------------------------------------------
  void openEditorOn(SheetPos pos, const cmcCellCapsule& req);
  void openListEditorOn(SheetPos pos, const cmcCellCapsule& req);
  void commitEditor();
  void cancelEditor();
  void hideEditor();
  bool eventFilter(QObject* watched, QEvent* event) override;
  QObject* filteredGrid = nullptr;
  QObject* filteredViewport = nullptr;

  // --- popup menu ---------------------------------------------------------------------------
  void rebuildPopup(bool force);
  // What a change of the cell is called in the Edit menu's Undo and Redo: its column's header
  // ("Operating Freq"), or on pages of labelled rows the row's label ("Beep").
  QString fieldName(SheetPos pos) const;
  void runPopupItem(const cmcCellObj& item);
  void queryItem(const cmcCellObj& item, cmcCellCapsule& state);
  void showPopup(const QPoint& global);
  void showPopupAtCurrent();

  // --- lists and dialogs --------------------------------------------------------------------
  void openPopupRequest(SheetPos pos, const cmcCellCapsule& req);

  // --- GridHandler --------------------------------------------------------------------------
  void gridKeyPress(QKeyEvent* event) override;
  void gridMousePress(QMouseEvent* event) override;
  void gridMouseMove(QMouseEvent* event) override;
  void gridMouseRelease(QMouseEvent* event) override;
  void gridDoubleClick(QMouseEvent* event) override;
  void gridFocusChanged(bool gained) override;
  void gridPopupFocusChanged() override {
    if (!dying) invalidateSelected();
  }
  void gridTimedScroll(int dx, int dy) override;
  void gridColumnResized(int column) override;
  void gridColumnResizeDone() override { storeWidths(); }
  // Keeps the widths the user gave, so that printing (which reads them) uses them at once.
  void storeWidths() {
    if (ui.sheet.widths && !dialog && model && model->isBuilt()) ui.sheet.widths->saveWidths(*model);
  }
  void gridInputMethod(QInputMethodEvent* event) override;
  void typeText(const QString& text);
  void gridScrolled() override;
  void gridKeyboardMenu() override { showPopupAtCurrent(); }

  void onEvent(const cmcEvent& event);
  void autoFit(int column);
  void invalidateSelected();
  // Repaints the cells whose marks differ from `before` (a snapshot of marked and line-marked in
  // the rows top to bottom, which hold every mark before and after).
  std::vector<uint8_t> markSnapshot(int top, int bottom) const;
  void invalidateChangedMarks(const std::vector<uint8_t>& before, int top, int bottom);
  // Narrows markTop and markBottom to the rows that hold marks, of top to bottom.
  void findMarkedRows(int top, int bottom);
};

cuiSheet::Impl::~Impl() = default;

cmcCellParser& cuiSheet::Impl::parser() {
  if (ui.sheet.parser) return *ui.sheet.parser;
  if (!ownParser) ownParser = std::make_unique<cmcCellParser>(*ui.sheet.text);
  return *ownParser;
}

void cuiSheet::Impl::createWidgets() {
  auto* layout = new QVBoxLayout(q);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  const QPalette pal = q->palette();

  if (model->hasTitleBar() && !dialog) {
    // A sunken bar across the top with the title on the title colour.
    auto* bar = new QFrame(q);
    bar->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    bar->setLineWidth(2);
    bar->setAutoFillBackground(true);
    QPalette barPalette = bar->palette();
    barPalette.setColor(QPalette::Window, sheetcolours::toQColor(model->style().titleColour, pal));
    const CellFont titleFont = model->style().titleFont.value_or(model->fontOf(model->basicCell()));
    barPalette.setColor(QPalette::WindowText, sheetcolours::toQColor(titleFont.colour, pal));
    bar->setPalette(barPalette);
    auto* barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(2, 0, 2, 0);
    title = new QLabel(fromCp932(model->titleText()), bar);
    title->setObjectName(QStringLiteral("sheetTitle"));
    title->setFont(cellQFont(titleFont));
    title->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    barLayout->addWidget(title);
    bar->setFixedHeight(QFontMetrics(title->font()).height() + 2 + 8);
    layout->addWidget(bar);
  }

  auto* area = new QFrame(q);
  if (dialog) {
    area->setFrameStyle(QFrame::Panel | QFrame::Raised);
    area->setLineWidth(1);
  } else {
    area->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    area->setLineWidth(2);
  }
  auto* areaLayout = new QVBoxLayout(area);
  areaLayout->setContentsMargins(dialog ? 2 : 0, dialog ? 2 : 0, dialog ? 2 : 0, dialog ? 2 : 0);
  painter = std::make_unique<CellPainter>(*model, [this](cmcCellCapsule& req) {
    if (dialog && dialogOptions.cellHandler) {
      dialogOptions.cellHandler(req, false);
    } else if (ui.catalogue) {
      ui.catalogue->dispatch(req, false);
    }
  });
  grid = new cuiGrid(*model, *painter, *this, area);
  grid->setMinimumSize(1, 1);  // a small list is as small as its cells
  // Tool tips of marked cells, and F1 on a cell before the window's F1. The filter compares
  // the stored pointers: it also sees the events of the widgets' own destruction.
  filteredViewport = grid->viewport();
  filteredGrid = grid;
  filteredViewport->installEventFilter(this);
  filteredGrid->installEventFilter(this);
  grid->setDialog(dialog);
  grid->setColumnSizing(model->style().colSizing && !dialog);
  QPalette gridPalette = grid->palette();
  gridPalette.setColor(QPalette::Window, sheetcolours::toQColor(model->basicCell().colour, pal));
  grid->setPalette(gridPalette);
  if (dialog && !dialogOptions.scrollBars) {
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  } else if (dialog) {
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  } else {
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  }
  grid->wheelBlocked = [this] {
    QWidget* top = q->window();
    if (top && !top->isEnabled()) return true;
    if (ui.sheet.bus) {
      for (const cmcEvAns* a = ui.sheet.bus->ask(ev::kAskPopupOpen, 0, q); a; a = a->next())
        if (a->value() != 0) return true;
    }
    return popupWindow != nullptr;
  };
  areaLayout->addWidget(grid);
  layout->addWidget(area, 1);
  q->setFocusProxy(grid);

  popup = new QMenu(grid);
  // A header's column-cut menu lasts while it is shown.
  QObject::connect(popup, &QMenu::aboutToHide, this, [this] {
    if (!popupOnHeader) return;
    popupOnHeader = false;
    popupBuilt = false;
  });
  popupBuilder = std::make_unique<cuiPopupMenu>(*ui.sheet.text, parser());
  popupBuilder->setClickHandler([this](const cmcCellObj& item) { runPopupItem(item); });
  popupBuilder->setStateQuery(
      [this](const cmcCellObj& item, cmcCellCapsule& state) { queryItem(item, state); });
}

void cuiSheet::Impl::connectBus() {
  if (!ui.sheet.bus) return;
  hook = std::make_unique<cmcEvHook>(*ui.sheet.bus, [this](const cmcEvent& e) { onEvent(e); });
}

void cuiSheet::Impl::onEvent(const cmcEvent& event) {
  switch (event.code) {
    case ev::kRefreshAllSheets: {
      cmcCellObj any;
      repaintRules(any, kRepaintAllLinked);
      break;
    }
    case ev::kRefreshRow: {
      cmcCellObj row;
      row.index = static_cast<int32_t>(event.a);
      row.link = 0;
      repaintRules(row, kRepaintSameIndex);
      break;
    }
    case ev::kAskCurrentCell:
      if (event.mode == cmcEvent::kAsked && current.valid() && !dialog &&
          (event.a == 0 || event.aAs<QMenu>() == popup)) {
        askedCell = model->cellAt(current.column, current.row);
        askedCell.base = model->cellAt(current.column, current.row).base;
        askedContext = cmcCellCapsule();
        makeRequest(askedContext, current);
        askedContext.cell = &model->cellAt(current.column, current.row);
        ui.sheet.bus->answer(&askedCell, reinterpret_cast<intptr_t>(&askedContext));
      }
      break;
    case ev::kCommitEditor:
      commitEditor();
      break;
    default:
      break;
  }
}

// --- requests --------------------------------------------------------------------------------

void cuiSheet::Impl::makeRequest(cmcCellCapsule& req, SheetPos pos) const {
  model->fillRequest(req, pos.column, pos.row);
  req.parent = dialog ? dialogOptions.owner : nullptr;
  req.grid = grid;
  req.editGrid = grid;
  req.sheet = q;
  if (pos == current) req.marks |= kMarkCurrentCell;
  if (multiActive) {
    req.multipleSelection.bits = kMultiSelectActive;
    const cmcCellObj& here = model->cellAt(pos.column, pos.row);
    bool any = false;
    for (int r = std::max(0, markTop); r <= std::min(markBottom, model->rowCount() - 1); ++r) {
      for (int c = 0; c < model->columnCount(); ++c) {
        const SheetCell& s = model->cellState(c, r);
        if (!s.marked || s.cell.link != here.link) continue;
        if (!any) req.multipleSelection.first = req.multipleSelection.last = s.cell.index;
        req.multipleSelection.first = std::min(req.multipleSelection.first, s.cell.index);
        req.multipleSelection.last = std::max(req.multipleSelection.last, s.cell.index);
        any = true;
      }
    }
    if (!any) req.multipleSelection.first = req.multipleSelection.last = here.index;
  }
  const cmcCellObj* cell = req.cell;
  Impl* self = const_cast<Impl*>(this);  // the callbacks act on the sheet later
  req.repaint = [self, cell](int rules) { self->repaintRules(*cell, rules); };
  req.reopenEditor = [self, pos] {
    if (pos == self->current) self->sendKey(pos, kKeyEdit);
  };
}

int cuiSheet::Impl::dispatch(cmcCellCapsule& req, bool editing) {
  if (dialog && dialogOptions.cellHandler) return dialogOptions.cellHandler(req, editing);
  return ui.catalogue ? ui.catalogue->dispatch(req, editing) : kDispatchDone;
}

int cuiSheet::Impl::sendKey(SheetPos pos, int key, int operation, const QByteArray& typed) {
  if (!pos.valid()) return kDispatchDone;
  if (dialog && dialogOptions.owner && operation == kOpDisplayOrKey &&
      (key == kKeyEnter || key == kKeyDoubleClick) && dialogOptions.choose) {
    chooseInDialog(pos);
    return kDispatchDone;
  }
  cmcCellCapsule req;
  makeRequest(req, pos);
  req.key = key;
  req.operation = operation;
  req.typedText = typed;
  if (operation == kOpDisplayOrKey) emit q->keySent(key, pos);
  int result;
  {
    ImageChange change(ui.undo, fieldName(pos));
    result = dispatch(req, true);
  }
  handleResult(pos, req, result);
  return result;
}

void cuiSheet::Impl::chooseInDialog(SheetPos pos) {
  cmcCellCapsule chosen;
  makeRequest(chosen, pos);
  chosen.key = kKeyNone;
  dialogOptions.choose(chosen);
}

void cuiSheet::Impl::handleResult(SheetPos pos, cmcCellCapsule& req, int result, int replayDepth) {
  if (result == kDispatchListOpened) {
    grid->invalidateCell(pos.column, pos.row);
    // The choice goes to this row alone: so does the selection.
    if (multiActive) dropSelection();
    if (req.popup.kind != kPopupNone) openPopupRequest(pos, req);
  } else if (result == kDispatchOpenEditor) {
    openEditorOn(pos, req);
  }
  // The command dropped the selection (Delete): gone even when the cursor does not move.
  if (multiActive && !(req.multipleSelection.bits & (kMultiSelectActive | kMultiSelectApplied))) {
    dropSelection();
  }
  const bool applyMarks = req.multipleSelection.bits & kMultiSelectApplied;
  const SheetPos target =
      req.jump.requested
          ? model->findSelectableCell(req.jump.category, req.jump.link, req.jump.index)
          : SheetPos();
  // The jump first: moving the cursor drops marks, and the range marked is the command's.
  if (target.valid()) selectCell(target);
  if (applyMarks) applyRange(req);
  if (req.jump.requested) {
    if (target.valid()) {
      if (req.jump.key != kKeyNone && replayDepth < 8) {
        grid->viewport()->repaint();
        const int pause = std::max(0, 30 - 6 * replayDepth);
        if (pause > 0) QThread::msleep(static_cast<unsigned long>(pause));
        cmcCellCapsule again;
        makeRequest(again, target);
        again.key = req.jump.key;
        int r;
        {
          ImageChange change(ui.undo, fieldName(target));
          r = dispatch(again, true);
        }
        handleResult(target, again, r, replayDepth + 1);
      }
    }
  }
}

void cuiSheet::Impl::repaintRules(const cmcCellObj& ref, int rules) {
  if (!grid || rules == 0) return;
  const int lastRow = std::min(model->rowCount() - 1, grid->lastVisibleRow() + 1);
  const int lastColumn = std::min(model->columnCount() - 1, grid->lastVisibleColumn() + 1);
  for (int r = 0; r <= lastRow; ++r) {
    for (int c = 0; c <= lastColumn; ++c) {
      const cmcCellObj& cell = model->cellAt(c, r);
      const bool linked = cell.link != CL_None;
      const bool match = ((rules & kRepaintSameLinkAndIndex) && cell.link == ref.link &&
                          cell.index == ref.index) ||
                         ((rules & kRepaintSameCategory) && cell.category == ref.category) ||
                         ((rules & kRepaintSameLink) && cell.link == ref.link) ||
                         ((rules & kRepaintSameIndex) && linked && cell.index == ref.index) ||
                         ((rules & kRepaintAdjacentIndex) && linked &&
                          cell.category == ref.category && std::abs(cell.index - ref.index) <= 1) ||
                         ((rules & kRepaintAllLinked) && linked) ||
                         ((rules & kRepaintIndexFrom) && linked && cell.index >= ref.index) ||
                         ((rules & kRepaintIndexUpTo) && linked && cell.index <= ref.index);
      if (match) grid->invalidateCell(c, r);
    }
  }
}

// --- moving and selecting --------------------------------------------------------------------

bool cuiSheet::Impl::selectCell(SheetPos pos, bool forceMenu) {
  if (!pos.valid() || pos.column >= model->columnCount() || pos.row >= model->rowCount())
    return false;
  if (!model->isSelectable(pos.column, pos.row)) return false;
  if (multiActive && !model->cellState(pos.column, pos.row).inMultiSelectRow) return false;
  const SheetPos old = current;
  if (pos != old) {
    if (editorOpen) commitEditor();
    current = pos;
    grid->setCurrentCell(pos);
    if (ui.sheet.bus) {
      const cmcCellObj& cell = model->cellAt(pos.column, pos.row);
      const CurrentCellData data{cell.category, cell.link, cell.index};
      ui.sheet.bus->postData(ev::kCurrentCellChanged, &data, sizeof data);
    }
    if (model->style().colorSelectLine && !dialog) {
      if (old.valid()) grid->invalidateRow(old.row);
      grid->invalidateRow(pos.row);
    }
    updateMultiSelection(old, pos);
    rebuildPopup(forceMenu);
    if (ui.sheet.bus) ui.sheet.bus->send(ev::kRefreshMenus);
    emit q->currentCellChanged(pos);
  } else if (forceMenu) {
    rebuildPopup(true);
  }
  grid->scrollToCell(pos);
  return true;
}

SheetPos cuiSheet::Impl::stepFrom(SheetPos from, int dx, int dy) const {
  const int columns = model->columnCount();
  const int rows = model->rowCount();
  // Along the row or column first.
  for (SheetPos p{from.column + dx, from.row + dy};
       p.column >= 0 && p.column < columns && p.row >= 0 && p.row < rows;
       p = {p.column + dx, p.row + dy}) {
    if (model->isSelectable(p.column, p.row)) return p;
  }
  if (dialog) return from;
  // Then the next column or row that has one, nearest to the remembered row or column.
  if (dx != 0) {
    for (int c = from.column + dx; c >= 0 && c < columns; c += dx) {
      int best = -1;
      for (int r = 0; r < rows; ++r) {
        if (!model->isSelectable(c, r)) continue;
        if (best < 0 || std::abs(r - remembered.row) < std::abs(best - remembered.row)) best = r;
      }
      if (best >= 0) return {c, best};
    }
  } else {
    for (int r = from.row + dy; r >= 0 && r < rows; r += dy) {
      int best = -1;
      for (int c = 0; c < columns; ++c) {
        if (!model->isSelectable(c, r)) continue;
        if (best < 0 || std::abs(c - remembered.column) < std::abs(best - remembered.column))
          best = c;
      }
      if (best >= 0) return {best, r};
    }
  }
  return from;
}

void cuiSheet::Impl::move(int dx, int dy) {
  if (!current.valid()) return;
  if (dx != 0) dy = 0;
  SheetPos pos = current;
  const int steps = std::abs(dx != 0 ? dx : dy);
  const int sx = dx > 0 ? 1 : dx < 0 ? -1 : 0;
  const int sy = dy > 0 ? 1 : dy < 0 ? -1 : 0;
  if (dialog && !dialogOptions.scrollBars && steps == 1) {
    // Menu-like lists wrap around.
    const int columns = model->columnCount();
    const int rows = model->rowCount();
    SheetPos p = pos;
    do {
      p.column = (p.column + sx + columns) % columns;
      p.row = (p.row + sy + rows) % rows;
    } while (p != pos && !model->isSelectable(p.column, p.row));
    pos = p;
  } else {
    for (int i = 0; i < steps; ++i) {
      const SheetPos next = stepFrom(pos, sx, sy);
      if (next == pos) break;
      pos = next;
    }
  }
  remembered = pos;
  selectCell(pos);
  scrollToStartIfNeeded(pos);
}

void cuiSheet::Impl::scrollToStartIfNeeded(SheetPos pos) {
  if (pos.column <= model->minSelectableColumn()) grid->setLeftColumn(model->fixedCols());
  if (pos.row <= model->minSelectableRow()) grid->setTopRow(model->fixedRows());
}

void cuiSheet::Impl::dropSelection() {
  const int rows = model->rowCount();
  const std::vector<uint8_t> before = markSnapshot(0, rows - 1);
  clearMarks();
  multiActive = false;
  anchor = current;
  if (current.valid() && model->style().multiSelect != MultiSelectMode::None && !dialog)
    model->cellState(current.column, current.row).marked = true;
  markTop = 0;
  markBottom = rows - 1;
  refreshLineMarks();
  findMarkedRows(0, rows - 1);
  invalidateChangedMarks(before, 0, rows - 1);
}

void cuiSheet::Impl::clearMarks() {
  for (int r = std::max(0, markTop); r <= std::min(markBottom, model->rowCount() - 1); ++r)
    for (int c = 0; c < model->columnCount(); ++c) {
      SheetCell& s = model->cellState(c, r);
      s.marked = false;
      s.lineMarked = false;
    }
  markTop = 0;
  markBottom = -1;
}

void cuiSheet::Impl::findMarkedRows(int top, int bottom) {
  markTop = 0;
  markBottom = -1;
  for (int r = std::max(0, top); r <= std::min(bottom, model->rowCount() - 1); ++r) {
    bool any = false;
    for (int c = 0; c < model->columnCount() && !any; ++c) {
      const SheetCell& s = model->cellState(c, r);
      any = s.marked || s.lineMarked;
    }
    if (!any) continue;
    if (markTop > markBottom) markTop = r;
    markBottom = r;
  }
}

void cuiSheet::Impl::refreshLineMarks() {
  if (model->style().multiSelect != MultiSelectMode::Line) return;
  // A lone current cell is not a selection of lines: its row shows the line tint instead.
  for (int r = std::max(0, markTop); r <= std::min(markBottom, model->rowCount() - 1); ++r) {
    bool any = false;
    if (!multiActive) {
      for (int c = 0; c < model->columnCount(); ++c) model->cellState(c, r).lineMarked = false;
      continue;
    }
    for (int c = 0; c < model->columnCount() && !any; ++c) any = model->cellState(c, r).marked;
    for (int c = 0; c < model->columnCount(); ++c)
      model->cellState(c, r).lineMarked = any && c >= model->fixedCols();
  }
}

void cuiSheet::Impl::updateMultiSelection(SheetPos old, SheetPos now) {
  if (model->style().multiSelect == MultiSelectMode::None || dialog || !now.valid()) return;
  // Marks change only in the rows that hold them now and in those of the old and new boxes.
  int top = std::min(markTop, now.row);
  int bottom = std::max(markBottom, now.row);
  for (const SheetPos& p : {old, anchor}) {
    if (!p.valid()) continue;
    top = std::min(top, p.row);
    bottom = std::max(bottom, p.row);
  }
  const std::vector<uint8_t> before = markSnapshot(top, bottom);
  auto inRow = [&](SheetPos p) {
    return p.valid() && model->cellState(p.column, p.row).inMultiSelectRow;
  };
  if ((shiftHeld || mouseDown) && inRow(old) && inRow(now) && anchor.valid()) {
    const int left = std::min({anchor.column, old.column, now.column});
    const int right = std::max({anchor.column, old.column, now.column});
    const int top = std::min({anchor.row, old.row, now.row});
    const int bottom = std::max({anchor.row, old.row, now.row});
    const QRect inside(QPoint(std::min(anchor.column, now.column), std::min(anchor.row, now.row)),
                       QPoint(std::max(anchor.column, now.column), std::max(anchor.row, now.row)));
    for (int r = top; r <= bottom; ++r)
      for (int c = left; c <= right; ++c)
        model->cellState(c, r).marked =
            inside.contains(c, r) && model->isSelectable(c, r) && inRow({c, r});
    multiActive = true;
  } else {
    anchor = now;
    if (multiActive) {
      clearMarks();
      multiActive = false;
    } else if (old.valid()) {
      model->cellState(old.column, old.row).marked = false;
    }
  }
  model->cellState(now.column, now.row).marked = true;
  markTop = top;
  markBottom = bottom;
  refreshLineMarks();
  findMarkedRows(top, bottom);
  invalidateChangedMarks(before, top, bottom);
}

std::vector<uint8_t> cuiSheet::Impl::markSnapshot(int top, int bottom) const {
  std::vector<uint8_t> marks;
  top = std::max(0, top);
  bottom = std::min(bottom, model->rowCount() - 1);
  if (top > bottom) return marks;
  marks.reserve(size_t(bottom - top + 1) * size_t(model->columnCount()));
  for (int r = top; r <= bottom; ++r)
    for (int c = 0; c < model->columnCount(); ++c) {
      const SheetCell& cell = model->cellState(c, r);
      marks.push_back(uint8_t((cell.marked ? 1 : 0) | (cell.lineMarked ? 2 : 0)));
    }
  return marks;
}

void cuiSheet::Impl::invalidateChangedMarks(const std::vector<uint8_t>& before, int top,
                                            int bottom) {
  const std::vector<uint8_t> after = markSnapshot(top, bottom);
  const int columns = model->columnCount();
  const int first = std::max(0, top);
  for (size_t i = 0; i < after.size() && i < before.size(); ++i)
    if (after[i] != before[i]) grid->invalidateCell(int(i) % columns, first + int(i) / columns);
}

void cuiSheet::Impl::applyRange(const cmcCellCapsule& req) {
  if (!current.valid()) return;
  const cmcCellObj& here = model->cellAt(current.column, current.row);
  const int first = std::min(req.multipleSelection.first, req.multipleSelection.last);
  const int last = std::max(req.multipleSelection.first, req.multipleSelection.last);
  const int rows = model->rowCount();
  const std::vector<uint8_t> before = markSnapshot(0, rows - 1);
  clearMarks();
  SheetPos far;
  for (int r = 0; r < model->rowCount(); ++r)
    for (int c = 0; c < model->columnCount(); ++c) {
      SheetCell& s = model->cellState(c, r);
      if (s.cell.link == here.link && s.cell.index >= first && s.cell.index <= last) {
        s.marked = true;
        if (!far.valid() || std::abs(r - current.row) > std::abs(far.row - current.row))
          far = {c, r};
      }
    }
  multiActive = first != last;
  if (far.valid()) anchor = {current.column, far.row};
  markTop = 0;
  markBottom = rows - 1;
  refreshLineMarks();
  findMarkedRows(0, rows - 1);
  invalidateChangedMarks(before, 0, rows - 1);
}

// --- editor ----------------------------------------------------------------------------------

void cuiSheet::Impl::openListEditorOn(SheetPos pos, const cmcCellCapsule& req) {
  if (!listEditor) {
    listEditor = new QTextEdit(grid->viewport());
    listEditor->setObjectName(QStringLiteral("cellListEditor"));
    listEditor->setFrameShape(QFrame::NoFrame);
    listEditor->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    listEditor->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    listEditor->setAcceptRichText(false);
    listEditor->setLineWrapMode(QTextEdit::FixedPixelWidth);
    listEditor->setWordWrapMode(QTextOption::WrapAnywhere);
    listEditor->document()->setDocumentMargin(1);
    listEditor->installEventFilter(this);
    QObject::connect(listEditor, &QTextEdit::textChanged, this, [this] {
      // Line feeds cannot be typed; the length is the handler's.
      QString text = listEditor->toPlainText();
      QString kept = text;
      kept.remove(QLatin1Char('\n'));
      if (listMaxLength > 0 && kept.size() > listMaxLength) kept.truncate(listMaxLength);
      if (kept != text) {
        const QSignalBlocker block(listEditor);
        const int caret = std::min<int>(listEditor->textCursor().position(), int(kept.size()));
        listEditor->setPlainText(kept);
        QTextCursor cursor = listEditor->textCursor();
        cursor.setPosition(caret);
        listEditor->setTextCursor(cursor);
      }
    });
  }
  const cmcCellObj& cell = model->cellAt(pos.column, pos.row);
  QRect rect = grid->cellRect(pos.column, pos.row);
  if (cell.rightRule() != kRuleNone) rect.setWidth(rect.width() - 1);
  listEditor->setFont(cellQFont(model->fontOf(cell)));
  listEditor->setGeometry(rect);
  // The text wraps at 90 % of the cell, as the painter wraps it.
  listEditor->setLineWrapColumnOrWidth(rect.width() * 9 / 10);
  listMaxLength = req.maxLength;
  {
    const QSignalBlocker block(listEditor);
    listEditor->setPlainText(fromCp932(req.resultText));
  }
  QTextCursor cursor = listEditor->textCursor();
  const int length = int(listEditor->toPlainText().size());
  cursor.setPosition(std::clamp(req.caretStart, 0, length));
  if (req.caretLength > 0)
    cursor.setPosition(std::clamp(req.caretStart + req.caretLength, 0, length),
                       QTextCursor::KeepAnchor);
  listEditor->setTextCursor(cursor);
  listMode = true;
  editPos = pos;
  editorOpen = true;
  grid->setEditorOpen(true);
  listEditor->show();
  listEditor->setFocus(Qt::OtherFocusReason);
}

void cuiSheet::Impl::openEditorOn(SheetPos pos, const cmcCellCapsule& req) {
  if (!pos.valid()) return;
  grid->scrollToCell(pos);
  if (model->cellAt(pos.column, pos.row).wrap()) {
    openListEditorOn(pos, req);
    return;
  }
  listMode = false;
  if (!editor) {
    editor = new QLineEdit(grid->viewport());
    editor->setObjectName(QStringLiteral("cellEditor"));
    editor->setFrame(false);
    editor->installEventFilter(this);
  }
  const cmcCellObj& cell = model->cellAt(pos.column, pos.row);
  grid->scrollToCell(pos);
  QRect rect = grid->cellRect(pos.column, pos.row);
  if (cell.rightRule() != kRuleNone) rect.setWidth(rect.width() - 1);
  const CellFont& font = model->fontOf(cell);
  const QFont qfont = cellQFont(font);
  editor->setFont(qfont);
  const int h = std::min(rect.height(), QFontMetrics(qfont).height() + 2);
  int y = rect.top();
  if (cell.vAlign() == kAlignMiddle) y = rect.top() + (rect.height() - h) / 2;
  if (cell.vAlign() == kAlignBottom) y = rect.top() + rect.height() - h - 1;
  editor->setGeometry(rect.left(), y, rect.width(), h);
  editor->setAlignment(cell.hAlign() == kAlignRight    ? Qt::AlignRight
                       : cell.hAlign() == kAlignCentre ? Qt::AlignHCenter
                                                       : Qt::AlignLeft);
  editor->setMaxLength(req.maxLength > 0 ? req.maxLength : 32767);
  editor->setText(fromCp932(req.resultText));
  if (req.caretLength > 0) {
    editor->setSelection(req.caretStart, req.caretLength);
  } else {
    editor->setCursorPosition(req.caretStart);
  }
  editPos = pos;
  editorOpen = true;
  grid->setEditorOpen(true);
  editor->show();
  editor->setFocus(Qt::OtherFocusReason);
}

void cuiSheet::Impl::hideEditor() {
  if (!editorOpen) return;
  closingEditor = true;
  editorOpen = false;
  grid->setEditorOpen(false);
  QWidget* open = activeEditor();
  const bool hadFocus = open->hasFocus();
  open->hide();
  if (hadFocus) grid->setFocus(Qt::OtherFocusReason);
  closingEditor = false;
}

void cuiSheet::Impl::commitEditor() {
  if (!editorOpen || closingEditor) return;
  const QByteArray typed = toCp932(editorText());
  const SheetPos pos = editPos;
  cmcCellCapsule req;
  makeRequest(req, pos);
  req.key = kKeyNone;
  req.operation = kOpTextEntered;
  req.typedText = typed;
  int result;
  {
    ImageChange change(ui.undo, fieldName(pos));
    result = dispatch(req, true);
  }
  hideEditor();
  grid->invalidateCell(pos.column, pos.row);
  handleResult(pos, req, result);
  cmcCellCapsule shown;
  makeRequest(shown, pos);
  dispatch(shown, false);
  const QString note = typedValueNote(model->cellAt(pos.column, pos.row).link, fromCp932(typed), fromCp932(shown.resultText));
  if (!note.isEmpty()) emit q->typedValueNoted(note);
}

void cuiSheet::Impl::cancelEditor() {
  if (!editorOpen) return;
  const SheetPos pos = editPos;
  hideEditor();
  grid->invalidateCell(pos.column, pos.row);
}

bool cuiSheet::Impl::eventFilter(QObject* watched, QEvent* event) {
  if (watched == filteredGrid) {
    // F1 on a cell asks for that cell's topic; the menu's F1 (the contents) waits for the key
    // when the grid takes it.
    if (event->type() == QEvent::ShortcutOverride && !dialog) {
      auto* key = static_cast<QKeyEvent*>(event);
      if (key->key() == Qt::Key_F1 && key->modifiers() == Qt::NoModifier && current.valid()) {
        event->accept();
        return true;
      }
    }
    if (event->type() == QEvent::KeyPress && !dialog) {
      auto* key = static_cast<QKeyEvent*>(event);
      if (key->key() == Qt::Key_F1 && key->modifiers() == Qt::NoModifier && current.valid()) {
        const QRect cell = grid->cellRect(current.column, current.row);
        emit q->helpRequested(model->cellAt(current.column, current.row).link,
                              grid->viewport()->mapToGlobal(cell.bottomLeft()));
        return true;
      }
    }
    return false;
  }
  if (watched == filteredViewport) {
    if (event->type() != QEvent::ToolTip) return false;
    auto* help = static_cast<QHelpEvent*>(event);
    const QString note = q->markNoteAt(grid->cellAt(help->pos()));
    if (note.isEmpty()) {
      QToolTip::hideText();
      event->ignore();
    } else {
      QToolTip::showText(help->globalPos(), note, grid->viewport());
    }
    return true;
  }
  if (watched != editor && watched != listEditor) return false;
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
      case Qt::Key_Return:
      case Qt::Key_Enter:
        commitEditor();
        return true;
      case Qt::Key_Escape:
        cancelEditor();
        return true;
      case Qt::Key_Up:
      case Qt::Key_Down:
        if (listMode) return false;  // moves between the wrapped lines
        commitEditor();
        move(0, key->key() == Qt::Key_Up ? -1 : 1);
        return true;
      case Qt::Key_PageUp:
      case Qt::Key_PageDown:
        commitEditor();
        gridKeyPress(key);
        return true;
      default:
        return false;
    }
  }
  if (event->type() == QEvent::FocusOut && editorOpen && !closingEditor &&
      static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
    // Leaving the editor (a click elsewhere, another window) keeps what was typed; its own
    // context menu (Paste) is no leaving.
    QMetaObject::invokeMethod(
        this, [this] { commitEditor(); }, Qt::QueuedConnection);
  }
  return false;
}

// --- popup menu ------------------------------------------------------------------------------

void cuiSheet::Impl::rebuildPopup(bool force) {
  if (!current.valid() || dialog) return;
  const cmcCellObj& cell = model->cellAt(current.column, current.row);
  const QByteArray name = popupOnHeader ? cell.popupMenuOf(true) : cell.popupMenuOf(false);
  if (name == popupName && popupBuilt && !force) return;
  popupName = name;
  popupBuilt = true;
  if (name.isEmpty() || !ui.sheet.text->hasSection((name + "_Body").constData())) {
    cuiPopupMenu::clear(popup);
  } else {
    popupBuilder->build(popup, name);
    popupBuilder->refresh();
  }
  if (ui.sheet.bus) {
    ui.sheet.bus->send(ev::kEmptySubmenu, 0, CL_Menu_Edit_Top);
    if (!popup->isEmpty())
      ui.sheet.bus->send(ev::kFillSubmenu, popupBuilder.get(), CL_Menu_Edit_Top, name.constData());
  }
}

void cuiSheet::Impl::queryItem(const cmcCellObj& item, cmcCellCapsule& state) {
  if (!current.valid()) return;
  cmcCellCapsule parentReq;
  makeRequest(parentReq, current);
  state.cell = &item;
  state.parent = &parentReq;
  state.sheet = q;
  state.key = kKeyNone;
  dispatch(state, false);
  state.parent = nullptr;
}

QString cuiSheet::Impl::fieldName(SheetPos pos) const {
  auto staticText = [this](int column, int row) {
    const cmcCellObj& cell = model->cellAt(column, row);
    if (cell.link != CL_None || !cell.text) return QString();
    return fromCp932(*cell.text).replace(QLatin1Char('\n'), QLatin1Char(' ')).trimmed();
  };
  if (pos.valid()) {
    // A labelled row ("Dimmer") first: a page of such rows has only group titles above.
    for (int column = std::min(pos.column, model->fixedCols()) - 1; column >= 0; --column) {
      const QString text = staticText(column, pos.row);
      if (!text.isEmpty()) return text;
    }
    // The lowest header text above the column: "Operating Freq" rather than "Frequency".
    for (int row = model->fixedRows() - 1; row >= 0; --row) {
      const QString text = staticText(pos.column, row);
      if (!text.isEmpty()) return text;
    }
  }
  return QStringLiteral("Edit");
}

void cuiSheet::Impl::runPopupItem(const cmcCellObj& chosen) {
  if (!current.valid()) return;
  // The command may rebuild the menu (a jump to another cell): keep the item's own copy.
  const cmcCellObj item = chosen;
  const SheetPos pos = current;
  cmcCellCapsule parentReq;
  makeRequest(parentReq, pos);
  cmcCellCapsule req;
  req.cell = &item;
  req.parent = &parentReq;
  req.grid = req.editGrid = grid;
  req.sheet = q;
  req.key = kKeyEnter;
  req.repaint = parentReq.repaint;
  req.multipleSelection = parentReq.multipleSelection;
  // The step is named after the command ("Paste", "Up"), as its menu item reads.
  QString name = fromCp932(item.text.value_or(QByteArray("Edit")));
  name.remove(QLatin1Char('&'));
  while (name.endsWith(QLatin1Char('.'))) name.chop(1);
  int result;
  {
    ImageChange change(ui.undo, name.trimmed());
    result = dispatch(req, true);
  }
  handleResult(pos, req, result);
  popupOnHeader = false;
  popupBuilder->refresh();
  if (ui.sheet.bus) ui.sheet.bus->send(ev::kRefreshMenus);
}

void cuiSheet::Impl::showPopup(const QPoint& global) {
  rebuildPopup(true);
  if (popup->isEmpty()) return;
  popup->popup(global);
}

void cuiSheet::Impl::showPopupAtCurrent() {
  // The Menu key may come both as a key and as a keyboard context-menu event: open once.
  if (!current.valid() || popup->isVisible()) return;
  grid->scrollToCell(current);
  popupOnHeader = current.row < model->fixedRows() && model->style().colCutMenu;
  const QRect cell = grid->cellRect(current.column, current.row);
  // Just below the cell's start, where it does not hide what the menu acts on.
  const QPoint at = cell.isEmpty() ? QPoint(0, 0) : cell.bottomLeft() + QPoint(0, 1);
  showPopup(grid->viewport()->mapToGlobal(at));
}

// --- lists and dialogs -----------------------------------------------------------------------

void cuiSheet::Impl::openPopupRequest(SheetPos pos, const cmcCellCapsule& req) {
  if (popupWindow) popupWindow->close();
  QRect cell = grid->cellRect(pos.column, pos.row);
  const QRect screenCell(grid->viewport()->mapToGlobal(cell.topLeft()), cell.size());
  cmcCellCapsule owner;
  makeRequest(owner, pos);
  owner.key = kKeyNone;
  if (req.popup.kind == kPopupList) {
    popupWindow = cuiFlector::open(q, ui, owner, req.popup, screenCell);
  } else if (req.popup.kind == kPopupFlagBits) {
    popupWindow = cuiFBitsR::open(q, ui, owner, req.popup, screenCell);
  }
}

// --- grid input ------------------------------------------------------------------------------

void cuiSheet::Impl::gridKeyPress(QKeyEvent* event) {
  // A modifier pressed alone is no command. The editor ignores it, so it travels on to the grid,
  // and committing here would close the editor between two letters of a capitalised name.
  switch (event->key()) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_ScrollLock:
      return;
    default:
      break;
  }
  if (editorOpen) commitEditor();
  if (ui.sheet.bus && !dialog)
    ui.sheet.bus->send(ev::kStatusText, kClWindowText, sheetcolours::kClBtnFace, "");
  shiftHeld = event->modifiers() & Qt::ShiftModifier;
  const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
  const int key = event->key();

  // The Menu key and Shift+F10 open the current cell's popup menu, as a right-click on it would.
  if (key == Qt::Key_Menu || (key == Qt::Key_F10 && mods == Qt::ShiftModifier)) {
    shiftHeld = false;
    showPopupAtCurrent();
    return;
  }

  // The popup menu's shortcuts (Ctrl+C, Del, Ctrl+Up ...) act on the current cell.
  if (!dialog && key != Qt::Key_Return && key != Qt::Key_Enter && !popup->isEmpty()) {
    const QKeySequence keys(QKeyCombination(mods, Qt::Key(key)));
    if (QAction* action = popupBuilder->refreshedActionForShortcut(keys)) {
      action->trigger();
      shiftHeld = false;
      return;
    }
  }

  switch (key) {
    case Qt::Key_PageUp:
      move(0, -10);
      break;
    case Qt::Key_PageDown:
      move(0, 10);
      break;
    case Qt::Key_Home:
    case Qt::Key_End:
      break;
    case Qt::Key_Left:
    case Qt::Key_Right: {
      const SheetPos before = current;
      move(key == Qt::Key_Left ? -1 : 1, 0);
      if (current == before)
        sendKey(current, key == Qt::Key_Left ? kKeyLeftAtRowStart : kKeyRightAtRowEnd);
      break;
    }
    case Qt::Key_Up:
    case Qt::Key_Down:
      if (mods == Qt::ControlModifier) break;  // the popup menu's Up and Down
      move(0, key == Qt::Key_Up ? -1 : 1);
      break;
    default:
      if (key >= Qt::Key_F1 && key <= Qt::Key_F12) {
        sendKey(current, functionKey(key - Qt::Key_F1 + 1));
      } else if (!event->text().isEmpty()) {
        typeText(event->text());
      } else {
        event->ignore();
      }
      break;
  }
  shiftHeld = false;
}

void cuiSheet::Impl::gridMousePress(QMouseEvent* event) {
  const QPoint point = event->position().toPoint();
  const SheetPos pos = grid->cellAt(point);
  shiftHeld = event->modifiers() & Qt::ShiftModifier;
  if (event->button() == Qt::LeftButton) {
    if (!grid->hasFocus()) grid->setFocus(Qt::MouseFocusReason);
    if (editorOpen) commitEditor();
    selectCell(pos);
    mouseDown = true;
  } else if (event->button() == Qt::RightButton) {
    if (editorOpen) commitEditor();
    if (!multiActive) selectCell(pos);
    popupOnHeader = pos.valid() && pos.row < model->fixedRows() && model->style().colCutMenu;
    showPopup(event->globalPosition().toPoint());
  }
  shiftHeld = false;
}

void cuiSheet::Impl::gridMouseMove(QMouseEvent* event) {
  const SheetPos pos = grid->cellAt(event->position().toPoint());
  if (dialog) {
    if (!editorOpen && pos.valid() && pos != lastHover && model->isSelectable(pos.column, pos.row))
      selectCell(pos);
    lastHover = pos;
    return;
  }
  if (mouseDown && (event->buttons() & Qt::LeftButton) && pos.valid()) {
    shiftHeld = event->modifiers() & Qt::ShiftModifier;
    selectCell(pos);
    shiftHeld = false;
  }
}

void cuiSheet::Impl::gridMouseRelease(QMouseEvent* event) {
  const bool wasDown = mouseDown;
  mouseDown = false;
  if (dialog && wasDown && event->button() == Qt::LeftButton) {
    const SheetPos pos = grid->cellAt(event->position().toPoint());
    if (pos.valid() && pos == current) sendKey(current, kKeyDoubleClick);
  }
}

void cuiSheet::Impl::autoFit(int column) {
  if (column < 0 || column >= model->columnCount()) return;
  model->setColumnWidth(column, model->autoFitColumnWidth(column));
  grid->updateGeometries();
  gridColumnResized(column);
  storeWidths();
}

void cuiSheet::Impl::gridDoubleClick(QMouseEvent* event) {
  const QPoint point = event->position().toPoint();
  SheetPos pos = grid->cellAt(point);
  if (dialog) {
    // Each release already acts as a double-click: the second click is just another click.
    gridMousePress(event);
    return;
  }
  if (model->style().colSizing && !dialog && pos.valid() && pos.row < model->fixedRows()) {
    const QRect r = grid->cellRect(pos.column, pos.row);
    if (std::abs(point.x() - (r.left() + r.width())) <= 4) {
      autoFit(pos.column);
      return;
    }
    if (std::abs(point.x() - r.left()) <= 4) {
      int c = pos.column - 1;
      while (c >= 0 && model->columnWidth(c) == 0) --c;
      autoFit(c);
      return;
    }
  } else if (model->style().colSizing && !dialog && !pos.valid() && point.y() >= 0) {
    int last = model->columnCount() - 1;
    while (last >= 0 && model->columnWidth(last) == 0) --last;
    const QRect r = grid->cellRect(last, 0);
    if (!r.isEmpty() && std::abs(point.x() - (r.left() + r.width())) <= 4) autoFit(last);
    return;
  }
  if (!pos.valid()) return;
  while (pos.column > 0 && model->cellAt(pos.column, pos.row).tail()) --pos.column;
  if (pos == current) sendKey(current, kKeyDoubleClick);
}

void cuiSheet::Impl::gridFocusChanged(bool gained) {
  if (dying) return;
  if (gained) {
    // Back from the sheet's own editor the menu is still the cell's: no rebuild.
    if (!focusInEditor) rebuildPopup(true);
    focusInEditor = false;
  } else if (editorOpen) {
    focusInEditor = true;
  } else {
    if (ui.sheet.bus && !dialog) {
      ui.sheet.bus->send(ev::kEmptySubmenu, 0, CL_Menu_Edit_Top);
      ui.sheet.bus->send(ev::kRefreshMenus);
    }
    popupBuilt = false;
  }
  invalidateSelected();
}

void cuiSheet::Impl::invalidateSelected() {
  if (current.valid()) grid->invalidateCell(current.column, current.row);
  if (!multiActive) return;
  const int lastRow = std::min({model->rowCount() - 1, grid->lastVisibleRow(), markBottom});
  const int lastColumn = std::min(model->columnCount() - 1, grid->lastVisibleColumn());
  for (int r = std::max(0, markTop); r <= lastRow; ++r)
    for (int c = 0; c <= lastColumn; ++c) {
      const SheetCell& cell = model->cellState(c, r);
      if (cell.marked || cell.lineMarked) grid->invalidateCell(c, r);
    }
}

void cuiSheet::Impl::gridTimedScroll(int dx, int dy) {
  if (dx != 0) {
    move(dx, 0);
  } else if (dy != 0) {
    move(0, dy);
  }
}

void cuiSheet::Impl::gridColumnResized(int column) {
  (void)column;
  // Stored when the sheet goes; while dragging only the bounds apply.
  clampDraggedWidths(*model, grid->viewport()->width());
  grid->updateGeometries();
}

void cuiSheet::Impl::typeText(const QString& text) {
  const QByteArray bytes = toCp932(text);
  for (char ch : bytes) {
    const int code = static_cast<unsigned char>(ch);
    if (code != 0) sendKey(current, code);
  }
}

void cuiSheet::Impl::gridInputMethod(QInputMethodEvent* event) {
  if (!current.valid() || dialog) return;
  if (!editorOpen) {
    if (!event->preeditString().isEmpty()) {
      // A composition starts on the cell: the cell's editor takes it, replacing the value as
      // a typed character would.
      sendKey(current, kKeyEdit);
      if (editorOpen && !listMode) editor->selectAll();
      if (editorOpen && listMode) listEditor->selectAll();
    } else if (!event->commitString().isEmpty()) {
      // Text from compose or dead keys: typed as the keys would have typed it.
      typeText(event->commitString());
      return;
    }
  }
  if (editorOpen) QCoreApplication::sendEvent(activeEditor(), event);
}

void cuiSheet::Impl::gridScrolled() {
  if (editorOpen) commitEditor();
}

// --- cuiSheet --------------------------------------------------------------------------------

cuiSheet::cuiSheet(QWidget* parent) : QWidget(parent) {}

cuiSheet::~cuiSheet() {
  if (impl_) {
    impl_->hook.reset();
    if (impl_->popupWindow) delete impl_->popupWindow.data();
    impl_->storeWidths();
    // The children go while the state they report to still exists.
    impl_->dying = true;
    if (impl_->editor) impl_->editor->removeEventFilter(impl_.get());
    if (impl_->listEditor) impl_->listEditor->removeEventFilter(impl_.get());
    for (QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
      delete child;
  }
}

namespace {
SheetServices modelServices(const SheetUiServices& services, SheetTextProvider* texts,
                            const TextMeasure* measure) {
  SheetServices s = services.sheet;
  if (!s.texts) s.texts = texts;
  if (!s.measure) s.measure = measure;
  return s;
}
}  // namespace

cuiSheet* cuiSheet::open(const QByteArray& callString, const SheetUiServices& services,
                         QWidget* parent) {
  auto* sheet = new cuiSheet(parent);
  sheet->impl_ = std::make_unique<Impl>(sheet, services);
  Impl& d = *sheet->impl_;
  d.ownTexts = std::make_unique<CatalogueTexts>(services.catalogue);
  if (!services.sheet.measure) d.ownMeasure = std::make_unique<ScreenMeasure>();
  d.model =
      SheetModel::create(callString, modelServices(services, d.ownTexts.get(), d.ownMeasure.get()));
  SheetBuildOptions options;
  options.fontScalePercent = services.fontScalePercent;
  d.model->build(options);
  d.createWidgets();
  d.connectBus();
  const SheetPos start = d.model->startCell({}, CL_None, 0);
  if (start.valid()) {
    d.remembered = start;
    d.selectCell(start);
  } else {
    d.grid->setEnabled(false);
  }
  return sheet;
}

cuiSheet* cuiSheet::openDialog(std::unique_ptr<SheetModel> model, const SheetUiServices& services,
                               const DialogOptions& options, QWidget* parent) {
  auto* sheet = new cuiSheet(parent);
  sheet->impl_ = std::make_unique<Impl>(sheet, services);
  Impl& d = *sheet->impl_;
  d.dialog = true;
  d.dialogOptions = options;
  d.model = std::move(model);
  d.createWidgets();
  d.connectBus();
  const SheetPos start = d.model->firstSelectableCell();
  if (start.valid()) {
    d.remembered = start;
    d.selectCell(start);
  } else {
    d.grid->setEnabled(false);
  }
  return sheet;
}

const QByteArray& cuiSheet::callString() const { return impl_->model->callString(); }
SheetModel& cuiSheet::model() { return *impl_->model; }
const SheetModel& cuiSheet::model() const { return *impl_->model; }
cuiGrid* cuiSheet::grid() const { return impl_->grid; }
QString cuiSheet::markNoteAt(SheetPos pos) const {
  if (!pos.valid() || impl_->dialog) return {};
  cmcCellCapsule req;
  impl_->makeRequest(req, pos);
  if (impl_->ui.catalogue) impl_->ui.catalogue->dispatch(req, false);
  return markNote(impl_->model->cellAt(pos.column, pos.row).link, req.marks);
}

SheetPos cuiSheet::currentCell() const { return impl_->current; }
bool cuiSheet::isDialog() const { return impl_->dialog; }
QLineEdit* cuiSheet::openEditor() const {
  return impl_->editorOpen && !impl_->listMode ? impl_->editor : nullptr;
}
QTextEdit* cuiSheet::openListEditor() const {
  return impl_->editorOpen && impl_->listMode ? impl_->listEditor : nullptr;
}
QMenu* cuiSheet::popupMenu() const { return impl_->popup; }
cuiPopupMenu* cuiSheet::popupBuilder() const { return impl_->popupBuilder.get(); }
QWidget* cuiSheet::openPopupWindow() const {
  QWidget* w = impl_->popupWindow.data();
  return w && w->isVisible() ? w : nullptr;
}

SheetViewPosition cuiSheet::position() const {
  SheetViewPosition p;
  p.current = impl_->current;
  p.leftColumn = impl_->grid->leftColumn();
  p.topRow = impl_->grid->topRow();
  return p;
}

void cuiSheet::restorePosition(const SheetViewPosition& position) {
  if (!position.valid()) return;
  const SheetPos pos = position.current;
  if (pos.column >= impl_->model->columnCount() || pos.row >= impl_->model->rowCount()) return;
  if (!impl_->model->isSelectable(pos.column, pos.row)) return;
  impl_->remembered = pos;
  impl_->selectCell(pos);
  if (position.leftColumn >= 0) impl_->grid->setLeftColumn(position.leftColumn);
  if (position.topRow >= 0) impl_->grid->setTopRow(position.topRow);
  impl_->grid->scrollToCell(pos);
}

bool cuiSheet::selectCell(int category, int link, int index) {
  const SheetPos pos = impl_->model->findSelectableCell(category, link, index);
  if (!pos.valid()) return false;
  impl_->remembered = pos;
  return impl_->selectCell(pos);
}

void cuiSheet::commitEditor() { impl_->commitEditor(); }

void cuiSheet::refreshAll() { impl_->grid->invalidateAll(); }

QAction* cuiSheet::popupCommand(int link) {
  impl_->rebuildPopup(true);
  for (QAction* action : impl_->popupBuilder->actions()) {
    const cmcCellObj* cell = impl_->popupBuilder->cellOf(action);
    if (cell && cell->link == link && action->isVisible()) return action;
  }
  return nullptr;
}

bool cuiSheet::canSelectAllRows() const {
  const Impl& d = *impl_;
  return !d.dialog && d.current.valid() && d.model->style().multiSelect != MultiSelectMode::None &&
         d.model->cellState(d.current.column, d.current.row).inMultiSelectRow;
}

bool cuiSheet::selectAllRows() {
  if (!canSelectAllRows()) return false;
  Impl& d = *impl_;
  // Every row of the current column that takes part, from the bottom one up to the top one, so
  // the cursor ends at the top as after a drag from the bottom.
  const int column = d.current.column;
  int first = -1;
  int last = -1;
  for (int row = 0; row < d.model->rowCount(); ++row) {
    if (!d.model->isSelectable(column, row) || !d.model->cellState(column, row).inMultiSelectRow)
      continue;
    if (first < 0) first = row;
    last = row;
  }
  if (first < 0) return false;
  if (d.editorOpen) d.commitEditor();
  d.selectCell({column, last});
  d.shiftHeld = true;
  d.selectCell({column, first});
  d.shiftHeld = false;
  return true;
}

bool cuiSheet::runPopupCommand(int link) {
  impl_->rebuildPopup(true);
  for (QAction* action : impl_->popupBuilder->actions()) {
    const cmcCellObj* cell = impl_->popupBuilder->cellOf(action);
    if (cell && cell->link == link && action->isEnabled()) {
      action->trigger();
      return true;
    }
  }
  return false;
}

void cuiSheet::fillRequest(cmcCellCapsule& request, SheetPos cell) const {
  impl_->makeRequest(request, cell);
}

int cuiSheet::deliverChoice(cmcCellCapsule& request) {
  Impl& d = *impl_;
  int result;
  {
    ImageChange change(d.ui.undo, d.fieldName(d.current));
    result = d.ui.catalogue ? d.ui.catalogue->dispatch(request, true) : kDispatchDone;
  }
  SheetPos pos = d.current;
  if (request.cell) {
    for (int r = 0; r < d.model->rowCount(); ++r)
      for (int c = 0; c < d.model->columnCount(); ++c)
        if (&d.model->cellAt(c, r) == request.cell) pos = {c, r};
  }
  if (pos.valid()) d.grid->invalidateCell(pos.column, pos.row);
  if (result != kDispatchListOpened) d.handleResult(pos, request, result);
  if (!d.grid->hasFocus() && isVisible()) d.grid->setFocus(Qt::OtherFocusReason);
  return result;
}

bool cuiSheet::selectPosition(SheetPos cell) {
  if (!cell.valid() || !impl_->model->isSelectable(cell.column, cell.row)) return false;
  impl_->remembered = cell;
  return impl_->selectCell(cell);
}
