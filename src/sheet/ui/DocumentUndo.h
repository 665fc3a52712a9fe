#pragma once

#include <QObject>
#include <QString>
#include <functional>

class Document;
class QAction;
class QUndoStack;

// Undo and redo of the working image. Whoever hands a request that may change the image to the
// dispatcher (the grid for keys and edits, popup commands, the flag-bits dialog, an import)
// wraps it in a Change; when the image differs afterwards, the changed bytes become one undo
// step. Undo and redo restore exactly those bytes, let the owner repaint, and keep the
// document's modified flag in step with the image (back at the saved bytes means unmodified).
class DocumentUndo : public QObject {
  Q_OBJECT

 public:
  explicit DocumentUndo(Document& document, QObject* parent = nullptr);
  ~DocumentUndo() override;

  QUndoStack* stack() const;
  // New, Open, Clone Read and a destination change start a fresh history: the document calls
  // this when its image is replaced. Called while a Change is open (a menu command dispatched from the grid), that Change records nothing either: its
  // "before" belongs to the old document.
  void clear();

  bool canUndo() const;
  bool canRedo() const;
  void undo();
  void redo();

  // The Edit menu's two actions, owned by `parent`: Undo on Ctrl+Z, Redo on Ctrl+Y and
  // Ctrl+Shift+Z, each enabled only while there is a step to take and named after it.
  QAction* createUndoAction(QObject* parent) const;
  QAction* createRedoAction(QObject* parent) const;

  // Records the working image on construction; pushes one step named `text` on destruction when
  // the image changed. Changes nest: only the outermost one records. A null `undo` records
  // nothing, so callers need not test for it.
  class Change {
   public:
    Change(DocumentUndo* undo, const QString& text);
    ~Change();
    Change(const Change&) = delete;
    Change& operator=(const Change&) = delete;

   private:
    DocumentUndo* undo_;
  };

 signals:
  // After an undo or redo changed the image: repaint the sheets, restart the warning check.
  void imageRestored();

 private:
  void begin(const QString& text);
  void end();

  struct Impl;
  Impl* impl_;
  friend class Change;
};
