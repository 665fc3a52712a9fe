#include "app/cuiToolBar.h"

#include <QAction>
#include <QMainWindow>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QToolBar>

#include "app/ToolBarRow.h"
#include "base/textcodec.h"
#include "gtex/cellmarkup.h"
#include "gtex/cmcGTex.h"
#include "model/catalogue.h"
#include "model/cmcCellCapsule.h"

namespace {

// A separator of a fixed width, drawn as the style draws toolbar separators.
class ToolSeparator : public QWidget {
 public:
  explicit ToolSeparator(QWidget* parent) : QWidget(parent) {
    setFixedWidth(cuiToolBar::kSeparatorWidth);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    option.state |= QStyle::State_Horizontal;
    style()->drawPrimitive(QStyle::PE_IndicatorToolBarSeparator, &option, &painter, this);
  }
};

}  // namespace

cuiToolBar::cuiToolBar(QMainWindow* parent, const BuilderServices& services)
    : QObject(parent), parent_(parent), services_(services) {}

cuiToolBar::~cuiToolBar() { clearRows(); }

void cuiToolBar::clearRows() {
  for (auto& row : rows_) {
    if (row) {
      if (parent_) parent_->removeToolBar(row);
      row->deleteLater();
    }
  }
  rows_.clear();
  buttons_.clear();
  separators_ = 0;
}

QToolBar* cuiToolBar::newRow(bool breakBefore) {
  if (breakBefore) parent_->addToolBarBreak(Qt::TopToolBarArea);
  auto* row = new ToolBarRow(parent_);
  row->setObjectName(QStringLiteral("toolbar%1").arg(rows_.size()));
  row->setMovable(false);
  row->setFloatable(false);
  row->setIconSize(QSize(16, 16));
  row->setToolButtonStyle(Qt::ToolButtonIconOnly);
  row->setContentsMargins(4, 0, 0, 0);  // indent 4
  parent_->addToolBar(Qt::TopToolBarArea, row);
  row->setVisible(visible_);
  rows_ << row;
  return row;
}

void cuiToolBar::create(const QByteArray& stem, const QList<QIcon>& images) {
  clearRows();
  stem_ = stem;
  images_ = images;
}

void cuiToolBar::fill(ClickHandler handler) {
  handler_ = std::move(handler);
  clearRows();
  const QByteArray basicSection = stem_ + "_BasicCell";
  const QByteArray bodySection = stem_ + "_Body";
  cmcCellObj basic;
  services_.parser->parseCell(basic, services_.text->getLine(basicSection.constData(), 0), nullptr,
                              nullptr);
  QToolBar* row = newRow(false);
  for (int n = 0;; ++n) {
    const QByteArray line = services_.text->getLine(bodySection.constData(), n);
    if (line.startsWith('#')) break;
    auto button = std::make_unique<Button>();
    services_.parser->parseCell(button->cell, line, &basic, nullptr);
    const QString caption = fromCp932(button->cell.text.value_or(QByteArray()));
    if (caption == QLatin1String("-")) {
      button->separator = true;
      button->action = row->addWidget(new ToolSeparator(row));
      ++separators_;
    } else if (caption == QLatin1String("/")) {
      button->separator = true;
      row = newRow(true);
    } else {
      auto* action = new QAction(ImageLists::at(images_, button->cell.imageIndex), caption, row);
      action->setToolTip(caption);
      row->addAction(action);
      button->action = action;
      connect(action, &QAction::triggered, this, [this, action] { click(action); });
    }
    buttons_.push_back(std::move(button));
  }
}

void cuiToolBar::click(QAction* action) {
  const Button* found = nullptr;
  for (const auto& b : buttons_) {
    if (b->action == action && !b->separator) found = b.get();
  }
  if (!found) return;
  const cmcCellObj cell = found->cell;  // the toolbar may be rebuilt while the command runs
  if (handler_) {
    handler_(cell);
    return;
  }
  services_.catalogue->activate(cell, kKeyEnter);
}

void cuiToolBar::refresh() {
  for (auto& b : buttons_) {
    if (b->separator || !b->action) continue;
    cmcCellCapsule request;
    request.cell = &b->cell;
    request.key = kKeyNone;
    services_.catalogue->dispatch(request, false);
    b->action->setCheckable(request.itemState.checked);
    b->action->setChecked(request.itemState.checked);
    b->action->setEnabled(!request.itemState.disabled);
    b->action->setIcon(ImageLists::at(images_, b->cell.imageIndex));
  }
}

void cuiToolBar::setVisible(bool visible) {
  visible_ = visible;
  for (auto& row : rows_) {
    if (row) row->setVisible(visible);
  }
}

bool cuiToolBar::isVisible() const { return visible_; }

QList<QToolBar*> cuiToolBar::rows() const {
  QList<QToolBar*> out;
  for (const auto& row : rows_) {
    if (row) out << row;
  }
  return out;
}

QAction* cuiToolBar::actionFor(int link) const {
  for (const auto& b : buttons_) {
    if (!b->separator && b->cell.link == link) return b->action;
  }
  return nullptr;
}
