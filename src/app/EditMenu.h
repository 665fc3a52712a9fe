#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

class DocumentUndo;
class QAction;
class QMenu;
class cuiSheet;

// The main window's Edit menu: Undo and Redo named after the change they take back ("Undo
// Operating Freq", "Undo Import"), then the current cell's commands under the names every
// desktop program uses. Each command runs the item of the cell's own popup menu with the same
// link, through the same dispatcher, and is enabled exactly when that item would be; a command
// the cell's menu does not offer is greyed. While a text field has the keyboard focus (the
// in-place editor), Cut, Copy, Paste, Delete and Select All act on its text instead.
class EditMenu : public QObject {
  Q_OBJECT

 public:
  enum Command { Cut, Copy, Paste, Delete, Insert, Clear, SelectAll, kCommands };

  // `sheet` gives the sheet whose current cell the commands act on, or null while there is none
  // or the keyboard works elsewhere (the tree).
  EditMenu(QMenu* menu, DocumentUndo& undo, std::function<cuiSheet*()> sheet);

  // Asks the cell's popup menu for each command's state (also done as the menu opens).
  void refresh();
  QAction* action(Command command) const { return actions_[command]; }
  QAction* undoAction() const { return undo_; }
  QAction* redoAction() const { return redo_; }
  // Runs a command as a click on it would (a disabled one does nothing).
  void run(Command command);
  // Keys of the commands that no popup item carries (Ctrl+X, Ctrl+A) reach the grid here.
  bool eventFilter(QObject* watched, QEvent* event) override;
  // The sheet shown changed: its grid takes the keys above.
  void watchSheet(cuiSheet* sheet);

 private:
  QWidget* textTarget() const;

  QMenu* menu_;
  DocumentUndo& history_;
  std::function<cuiSheet*()> sheet_;
  QAction* undo_ = nullptr;
  QAction* redo_ = nullptr;
  QAction* actions_[kCommands] = {};
  QPointer<cuiSheet> watched_;
};
