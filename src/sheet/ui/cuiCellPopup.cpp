#include "sheet/ui/cuiCellPopup.h"

#include <QGuiApplication>
#include <QHideEvent>
#include <QKeyEvent>
#include <QScreen>

#include "base/cmcEvMan.h"
#include "base/events.h"
#include "base/textcodec.h"
#include "gtex/cellmarkup.h"
#include "sheet/ui/cuiGrid.h"
#include "sheet/ui/cuiSheet.h"

GeneratedText::GeneratedText(QList<QByteArray> lines) : lines_(std::move(lines)) {
  pointers_.reserve(size_t(lines_.size()));
  for (const QByteArray& line : lines_) pointers_.push_back(line.constData());
  text_.setSource(pointers_.data(), int(pointers_.size()));
}

QRect dropDownGeometry(const QRect& cell, QSize size, const QRect& work) {
  QRect r(QPoint(cell.left() + 8, cell.top() + cell.height()), size);
  if (r.bottom() > work.bottom()) {
    if (cell.top() - size.height() >= work.top()) {
      r.moveBottom(cell.top() - 1);
    } else {
      r.moveBottom(work.bottom());
    }
  }
  if (r.right() > work.right()) {
    const bool beside = r.bottom() < cell.top() || r.top() > cell.bottom();
    if (!beside && cell.left() - size.width() >= work.left()) {
      r.moveRight(cell.left() - 1);
    } else {
      r.moveRight(work.right());
    }
  }
  if (r.left() < work.left()) r.moveLeft(work.left());
  if (r.top() < work.top()) r.moveTop(work.top());
  return r;
}

cuiCellPopup::cuiCellPopup(cuiSheet* owner, const SheetUiServices& services,
                           const cmcCellCapsule& request, const QString& objectName)
    : QWidget(owner, Qt::Popup | Qt::FramelessWindowHint),
      owner_(owner),
      services_(services),
      ownerRequest_(request) {
  setAttribute(Qt::WA_DeleteOnClose, true);
  setObjectName(objectName);
  if (services.sheet.text && services.sheet.text->hasSection("GI_Sys_AppTitle"))
    setWindowTitle(fromCp932(services.sheet.text->getLine("GI_Sys_AppTitle", 0)));
}

// The hook calls back into the window: it goes before anything else does.
cuiCellPopup::~cuiCellPopup() { hook_.reset(); }

std::unique_ptr<SheetModel> cuiCellPopup::buildModel(const QByteArray& name,
                                                     SheetServices s) const {
  s.texts = nullptr;
  s.widths = nullptr;
  s.bus = nullptr;
  auto model = SheetModel::create(SheetClass::Plain, name, s);
  SheetBuildOptions options;
  options.dialog = true;
  options.fontScalePercent = services_.fontScalePercent;
  model->build(options);
  return model;
}

QRect cuiCellPopup::workAreaAt(const QRect& cellOnScreen) {
  QScreen* screen = QGuiApplication::screenAt(cellOnScreen.center());
  if (!screen) screen = QGuiApplication::primaryScreen();
  return screen->availableGeometry();
}

void cuiCellPopup::showAt(const QRect& geometry) {
  sheet_->grid()->installEventFilter(this);
  setGeometry(geometry);
  if (services_.sheet.bus) {
    hook_ = std::make_unique<cmcEvHook>(*services_.sheet.bus, [this](const cmcEvent& e) {
      if (e.code == ev::kCommitEditor) {
        leave();
      } else if (e.code == ev::kOwnerClosing && e.bAs<cuiSheet>() == owner_.data()) {
        dismiss();
      } else if (e.code == ev::kAskPopupOpen && e.mode == cmcEvent::kAsked &&
                 (e.b == 0 || e.bAs<cuiSheet>() == owner_.data())) {
        services_.sheet.bus->answer(this, 1);
      }
    });
  }
  show();
  sheet_->grid()->setFocus(Qt::PopupFocusReason);
}

bool cuiCellPopup::beginClosing() {
  if (closed_) return false;
  closed_ = true;
  hook_.reset();
  return true;
}

void cuiCellPopup::dismiss() {
  if (!beginClosing()) return;
  hide();
  deleteLater();
  if (owner_ && owner_->isVisible()) owner_->grid()->setFocus(Qt::PopupFocusReason);
}

void cuiCellPopup::deliverChoice(cmcCellCapsule& request) {
  hide();
  if (owner_) owner_->deliverChoice(request);
  deleteLater();
}

bool cuiCellPopup::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
    dismiss();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void cuiCellPopup::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  if (!closed_) leave();
}
