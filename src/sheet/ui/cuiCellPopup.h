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
#include "sheet/core/SheetModel.h"
#include "sheet/ui/SheetUiServices.h"

class cmcCellParser;
class cmcEvHook;
class cuiSheet;

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

// A borderless popup window opened on a cell for a choice (the drop-down list, the flag-bits
// dialog), holding a dialog sheet. It closes once: with a choice handed to the owner sheet, or
// without one (Escape, the owner closing), giving the keyboard back to the owner's grid. While
// open it tells the bus that a popup is open for its owner.
class cuiCellPopup : public QWidget {
  Q_OBJECT

 public:
  ~cuiCellPopup() override;
  cuiSheet* sheet() const { return sheet_; }

 protected:
  cuiCellPopup(cuiSheet* owner, const SheetUiServices& services, const cmcCellCapsule& request,
               const QString& objectName);

  // A dialog sheet's model over `services` (linked texts, widths and the bus left out).
  std::unique_ptr<SheetModel> buildModel(const QByteArray& name, SheetServices services) const;
  // The work area of the screen the cell is on.
  static QRect workAreaAt(const QRect& cellOnScreen);
  // Puts the window at `geometry`, hooks it to the bus, shows it and gives its sheet the keys.
  void showAt(const QRect& geometry);

  // What event 22 and losing the window (a click outside) do: by default close without a choice.
  virtual void leave() { dismiss(); }
  // Closes without a choice.
  void dismiss();
  // Marks the window closed; false when it already was.
  bool beginClosing();
  // Hands `request` (a copy of the owner's request with the choice) to the owner and goes.
  void deliverChoice(cmcCellCapsule& request);

  bool eventFilter(QObject* watched, QEvent* event) override;
  void hideEvent(QHideEvent* event) override;

  QPointer<cuiSheet> owner_;
  SheetUiServices services_;
  cmcCellCapsule ownerRequest_;
  std::unique_ptr<GeneratedText> generated_;
  std::unique_ptr<cmcCellParser> parser_;
  cuiSheet* sheet_ = nullptr;

 private:
  std::unique_ptr<cmcEvHook> hook_;
  bool closed_ = false;
};
