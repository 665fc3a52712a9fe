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
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>
#include <cstring>
#include <tuple>

#include "base/cmcEvMan.h"
#include "base/events.h"
#include "base/textcodec.h"
#include "gtex/cellmarkup.h"
#include "model/catalogue.h"
#include "model/cmcCellCapsule.h"
#include "model/marknote.h"
#include "model/typednote.h"
#include "sheet/core/CatalogueCellTexts.h"
#include "sheet/core/SheetSelection.h"
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
  Impl(cuiSheet* owner, const SheetUiServices& services) : q(owner), ui(services) {
    replayTimer.setSingleShot(true);
    QObject::connect(&replayTimer, &QTimer::timeout, this, [this] { runReplay(); });
  }
  ~Impl() override;

  cuiSheet* q;
  SheetUiServices ui;
  std::unique_ptr<CatalogueCellTexts> ownTexts;  // when the caller gives none
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

  // Interaction state: the current cell and the marks are the selection model's.
  std::unique_ptr<SheetSelectionModel> selection;
  SheetPos current() const { return selection->current(); }
  bool multiActive() const { return selection->multiActive(); }
  SheetPos lastHover;
  bool mouseDown = false;
  bool shiftHeld = false;
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
  // Widgets, bus and the first current cell; a sheet without a selectable cell is disabled.
  void start(SheetPos first);
  cmcCellParser& parser();

  // --- requests -----------------------------------------------------------------------------
  void makeRequest(cmcCellCapsule& req, SheetPos pos) const;
  int dispatch(cmcCellCapsule& req, bool editing);
  int sendKey(SheetPos pos, int key, int operation = kOpDisplayOrKey, const QByteArray& typed = {});
  void handleResult(SheetPos pos, cmcCellCapsule& req, int result, int replayDepth = 0);
  void repaintRules(const cmcCellObj& cell, int rules);
  // The key a jump replays on the cell it went to, after a pause that keeps the thread free.
  struct Replay {
    SheetPos at;
    int key = 0;
    int depth = 0;
    bool pending = false;
  } replay;
  QTimer replayTimer;
  void runReplay();
  // Input that arrives during the pause: the replay runs first, so keys keep their order. True
  // when the event went to the editor the replay opened.
  bool inputAfterReplay(QEvent* event);
  void chooseInDialog(SheetPos pos);

  // --- moving and selecting -----------------------------------------------------------------
  bool selectCell(SheetPos pos, bool forceMenu = false);
  void move(int dx, int dy);
  void scrollToStartIfNeeded(SheetPos pos);
  // Back to the current cell alone, repainting what was marked.
  void dropSelection();
  void invalidateCells(const std::vector<SheetPos>& cells);

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

void cuiSheet::Impl::start(SheetPos first) {
  createWidgets();
  connectBus();
  if (first.valid()) {
    selection->remember(first);
    selectCell(first);
  } else {
    grid->setEnabled(false);
  }
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
      if (event.mode == cmcEvent::kAsked && current().valid() && !dialog &&
          (event.a == 0 || event.aAs<QMenu>() == popup)) {
        askedCell = model->cellAt(current().column, current().row);
        askedCell.base = model->cellAt(current().column, current().row).base;
        askedContext = cmcCellCapsule();
        makeRequest(askedContext, current());
        askedContext.cell = &model->cellAt(current().column, current().row);
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
  req.origin = CellOrigin::Grid;
  if (pos == current()) req.marks |= kMarkCurrentCell;
  if (multiActive()) {
    req.multipleSelection.bits = kMultiSelectActive;
    std::tie(req.multipleSelection.first, req.multipleSelection.last) = selection->indexRange(pos);
  }
  const cmcCellObj* cell = req.cell;
  Impl* self = const_cast<Impl*>(this);  // the callbacks act on the sheet later
  req.repaint = [self, cell](int rules) { self->repaintRules(*cell, rules); };
  req.reopenEditor = [self, pos] {
    if (pos == self->current()) self->sendKey(pos, kKeyEdit);
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
    if (multiActive()) dropSelection();
    if (req.popup.kind != kPopupNone) openPopupRequest(pos, req);
  } else if (result == kDispatchOpenEditor) {
    openEditorOn(pos, req);
  }
  // The command dropped the selection (Delete): gone even when the cursor does not move.
  if (multiActive() && !(req.multipleSelection.bits & (kMultiSelectActive | kMultiSelectApplied))) {
    dropSelection();
  }
  const bool applyMarks = req.multipleSelection.bits & kMultiSelectApplied;
  const SheetPos target =
      req.jump.requested
          ? model->findSelectableCell(req.jump.category, req.jump.link, req.jump.index)
          : SheetPos();
  // The jump first: moving the cursor drops marks, and the range marked is the command's.
  if (target.valid()) selectCell(target);
  if (applyMarks)
    invalidateCells(
        selection->markIndexRange(req.multipleSelection.first, req.multipleSelection.last));
  if (req.jump.requested && target.valid() && req.jump.key != kKeyNone && replayDepth < 8) {
    // A short pause first, so that the jump is seen: 30 ms, and 6 ms less for each further one.
    replay = {target, req.jump.key, replayDepth + 1, true};
    replayTimer.start(std::max(0, 30 - 6 * replayDepth));
  }
}

void cuiSheet::Impl::runReplay() {
  if (!replay.pending) return;
  replay.pending = false;
  replayTimer.stop();
  // The cursor was moved elsewhere meanwhile (a sheet command, not the user's input, which
  // runs the replay first): the key was meant for the cell the jump went to.
  if (replay.at != current()) return;
  cmcCellCapsule again;
  makeRequest(again, replay.at);
  again.key = replay.key;
  int r;
  {
    ImageChange change(ui.undo, fieldName(replay.at));
    r = dispatch(again, true);
  }
  handleResult(replay.at, again, r, replay.depth);
}

bool cuiSheet::Impl::inputAfterReplay(QEvent* event) {
  if (!replay.pending) return false;
  runReplay();
  // The replay may have opened the editor: what was typed after the key goes there, as it
  // would have without the pause.
  if (!editorOpen || !event) return false;
  QCoreApplication::sendEvent(activeEditor(), event);
  return true;
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
  if (!selection->canSelect(pos)) return false;
  const SheetPos old = current();
  if (pos != old) {
    if (editorOpen) commitEditor();
    const std::vector<SheetPos> changed = selection->setCurrent(pos, shiftHeld || mouseDown);
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
    invalidateCells(changed);
    rebuildPopup(forceMenu);
    if (ui.sheet.bus) ui.sheet.bus->send(ev::kRefreshMenus);
    emit q->currentCellChanged(pos);
  } else if (forceMenu) {
    rebuildPopup(true);
  }
  grid->scrollToCell(pos);
  return true;
}

void cuiSheet::Impl::move(int dx, int dy) {
  if (!current().valid()) return;
  const SheetPos pos = selection->moveTarget(dx, dy);
  selection->remember(pos);
  selectCell(pos);
  scrollToStartIfNeeded(pos);
}

void cuiSheet::Impl::scrollToStartIfNeeded(SheetPos pos) {
  if (pos.column <= model->minSelectableColumn()) grid->setLeftColumn(model->fixedCols());
  if (pos.row <= model->minSelectableRow()) grid->setTopRow(model->fixedRows());
}

void cuiSheet::Impl::dropSelection() { invalidateCells(selection->drop()); }

void cuiSheet::Impl::invalidateCells(const std::vector<SheetPos>& cells) {
  for (const SheetPos& cell : cells) grid->invalidateCell(cell.column, cell.row);
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
      if (key->key() == Qt::Key_F1 && key->modifiers() == Qt::NoModifier && current().valid()) {
        event->accept();
        return true;
      }
    }
    if (event->type() == QEvent::KeyPress && !dialog) {
      auto* key = static_cast<QKeyEvent*>(event);
      if (key->key() == Qt::Key_F1 && key->modifiers() == Qt::NoModifier && current().valid()) {
        const QRect cell = grid->cellRect(current().column, current().row);
        emit q->helpRequested(model->cellAt(current().column, current().row).link,
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
  if (!current().valid() || dialog) return;
  const cmcCellObj& cell = model->cellAt(current().column, current().row);
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
  if (!current().valid()) return;
  cmcCellCapsule parentReq;
  makeRequest(parentReq, current());
  state.cell = &item;
  state.parent = &parentReq;
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
  if (!current().valid()) return;
  // The command may rebuild the menu (a jump to another cell): keep the item's own copy.
  const cmcCellObj item = chosen;
  const SheetPos pos = current();
  cmcCellCapsule parentReq;
  makeRequest(parentReq, pos);
  cmcCellCapsule req;
  req.cell = &item;
  req.parent = &parentReq;
  req.origin = CellOrigin::Grid;
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
  if (!current().valid() || popup->isVisible()) return;
  grid->scrollToCell(current());
  popupOnHeader = current().row < model->fixedRows() && model->style().colCutMenu;
  const QRect cell = grid->cellRect(current().column, current().row);
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
  if (inputAfterReplay(event)) return;
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
      const SheetPos before = current();
      move(key == Qt::Key_Left ? -1 : 1, 0);
      if (current() == before)
        sendKey(current(), key == Qt::Key_Left ? kKeyLeftAtRowStart : kKeyRightAtRowEnd);
      break;
    }
    case Qt::Key_Up:
    case Qt::Key_Down:
      if (mods == Qt::ControlModifier) break;  // the popup menu's Up and Down
      move(0, key == Qt::Key_Up ? -1 : 1);
      break;
    default:
      if (key >= Qt::Key_F1 && key <= Qt::Key_F12) {
        sendKey(current(), functionKey(key - Qt::Key_F1 + 1));
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
  inputAfterReplay(nullptr);
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
    if (!multiActive()) selectCell(pos);
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
    if (pos.valid() && pos == current()) sendKey(current(), kKeyDoubleClick);
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
  if (pos == current()) sendKey(current(), kKeyDoubleClick);
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
  if (current().valid()) grid->invalidateCell(current().column, current().row);
  invalidateCells(selection->markedCells(grid->lastVisibleRow(), grid->lastVisibleColumn()));
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
    if (code != 0) sendKey(current(), code);
  }
}

void cuiSheet::Impl::gridInputMethod(QInputMethodEvent* event) {
  if (inputAfterReplay(event)) return;
  if (!current().valid() || dialog) return;
  if (!editorOpen) {
    if (!event->preeditString().isEmpty()) {
      // A composition starts on the cell: the cell's editor takes it, replacing the value as
      // a typed character would.
      sendKey(current(), kKeyEdit);
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
  if (services.catalogue && !services.sheet.texts)
    d.ownTexts = std::make_unique<CatalogueCellTexts>(*services.catalogue);
  if (!services.sheet.measure) d.ownMeasure = std::make_unique<ScreenMeasure>();
  d.model =
      SheetModel::create(callString, modelServices(services, d.ownTexts.get(), d.ownMeasure.get()));
  SheetBuildOptions options;
  options.fontScalePercent = services.fontScalePercent;
  d.model->build(options);
  d.selection = std::make_unique<SheetSelectionModel>(*d.model);
  d.start(d.model->startCell({}, CL_None, 0));
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
  // Lists without scroll bars behave like menus: their arrows wrap around.
  d.selection = std::make_unique<SheetSelectionModel>(
      *d.model, SheetSelectionModel::Options{true, !options.scrollBars});
  d.start(d.model->firstSelectableCell());
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

SheetPos cuiSheet::currentCell() const { return impl_->current(); }
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
  p.current = impl_->current();
  p.leftColumn = impl_->grid->leftColumn();
  p.topRow = impl_->grid->topRow();
  return p;
}

void cuiSheet::restorePosition(const SheetViewPosition& position) {
  if (!position.valid()) return;
  const SheetPos pos = position.current;
  if (pos.column >= impl_->model->columnCount() || pos.row >= impl_->model->rowCount()) return;
  if (!impl_->model->isSelectable(pos.column, pos.row)) return;
  impl_->selection->remember(pos);
  impl_->selectCell(pos);
  if (position.leftColumn >= 0) impl_->grid->setLeftColumn(position.leftColumn);
  if (position.topRow >= 0) impl_->grid->setTopRow(position.topRow);
  impl_->grid->scrollToCell(pos);
}

bool cuiSheet::selectCell(int category, int link, int index) {
  const SheetPos pos = impl_->model->findSelectableCell(category, link, index);
  if (!pos.valid()) return false;
  impl_->selection->remember(pos);
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

bool cuiSheet::canSelectAllRows() const { return impl_->selection->canSelectAllRows(); }

bool cuiSheet::selectAllRows() {
  // From the bottom row up to the top one, so the cursor ends at the top as after a drag from
  // the bottom.
  const auto [first, last] = impl_->selection->allRowsSpan();
  if (!first.valid()) return false;
  Impl& d = *impl_;
  if (d.editorOpen) d.commitEditor();
  d.selectCell(last);
  d.shiftHeld = true;
  d.selectCell(first);
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
    ImageChange change(d.ui.undo, d.fieldName(d.current()));
    result = d.ui.catalogue ? d.ui.catalogue->dispatch(request, true) : kDispatchDone;
  }
  SheetPos pos = d.current();
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
  impl_->selection->remember(cell);
  return impl_->selectCell(cell);
}
