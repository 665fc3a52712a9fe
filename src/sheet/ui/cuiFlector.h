#pragma once

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QRect>
#include <QWidget>
#include <memory>
#include <vector>

#include "gtex/cmcGTex.h"
#include "model/cmcCellCapsule.h"
#include "sheet/ui/SheetUiServices.h"

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
// a click outside, event 22 and event 1 naming the owner close it without a choice.
class cuiFlector : public QWidget {
  Q_OBJECT

 public:
  static cuiFlector* open(cuiSheet* owner, const SheetUiServices& services,
                          const cmcCellCapsule& ownerRequest,
                          const cmcCellCapsule::PopupRequest& list, const QRect& cellOnScreen);
  ~cuiFlector() override;

  cuiSheet* sheet() const { return sheet_; }
  bool hasScrollBars() const { return scrollBars_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  cuiFlector(cuiSheet* owner, const SheetUiServices& services, const cmcCellCapsule& request);
  void choose(const cmcCellCapsule& chosen);
  void dismiss();

  QPointer<cuiSheet> owner_;
  SheetUiServices services_;
  cmcCellCapsule ownerRequest_;
  std::unique_ptr<GeneratedText> generated_;
  std::unique_ptr<cmcCellParser> parser_;
  cuiSheet* sheet_ = nullptr;
  std::unique_ptr<cmcEvHook> hook_;
  bool scrollBars_ = false;
  bool done_ = false;
};
