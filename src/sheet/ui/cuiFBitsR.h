#pragma once

#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <memory>

#include "model/cmcCellCapsule.h"
#include "sheet/ui/SheetUiServices.h"

class GeneratedText;
class QPushButton;
class cmcCellParser;
class cmcEvHook;
class cuiSheet;

// The flag-bits dialog: a row of check cells over a value word, position k (from 1, left to
// right) being bit 26 - k. Space, Backspace and a click invert a position. OK, Enter, losing
// activation and event 22 commit the word once, as a choice for the owner cell; Cancel, Escape
// and event 1 naming the owner close it without committing.
class cuiFBitsR : public QWidget {
  Q_OBJECT

 public:
  static cuiFBitsR* open(cuiSheet* owner, const SheetUiServices& services,
                         const cmcCellCapsule& ownerRequest,
                         const cmcCellCapsule::PopupRequest& bits, const QRect& cellOnScreen);
  ~cuiFBitsR() override;

  // The dialog's resource text (for a label type of letters, positions first..last).
  static QList<QByteArray> generatedText(cmcGTex& main, int first, int last);

  uint32_t value() const { return value_; }
  cuiSheet* sheet() const { return sheet_; }
  QPushButton* okButton() const { return ok_; }
  QPushButton* cancelButton() const { return cancel_; }
  bool committed() const { return committed_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  cuiFBitsR(cuiSheet* owner, const SheetUiServices& services, const cmcCellCapsule& request);
  int handleCell(cmcCellCapsule& request, bool editing);
  void commit();
  void cancel();

  QPointer<cuiSheet> owner_;
  SheetUiServices services_;
  cmcCellCapsule ownerRequest_;
  std::unique_ptr<GeneratedText> generated_;
  std::unique_ptr<cmcCellParser> parser_;
  cuiSheet* sheet_ = nullptr;
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
  std::unique_ptr<cmcEvHook> hook_;
  uint32_t value_ = 0;
  int first_ = 1;
  int last_ = 10;
  bool cancelled_ = false;
  bool committed_ = false;
  bool closed_ = false;
};
