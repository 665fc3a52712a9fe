#include "app/TForm1.h"

#include <QCloseEvent>
#include <QTimer>

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("Form1"));
  setMinimumSize(kMinimumWidth, kMinimumHeight);
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (closeQuery && !closeQuery()) {
    event->ignore();
    return;
  }
  event->accept();
  if (closed) closed();
}

void TForm1::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shown) shown();
}

bool TForm1::event(QEvent* event) {
  const bool handled = QMainWindow::event(event);
  if (event->type() == QEvent::UpdateRequest && firstPainted) {
    // The window's backing store has just been painted and flushed.
    auto done = std::move(firstPainted);
    firstPainted = nullptr;
    QTimer::singleShot(0, this, [done] { done(); });
  }
  return handled;
}
