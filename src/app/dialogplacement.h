#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

// Where a small dialog goes: centred over its owner (integer halves of the size differences),
// then pulled into the work area: right edge first, then left, then bottom, then top.
QPoint placeDialog(const QRect& owner, const QSize& dialog, const QRect& workArea);

// Moves `dialog` (already sized) to its place over `owner`, within the available geometry of
// the owner's screen.
void placeDialogOver(QWidget* dialog, const QWidget* owner);
