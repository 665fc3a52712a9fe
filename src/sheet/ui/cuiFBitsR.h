#pragma once

#include <cstdint>

#include "sheet/ui/cuiCellPopup.h"

class QPushButton;

// The flag-bits dialog: a row of check cells over a value word, position k (from 1, left to
// right) being bit 26 - k. Space, Backspace and a click invert a position. OK, Enter, losing
// activation and event 22 commit the word once, as a choice for the owner cell; Cancel, Escape
// and event 1 naming the owner close it without committing.
class cuiFBitsR : public cuiCellPopup {
  Q_OBJECT

 public:
  static cuiFBitsR* open(cuiSheet* owner, const SheetUiServices& services,
                         const cmcCellCapsule& ownerRequest,
                         const cmcCellCapsule::PopupRequest& bits, const QRect& cellOnScreen);
  // The dialog's resource text (for a label type of letters, positions first..last).
  static QList<QByteArray> generatedText(cmcGTex& main, int first, int last);

  uint32_t value() const { return value_; }
  QPushButton* okButton() const { return ok_; }
  QPushButton* cancelButton() const { return cancel_; }
  bool committed() const { return committed_; }

 protected:
  // Event 22 and losing activation commit.
  void leave() override { commit(); }

 private:
  cuiFBitsR(cuiSheet* owner, const SheetUiServices& services, const cmcCellCapsule& request);
  int handleCell(cmcCellCapsule& request, bool editing);
  void commit();

  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
  uint32_t value_ = 0;
  int first_ = 1;
  int last_ = 10;
  bool committed_ = false;
};
