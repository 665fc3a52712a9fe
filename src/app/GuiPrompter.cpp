#include "app/GuiPrompter.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>

namespace {

QMessageBox::Icon iconOf(PromptIcon icon) {
  switch (icon) {
    case PromptIcon::Information:
      return QMessageBox::Information;
    case PromptIcon::Warning:
      return QMessageBox::Warning;
    case PromptIcon::Error:
      return QMessageBox::Critical;
    case PromptIcon::Question:
      return QMessageBox::Question;
    case PromptIcon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

QMessageBox::StandardButton buttonOf(PromptAnswer answer) {
  switch (answer) {
    case PromptAnswer::Ok:
      return QMessageBox::Ok;
    case PromptAnswer::Cancel:
      return QMessageBox::Cancel;
    case PromptAnswer::Yes:
      return QMessageBox::Yes;
    case PromptAnswer::No:
      return QMessageBox::No;
  }
  return QMessageBox::Ok;
}

QMessageBox::StandardButtons buttonsOf(PromptButtons buttons) {
  switch (buttons) {
    case PromptButtons::Ok:
      return QMessageBox::Ok;
    case PromptButtons::OkCancel:
      return QMessageBox::Ok | QMessageBox::Cancel;
    case PromptButtons::YesNo:
      return QMessageBox::Yes | QMessageBox::No;
    case PromptButtons::YesNoCancel:
      return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
  }
  return QMessageBox::Ok;
}

// The answer a box gives when it is closed without a button (Escape, the close box).
PromptAnswer escapeAnswer(PromptButtons buttons) {
  switch (buttons) {
    case PromptButtons::Ok:
      return PromptAnswer::Ok;
    case PromptButtons::YesNo:
      return PromptAnswer::No;
    default:
      return PromptAnswer::Cancel;
  }
}

}  // namespace

PromptAnswer GuiPrompter::ask(const PromptMessage& message) {
  QMessageBox box(iconOf(message.icon), message.caption, message.text, buttonsOf(message.buttons),
                  owner_);
  box.setTextFormat(Qt::PlainText);
  const QMessageBox::StandardButton preferred = buttonOf(message.defaultAnswer);
  if (box.button(preferred)) box.setDefaultButton(preferred);
  const int result = box.exec();
  switch (result) {
    case QMessageBox::Ok:
      return PromptAnswer::Ok;
    case QMessageBox::Cancel:
      return PromptAnswer::Cancel;
    case QMessageBox::Yes:
      return PromptAnswer::Yes;
    case QMessageBox::No:
      return PromptAnswer::No;
    default:
      return escapeAnswer(message.buttons);
  }
}
