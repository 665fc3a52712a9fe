#pragma once

#include "base/prompter.h"

class QWidget;

// The program's message boxes: a QMessageBox with the caption, text, buttons, icon and default
// button of the message, over the main window when there is one.
class GuiPrompter : public Prompter {
 public:
  explicit GuiPrompter(QWidget* owner = nullptr) : owner_(owner) {}
  void setOwner(QWidget* owner) { owner_ = owner; }
  PromptAnswer ask(const PromptMessage& message) override;

 private:
  QWidget* owner_;
};
