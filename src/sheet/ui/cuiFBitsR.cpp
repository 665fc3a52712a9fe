#include "sheet/ui/cuiFBitsR.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/textcodec.h"
#include "gtex/cellmarkup.h"
#include "gtex/cmcGTex.h"
#include "model/catalogue.h"
#include "sheet/ui/ScreenMeasure.h"
#include "sheet/ui/cuiFlector.h"
#include "sheet/ui/cuiGrid.h"
#include "sheet/ui/cuiSheet.h"

namespace {
constexpr int kTopBit = 26;
}

QList<QByteArray> cuiFBitsR::generatedText(cmcGTex& main, int first, int last) {
  QList<QByteArray> t{"",
                      "#GI_Sheet_FBitsR_Style",
                      "(FixedCols=1)(FixedRows=1)",
                      "#GI_Sheet_FBitsR_BasicCell",
                      "{($Basic)(PopupMenu=GI_PMenu_NoItem)}",
                      "#GI_Sheet_FBitsR_Cells",
                      ""};
  QByteArray labels;
  QByteArray checks;
  const int count = last - first + 1;
  for (int k = 1; k <= count; ++k) {
    labels += "|{($iChI)}" + QByteArray(1, char(first + k - 1 + 64)) + "|";
    if (k > 1) checks += "{($iQp)}";
    checks += "|{($eWh)^(%CL_FBits[" + QByteArray::number(k) + "])}9|";
  }
  t << labels << "" << checks << ""
    << ""
    << "#";
  for (const char* model : {"iChI", "eWh", "iQp", "Basic"}) {
    const QByteArray name = QByteArray("CellModel_") + model;
    t << "#" + name << main.getLine(name.constData(), 0);
  }
  t << "#GI_PMenu_NoItem_BasicCell"
    << "{($Basic)}"
    << "#GI_PMenu_NoItem_Body"
    << "+{(%CT_PopupMenu.CL_PMenu_NoItem)}No item"
    << "#";
  t << "#GI_PMenu_Edit_BasicCell"
    << "{($Basic)}"
    << "#GI_PMenu_Edit_Body"
    << "+{(%CT_PopupMenu.CL_PMenu_Edit:Enter)}Edit..."
    << "#";
  t << "#End_Of_Ovl";
  return t;
}

cuiFBitsR::cuiFBitsR(cuiSheet* owner, const SheetUiServices& services,
                     const cmcCellCapsule& request)
    : cuiCellPopup(owner, services, request, QStringLiteral("flagBitsDialog")) {}

cuiFBitsR* cuiFBitsR::open(cuiSheet* owner, const SheetUiServices& services,
                           const cmcCellCapsule& ownerRequest,
                           const cmcCellCapsule::PopupRequest& bits, const QRect& cellOnScreen) {
  auto* w = new cuiFBitsR(owner, services, ownerRequest);
  w->value_ = static_cast<uint32_t>(bits.value);
  w->first_ = bits.first;
  w->last_ = std::max(bits.first, bits.last);
  cmcGTex& main = *services.sheet.text;
  w->generated_ = std::make_unique<GeneratedText>(generatedText(main, w->first_, w->last_));
  w->parser_ = std::make_unique<cmcCellParser>(w->generated_->text());

  SheetServices s = services.sheet;
  s.text = &w->generated_->text();
  s.parser = w->parser_.get();
  auto model = w->buildModel("GI_Sheet_FBitsR", s);
  const QSize sheetSize(model->totalWidth() + 6, model->totalHeight() + 6);

  // The dialog's own font for the buttons.
  cmcCellParser mainParser(main);
  CellFont dialogFont = mainParser.newFont();
  mainParser.parseFont(main.getLine("CellModel_BasicDialog", 0), dialogFont);
  w->setFont(cellQFont(dialogFont));

  auto* outer = new QVBoxLayout(w);
  outer->setContentsMargins(0, 0, 0, 0);
  auto* bevel = new QFrame(w);
  bevel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  bevel->setLineWidth(2);
  outer->addWidget(bevel);
  auto* inner = new QVBoxLayout(bevel);
  inner->setContentsMargins(2 + 5, 2 + 5, 2 + 5, 2);
  inner->setSpacing(0);

  cuiSheet::DialogOptions dialog;
  dialog.owner = &w->ownerRequest_;
  dialog.scrollBars = false;
  dialog.cellHandler = [w](cmcCellCapsule& req, bool editing) {
    return w->handleCell(req, editing);
  };
  w->sheet_ = cuiSheet::openDialog(std::move(model), services, dialog, bevel);
  w->sheet_->setFixedSize(sheetSize);
  inner->addWidget(w->sheet_);

  auto* buttons = new QHBoxLayout();
  buttons->setContentsMargins(0, 5, 0, 5);
  buttons->setSpacing(8);
  buttons->addStretch(1);
  w->ok_ = new QPushButton(fromCp932(main.getLine("GI_AppInd_Button_OkCancel", 0)), bevel);
  w->cancel_ = new QPushButton(fromCp932(main.getLine("GI_AppInd_Button_OkCancel", 1)), bevel);
  w->ok_->setDefault(true);
  buttons->addWidget(w->ok_);
  buttons->addWidget(w->cancel_);
  inner->addLayout(buttons);
  connect(w->ok_, &QPushButton::clicked, w, [w] { w->commit(); });
  connect(w->cancel_, &QPushButton::clicked, w, [w] { w->dismiss(); });
  // Escape on a button too.
  w->installEventFilter(w);

  const int buttonsWidth = w->ok_->sizeHint().width() + w->cancel_->sizeHint().width() + 2 * 5 + 8;
  const QSize size(std::max(sheetSize.width() + 14, buttonsWidth + 14),
                   sheetSize.height() + w->ok_->sizeHint().height() + 10 + 9);
  w->showAt(dropDownGeometry(cellOnScreen, size, workAreaAt(cellOnScreen)));
  return w;
}

int cuiFBitsR::handleCell(cmcCellCapsule& req, bool editing) {
  const cmcCellObj* cell = req.cell;
  if (!cell || cell->link != CL_FBits) {
    return services_.catalogue ? services_.catalogue->dispatch(req, editing) : kDispatchDone;
  }
  const int k = cell->index;
  const uint32_t bit = (k >= 1 && k <= kTopBit) ? (1u << (kTopBit - k)) : 0;
  req.resultText.clear();
  if (req.operation == kOpDisplayOrKey && req.fromGrid()) {
    if (req.key == kKeyBackspace || req.key == kKeySpace || req.key == kKeyDoubleClick) {
      value_ ^= bit;
      if (req.repaint) req.repaint(kRepaintSameLinkAndIndex);
    } else if (req.key == kKeyEnter) {
      QMetaObject::invokeMethod(
          this, [this] { commit(); }, Qt::QueuedConnection);
    }
  }
  if (value_ & bit) req.paint.decoration = kDecorationCheckMark;
  return kDispatchDone;
}

void cuiFBitsR::commit() {
  if (!beginClosing()) return;
  committed_ = true;
  cmcCellObj flex;
  flex.link = Flex0;
  cmcCellCapsule choice;
  choice.cell = &flex;
  cmcCellCapsule request = ownerRequest_;
  request.operation = kOpChoiceMade;
  request.key = kKeyNone;
  request.typedText = QByteArray::number(value_);
  request.parent = &choice;
  deliverChoice(request);
}
