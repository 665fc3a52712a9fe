#include "app/EditMenu.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QUndoStack>

#include "gtex/celllinks.h"
#include "sheet/ui/DocumentUndo.h"
#include "sheet/ui/cuiGrid.h"
#include "sheet/ui/cuiSheet.h"

namespace {

struct CommandInfo {
  const char* caption;
  QKeySequence keys;
  int link;  // the popup item it runs; CL_None for Cut and Select All
};

const CommandInfo& info(EditMenu::Command command) {
  static const CommandInfo table[EditMenu::kCommands] = {
      {"Cu&t", QKeySequence(Qt::CTRL | Qt::Key_X), CL_None},
      {"&Copy", QKeySequence(Qt::CTRL | Qt::Key_C), CL_PMenu_Copy},
      {"&Paste", QKeySequence(Qt::CTRL | Qt::Key_V), CL_PMenu_Paste},
      {"&Delete", QKeySequence(Qt::Key_Delete), CL_PMenu_Delete},
      {"&Insert", QKeySequence(Qt::Key_Insert), CL_PMenu_Insert},
      {"C&lear", QKeySequence(), CL_PMenu_Clear},
      {"Select &All", QKeySequence(Qt::CTRL | Qt::Key_A), CL_None},
  };
  return table[command];
}

}  // namespace

EditMenu::EditMenu(QMenu* menu, DocumentUndo& undo, std::function<cuiSheet*()> sheet)
    : QObject(menu), menu_(menu), history_(undo), sheet_(std::move(sheet)) {
  undo_ = undo.stack()->createUndoAction(menu_, QStringLiteral("&Undo"));
  undo_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
  redo_ = undo.stack()->createRedoAction(menu_, QStringLiteral("&Redo"));
  redo_->setShortcuts(
      {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
  menu_->addAction(undo_);
  menu_->addAction(redo_);
  menu_->addSeparator();
  for (int c = 0; c < kCommands; ++c) {
    const Command command = Command(c);
    if (command == SelectAll) menu_->addSeparator();
    QAction* action = menu_->addAction(QString::fromLatin1(info(command).caption));
    action->setObjectName(QStringLiteral("edit") + QString::fromLatin1(info(command).caption)
                                                       .remove(QLatin1Char('&'))
                                                       .remove(QLatin1Char(' ')));
    action->setShortcut(info(command).keys);
    // Shown only: the keys stay with the grid (Del in the tree must not delete channels), which
    // matches them against the cell's popup menu, and with the in-place editor.
    action->setShortcutContext(Qt::WidgetShortcut);
    connect(action, &QAction::triggered, this, [this, command] { run(command); });
    actions_[c] = action;
  }
  connect(menu_, &QMenu::aboutToShow, this, &EditMenu::refresh);
}

QWidget* EditMenu::textTarget() const {
  QWidget* focus = QApplication::focusWidget();
  if (qobject_cast<QLineEdit*>(focus) || qobject_cast<QTextEdit*>(focus) ||
      qobject_cast<QPlainTextEdit*>(focus))
    return focus;
  return nullptr;
}

void EditMenu::refresh() {
  if (QWidget* target = textTarget()) {
    bool selection = false;
    bool writable = true;
    if (auto* line = qobject_cast<QLineEdit*>(target)) {
      selection = line->hasSelectedText();
      writable = !line->isReadOnly();
    } else if (auto* edit = qobject_cast<QTextEdit*>(target)) {
      selection = edit->textCursor().hasSelection();
      writable = !edit->isReadOnly();
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(target)) {
      selection = plain->textCursor().hasSelection();
      writable = !plain->isReadOnly();
    }
    const bool clipboard = !QApplication::clipboard()->text().isEmpty();
    actions_[Cut]->setEnabled(selection && writable);
    actions_[Copy]->setEnabled(selection);
    actions_[Paste]->setEnabled(writable && clipboard);
    actions_[Delete]->setEnabled(selection && writable);
    actions_[Insert]->setEnabled(false);
    actions_[Clear]->setEnabled(false);
    actions_[SelectAll]->setEnabled(true);
    actions_[Clear]->setShortcut(QKeySequence());
    actions_[Delete]->setShortcut(QKeySequence(Qt::Key_Delete));
    return;
  }
  cuiSheet* sheet = sheet_ ? sheet_() : nullptr;
  auto item = [sheet](int link) -> QAction* { return sheet ? sheet->popupCommand(link) : nullptr; };
  for (Command c : {Copy, Paste, Delete, Insert, Clear}) {
    QAction* popup = item(info(c).link);
    actions_[c]->setEnabled(popup && popup->isEnabled());
    // Del belongs to Clear on cells whose menu has no Delete: show it where it acts.
    if (c == Delete || c == Clear)
      actions_[c]->setShortcut(popup ? popup->shortcut() : info(c).keys);
  }
  actions_[Cut]->setEnabled(actions_[Copy]->isEnabled() && actions_[Clear]->isEnabled());
  actions_[SelectAll]->setEnabled(sheet && sheet->canSelectAllRows());
}

namespace {
// The slot of QLineEdit, QTextEdit and QPlainTextEdit that carries out a command, if any.
const char* textSlot(EditMenu::Command command) {
  switch (command) {
    case EditMenu::Cut:
      return "cut";
    case EditMenu::Copy:
      return "copy";
    case EditMenu::Paste:
      return "paste";
    case EditMenu::SelectAll:
      return "selectAll";
    default:
      return nullptr;
  }
}
}  // namespace

void EditMenu::run(Command command) {
  if (QWidget* target = textTarget()) {
    // A text field in focus takes the command itself: its own slots for the clipboard and
    // selection, and removal of the selected text for Delete.
    if (command == Delete) {
      if (auto* line = qobject_cast<QLineEdit*>(target)) line->del();
      if (auto* edit = qobject_cast<QTextEdit*>(target)) edit->textCursor().removeSelectedText();
      if (auto* plain = qobject_cast<QPlainTextEdit*>(target))
        plain->textCursor().removeSelectedText();
    } else if (const char* slot = textSlot(command)) {
      QMetaObject::invokeMethod(target, slot);
    }
    return;
  }
  refresh();
  if (!actions_[command]->isEnabled()) return;
  cuiSheet* sheet = sheet_ ? sheet_() : nullptr;
  if (!sheet) return;
  switch (command) {
    case Cut: {
      // The rows go to the clipboard and are left empty, as a spreadsheet's cut leaves its
      // cells; one step to undo.
      DocumentUndo::Change change(&history_, QStringLiteral("Cut"));
      if (sheet->runPopupCommand(CL_PMenu_Copy)) sheet->runPopupCommand(CL_PMenu_Clear);
      break;
    }
    case SelectAll:
      sheet->selectAllRows();
      break;
    default:
      sheet->runPopupCommand(info(command).link);
      break;
  }
}

void EditMenu::watchSheet(cuiSheet* sheet) {
  if (watched_ && watched_->grid()) watched_->grid()->removeEventFilter(this);
  watched_ = sheet;
  if (sheet && sheet->grid()) sheet->grid()->installEventFilter(this);
}

bool EditMenu::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && watched_ && watched == watched_->grid()) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const QKeySequence keys(key->keyCombination());
    for (Command c : {Cut, SelectAll}) {
      if (keys.matches(info(c).keys) == QKeySequence::ExactMatch) {
        run(c);
        return true;
      }
    }
  }
  return QObject::eventFilter(watched, event);
}
