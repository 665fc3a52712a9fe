#include "sheet/ui/cuiFBitsR.h"

#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "base/cmcEvMan.h"
#include "base/events.h"
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
    : QWidget(owner, Qt::Popup | Qt::FramelessWindowHint),
      owner_(owner),
      services_(services),
      ownerRequest_(request) {
  setAttribute(Qt::WA_DeleteOnClose, true);
  setObjectName(QStringLiteral("flagBitsDialog"));
  if (services.sheet.text && services.sheet.text->hasSection("GI_Sys_AppTitle"))
    setWindowTitle(fromCp932(services.sheet.text->getLine("GI_Sys_AppTitle", 0)));
}

cuiFBitsR::~cuiFBitsR() { hook_.reset(); }

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
  s.texts = nullptr;
  s.widths = nullptr;
  s.bus = nullptr;
  auto model = SheetModel::create(SheetClass::Plain, "GI_Sheet_FBitsR", s);
  SheetBuildOptions options;
  options.dialog = true;
  options.fontScalePercent = services.fontScalePercent;
  model->build(options);
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
  connect(w->cancel_, &QPushButton::clicked, w, [w] { w->cancel(); });
  w->sheet_->grid()->installEventFilter(w);
  w->installEventFilter(w);

  const int buttonsWidth = w->ok_->sizeHint().width() + w->cancel_->sizeHint().width() + 2 * 5 + 8;
  const QSize size(std::max(sheetSize.width() + 14, buttonsWidth + 14),
                   sheetSize.height() + w->ok_->sizeHint().height() + 10 + 9);
  QScreen* screen = QGuiApplication::screenAt(cellOnScreen.center());
  if (!screen) screen = QGuiApplication::primaryScreen();
  w->setGeometry(dropDownGeometry(cellOnScreen, size, screen->availableGeometry()));

  if (services.sheet.bus) {
    w->hook_ = std::make_unique<cmcEvHook>(*services.sheet.bus, [w](const cmcEvent& e) {
      if (e.code == ev::kCommitEditor) {
        w->commit();
      } else if (e.code == ev::kOwnerClosing && e.bAs<cuiSheet>() == w->owner_.data()) {
        w->cancel();
      } else if (e.code == ev::kAskPopupOpen && e.mode == cmcEvent::kAsked &&
                 (e.b == 0 || e.bAs<cuiSheet>() == w->owner_.data())) {
        w->services_.sheet.bus->answer(w, 1);
      }
    });
  }
  w->show();
  w->sheet_->grid()->setFocus(Qt::PopupFocusReason);
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
  if (req.operation == kOpDisplayOrKey && req.editGrid) {
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

bool cuiFBitsR::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Escape) {
      cancel();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void cuiFBitsR::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  // Losing activation (a click outside) commits, unless Cancel was pressed.
  if (!closed_) commit();
}

void cuiFBitsR::commit() {
  if (closed_) return;
  closed_ = true;
  hook_.reset();
  if (!cancelled_ && !committed_) {
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
    hide();
    if (owner_) owner_->deliverChoice(request);
  } else {
    hide();
  }
  deleteLater();
}

void cuiFBitsR::cancel() {
  cancelled_ = true;
  if (closed_) return;
  closed_ = true;
  hook_.reset();
  hide();
  deleteLater();
  if (owner_ && owner_->isVisible()) owner_->grid()->setFocus(Qt::PopupFocusReason);
}
