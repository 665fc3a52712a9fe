#include "app/ToolBarRow.h"

#include <QAbstractButton>
#include <QLinearGradient>
#include <QMainWindow>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionToolBar>

#include "app/DirectIconStyle.h"

void ToolBarRow::paintEvent(QPaintEvent* event) {
  lastPaintOwn_ = false;
  QStyle* style = this->style();
  QStyleOptionToolBar option;
  initStyleOption(&option);
  // The extension button is checked while the row shows all its buttons over the window; Qt
  // then paints a frame around the row as well.
  const auto* extension = findChild<const QAbstractButton*>(QStringLiteral("qt_toolbar_ext_button"),
                                                            Qt::FindDirectChildrenOnly);
  if (!ownPaintAllowed_ || !DirectIconStyle::drawsAsFusion(style) || isWindow() ||
      (extension && extension->isChecked()) || !qobject_cast<const QMainWindow*>(parentWidget()) ||
      option.toolBarArea != Qt::TopToolBarArea || !(option.state & QStyle::State_Horizontal)) {
    QToolBar::paintEvent(event);
    return;
  }

  QPainter painter(this);
  // At another ratio the style's one-pixel pen is scaled and rounded its own way.
  if (painter.device()->devicePixelRatio() != 1.0) {
    painter.end();
    QToolBar::paintEvent(event);
    return;
  }
  const QRect r = option.rect;
  // What the style draws for a main window's toolbar at the top, in its order: a light gradient
  // down the row, then the lines at the bottom and the light line at the top.
  QLinearGradient gradient(r.topLeft(), r.bottomLeft());
  gradient.setColorAt(0, option.palette.window().color().lighter(104));
  gradient.setColorAt(1, option.palette.window().color());
  painter.fillRect(r, gradient);
  const QColor light(255, 255, 255, 90);
  const QColor shadow(0, 0, 0, 60);
  auto line = [&](int y, const QColor& colour) {
    painter.fillRect(QRect(r.left(), y, r.width(), 1), colour);
  };
  if (option.positionOfLine == QStyleOptionToolBar::End ||
      option.positionOfLine == QStyleOptionToolBar::OnlyOne) {
    line(r.bottom(), light);
    line(r.bottom() - 1, shadow);
  } else {
    line(r.bottom(), shadow);
  }
  line(r.top(), light);

  // The handle, as the toolbar draws it (none for a row that cannot be moved).
  option.rect = style->subElementRect(QStyle::SE_ToolBarHandle, &option, this);
  if (option.rect.isValid())
    style->drawPrimitive(QStyle::PE_IndicatorToolBarHandle, &option, &painter, this);
  lastPaintOwn_ = true;
}
