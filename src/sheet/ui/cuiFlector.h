#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QStringList>

#include "sheet/ui/cuiCellPopup.h"

class QKeyEvent;

// The drop-down selection list: a borderless window holding a dialog sheet built from a list's
// description, opened on a cell with the current value made current. A click or Enter chooses
// (a copy of the owner cell's request with operation 2 goes back to the owner sheet); Escape,
// a click outside, event 22 and event 1 naming the owner close it without a choice. Keys as in
// any drop-down list: typed characters go to the next choice that starts with them ("0" "4" "7"
// to DTCS 047, a letter again to the next one with that letter), Home and End to the first and
// last choice, Page Up and Page Down a page of choices back and on.
class cuiFlector : public cuiCellPopup {
  Q_OBJECT

 public:
  static cuiFlector* open(cuiSheet* owner, const SheetUiServices& services,
                          const cmcCellCapsule& ownerRequest,
                          const cmcCellCapsule::PopupRequest& list, const QRect& cellOnScreen);
  // The choices in list order (down the first column, then down the next) and their texts.
  const QList<SheetPos>& choices() const { return choices_; }
  QString choiceText(int position) const;
  // The choice a typed text leads to from the current one, or -1 (also for tests).
  int typeAheadTarget(const QString& typed, int from) const;
  bool hasScrollBars() const { return scrollBars_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  cuiFlector(cuiSheet* owner, const SheetUiServices& services, const cmcCellCapsule& request);
  void choose(const cmcCellCapsule& chosen);
  bool navigationKey(QKeyEvent* event);
  int currentChoice() const;
  void goTo(int position);

  bool scrollBars_ = false;
  QList<SheetPos> choices_;
  QStringList texts_;
  QString typed_;
  QElapsedTimer lastTyped_;
};
