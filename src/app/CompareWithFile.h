#pragma once

#include <QDialog>
#include <QString>
#include <vector>

#include "sheet/core/DocumentCompare.h"

class QLabel;
class QMenuBar;
class QTreeWidget;
class cuiMain;

// What the comparison dialog calls things: its title, the sentence above the list and the
// heading of the other side's column.
struct CompareLabels {
  QString title;
  QString summary;
  QString other;
};

// File > Compare with File...: the fields in which the document differs from a clone data file,
// one line each; choosing a line opens its page at its cell. Modeless, so the user can go from
// one difference to the next and edit as they go.
class CompareDialog : public QDialog {
  Q_OBJECT

 public:
  CompareDialog(cuiMain& main, std::vector<FieldDifference> differences, const QString& path,
                QWidget* parent);
  CompareDialog(cuiMain& main, std::vector<FieldDifference> differences,
                const CompareLabels& labels, QWidget* parent);

  const std::vector<FieldDifference>& differences() const { return differences_; }
  QTreeWidget* list() const { return list_; }
  // Opens the page of difference n and makes its cell current (the page alone for a field only
  // the file's page has). False when n is out of range.
  bool goTo(int n);

 private:
  cuiMain& main_;
  std::vector<FieldDifference> differences_;
  QTreeWidget* list_ = nullptr;
  QLabel* summary_ = nullptr;

  static CompareLabels fileLabels(cuiMain& main, const QString& path, int differences);
};

// Compares the document with the QEV file at `path` (asked for with the open dialog when empty).
// The file opens as File Open opens it, with its messages, at its own destination. Shows the
// differences in a new dialog and returns it; equal documents are said in a message and give
// null, as do a cancelled choice and a file that does not open.
CompareDialog* compareWithFile(cuiMain& main, const QString& path = {});

// After a Clone Read over a document that had a file: a button in the status bar that compares
// the data just read with that file. It goes when used or when the next offer replaces it; none
// is made without a file.
void offerComparison(cuiMain& main, const QString& previousFile);

// Puts "Compare with File..." into the File menu (the bar's first), after Save As.
void installCompareCommand(cuiMain& main, QMenuBar* bar);
