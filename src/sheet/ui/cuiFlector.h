#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QStringList>
#include <QList>
#include <QPointer>
#include <QRect>
#include <QWidget>
#include <memory>
#include <vector>

#include "gtex/cmcGTex.h"
#include "model/cmcCellCapsule.h"
#include "sheet/ui/SheetUiServices.h"

class QKeyEvent;
class cuiSheet;
class cmcEvHook;
class cmcCellParser;

// A resource text made at run time (a list built for the occasion, the flag-bits dialog): owns
// its lines and reads them through its own cmcGTex.
class GeneratedText {
 public:
  explicit GeneratedText(QList<QByteArray> lines);
  cmcGTex& text() { return text_; }

 private:
  QList<QByteArray> lines_;
  std::vector<const char*> pointers_;
  cmcGTex text_;
};

// Where a drop-down or a dialog opened for a cell goes: its left 8 pixels right of the cell's
// left, its top at the cell's bottom, pulled back inside the work area (above the cell when it
// fits there, to the cell's left when it fits beside it).
QRect dropDownGeometry(const QRect& cellOnScreen, QSize size, const QRect& workArea);

// The drop-down selection list: a borderless window holding a dialog sheet built from a list's
// description, opened on a cell with the current value made current. A click or Enter chooses
// (a copy of the owner cell's request with operation 2 goes back to the owner sheet); Escape,
// a click outside, event 22 and event 1 naming the owner close it without a choice. Keys as in
// any drop-down list: typed characters go to the next choice that starts with them ("0" "4" "7"
// to DTCS 047, a letter again to the next one with that letter), Home and End to the first and
// last choice, Page Up and Page Down a page of choices back and on.
class cuiFlector : public QWidget {
  Q_OBJECT

 public:
  static cuiFlector* open(cuiSheet* owner, const SheetUiServices& services,
                          const cmcCellCapsule& ownerRequest,
                          const cmcCellCapsule::PopupRequest& list, const QRect& cellOnScreen);
  ~cuiFlector() override;

  cuiSheet* sheet() const { return sheet_; }
  // The choices in list order (down the first column, then down the next) and their texts.
  const QList<SheetPos>& choices() const { return choices_; }
  QString choiceText(int position) const;
  // The choice a typed text leads to from the current one, or -1 (also for tests).
  int typeAheadTarget(const QString& typed, int from) const;
  bool hasScrollBars() const { return scrollBars_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  cuiFlector(cuiSheet* owner, const SheetUiServices& services, const cmcCellCapsule& request);
  void choose(const cmcCellCapsule& chosen);
  void dismiss();
  bool navigationKey(QKeyEvent* event);
  int currentChoice() const;
  void goTo(int position);

  QPointer<cuiSheet> owner_;
  SheetUiServices services_;
  cmcCellCapsule ownerRequest_;
  std::unique_ptr<GeneratedText> generated_;
  std::unique_ptr<cmcCellParser> parser_;
  cuiSheet* sheet_ = nullptr;
  std::unique_ptr<cmcEvHook> hook_;
  bool scrollBars_ = false;
  bool done_ = false;
  QList<SheetPos> choices_;
  QStringList texts_;
  QString typed_;
  QElapsedTimer lastTyped_;
};
