#include "app/dialogplacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

QPoint placeDialog(const QRect& owner, const QSize& dialog, const QRect& workArea) {
  int x = owner.left() + (owner.width() - dialog.width()) / 2;
  int y = owner.top() + (owner.height() - dialog.height()) / 2;
  const int workRight = workArea.left() + workArea.width();
  const int workBottom = workArea.top() + workArea.height();
  if (x + dialog.width() > workRight) x = workRight - dialog.width();
  if (x < workArea.left()) x = workArea.left();
  if (y + dialog.height() > workBottom) y = workBottom - dialog.height();
  if (y < workArea.top()) y = workArea.top();
  return {x, y};
}

void placeDialogOver(QWidget* dialog, const QWidget* owner) {
  QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
  const QRect work = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
  const QRect ownerRect = owner ? owner->frameGeometry() : work;
  dialog->move(placeDialog(ownerRect, dialog->frameGeometry().size(), work));
}
