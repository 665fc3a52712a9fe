#include "sheet/ui/cuiFlector.h"

#include <QApplication>
#include <QKeyEvent>
#include <QStyle>
#include <QVBoxLayout>

#include "base/textcodec.h"
#include "gtex/cellmarkup.h"
#include "sheet/ui/cuiGrid.h"
#include "sheet/ui/cuiSheet.h"

cuiFlector::cuiFlector(cuiSheet* owner, const SheetUiServices& services,
                       const cmcCellCapsule& request)
    : cuiCellPopup(owner, services, request, QStringLiteral("dropDownList")) {}

cuiFlector* cuiFlector::open(cuiSheet* owner, const SheetUiServices& services,
                             const cmcCellCapsule& ownerRequest,
                             const cmcCellCapsule::PopupRequest& list, const QRect& cellOnScreen) {
  auto* w = new cuiFlector(owner, services, ownerRequest);
  SheetServices s = services.sheet;
  cmcGTex& main = *services.sheet.text;
  if (!s.parser) {
    w->parser_ = std::make_unique<cmcCellParser>(main);
    s.parser = w->parser_.get();
  }
  if (!list.cellLines.isEmpty()) {
    // A list made for the occasion: the description's style and basic cell with these lines.
    const QByteArray name = list.listName;
    QList<QByteArray> lines{"",
                            "#" + name + "_Style",
                            main.getLine((name + "_Style").constData(), 0),
                            "#" + name + "_BasicCell",
                            main.getLine((name + "_BasicCell").constData(), 0),
                            "#" + name + "_Cells"};
    lines += list.cellLines;
    lines += QList<QByteArray>{"#", "#End_Of_Ovl"};
    w->generated_ = std::make_unique<GeneratedText>(lines);
    s.text = &w->generated_->text();
  }
  auto model = w->buildModel(list.listName, s);

  const QSize content(model->totalWidth() + 6, model->totalHeight() + 6);
  const QRect work = workAreaAt(cellOnScreen);
  w->scrollBars_ = content.width() > work.width() || content.height() > work.height();

  cuiSheet::DialogOptions dialog;
  dialog.owner = &w->ownerRequest_;
  dialog.scrollBars = w->scrollBars_;
  dialog.choose = [w](const cmcCellCapsule& chosen) { w->choose(chosen); };
  w->sheet_ = cuiSheet::openDialog(std::move(model), services, dialog, w);
  auto* layout = new QVBoxLayout(w);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(w->sheet_);
  {
    // The choices in the list's own order, for the keys: down each column, then the next.
    const SheetModel& m = w->sheet_->model();
    for (int column = 0; column < m.columnCount(); ++column) {
      for (int row = 0; row < m.rowCount(); ++row) {
        if (!m.isSelectable(column, row) || m.cellAt(column, row).link != list.keyLink) continue;
        QString text = fromCp932(m.cellAt(column, row).text.value_or(QByteArray()));
        w->choices_ << SheetPos{column, row};
        w->texts_ << text.trimmed();
      }
    }
  }
  const SheetPos start = w->sheet_->model().findSelectableCell(list.keyLink, list.value);
  if (start.valid()) w->sheet_->selectPosition(start);

  QSize size = content;
  if (w->scrollBars_) {
    const int bar = w->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    size = QSize(std::min(content.width() + bar, work.width()),
                 std::min(content.height() + bar, work.height()));
  }
  w->showAt(dropDownGeometry(cellOnScreen, size, work));
  return w;
}

bool cuiFlector::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Escape && navigationKey(key)) return true;
  }
  return cuiCellPopup::eventFilter(watched, event);
}

QString cuiFlector::choiceText(int position) const {
  return position >= 0 && position < texts_.size() ? texts_[position] : QString();
}

int cuiFlector::currentChoice() const {
  return int(choices_.indexOf(sheet_ ? sheet_->currentCell() : SheetPos()));
}

void cuiFlector::goTo(int position) {
  if (position >= 0 && position < choices_.size()) sheet_->selectPosition(choices_[position]);
}

int cuiFlector::typeAheadTarget(const QString& typed, int from) const {
  const int n = int(choices_.size());
  if (typed.isEmpty() || n == 0) return -1;
  // One character, or the same one again and again, steps on to the next choice with it; a
  // longer text is looked for from the current choice on, so "04" stays on 043 until "047".
  const bool stepping = typed.count(typed.front()) == typed.size();
  const QString prefix = stepping ? typed.left(1) : typed;
  const int first = stepping ? from + 1 : qMax(from, 0);
  for (int i = 0; i < n; ++i) {
    const int at = ((first + i) % n + n) % n;
    if (texts_[at].startsWith(prefix, Qt::CaseInsensitive)) return at;
  }
  return -1;
}

bool cuiFlector::navigationKey(QKeyEvent* event) {
  if (!sheet_ || choices_.isEmpty()) return false;
  const int current = currentChoice();
  const int last = int(choices_.size()) - 1;
  // A page: as many choices as the list shows rows at once.
  const cuiGrid* grid = sheet_->grid();
  const int page = qMax(1, grid->lastVisibleRow() - grid->topRow());
  switch (event->key()) {
    case Qt::Key_Home:
      goTo(0);
      return true;
    case Qt::Key_End:
      goTo(last);
      return true;
    case Qt::Key_PageUp:
      goTo(qMax(0, current - page));
      return true;
    case Qt::Key_PageDown:
      goTo(qMin(last, current < 0 ? 0 : current + page));
      return true;
    default:
      break;
  }
  const QString text = event->text();
  if (text.isEmpty() || !text.front().isPrint() ||
      (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
    return false;
  // A pause longer than the platform's typing interval starts a new search.
  if (!lastTyped_.isValid() || lastTyped_.elapsed() > QApplication::keyboardInputInterval())
    typed_.clear();
  lastTyped_.restart();
  typed_ += text;
  const int target = typeAheadTarget(typed_, current);
  if (target >= 0) goTo(target);
  return true;
}

void cuiFlector::choose(const cmcCellCapsule& chosen) {
  if (!beginClosing()) return;
  cmcCellCapsule request = ownerRequest_;
  request.operation = kOpChoiceMade;
  request.key = kKeyNone;
  request.parent = &chosen;
  deliverChoice(request);
}
