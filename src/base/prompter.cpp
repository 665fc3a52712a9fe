#include "base/prompter.h"

#include <QStringList>

void Prompter::inform(const QString& caption, const QString& text, PromptIcon icon) {
  ask(PromptMessage{caption, text, PromptButtons::Ok, icon, PromptAnswer::Ok});
}

bool Prompter::confirmOkCancel(const QString& caption, const QString& text, PromptIcon icon) {
  return ask(PromptMessage{caption, text, PromptButtons::OkCancel, icon, PromptAnswer::Ok}) ==
         PromptAnswer::Ok;
}

PromptAnswer ScriptedPrompter::ask(const PromptMessage& message) {
  PromptAnswer answer = message.defaultAnswer;
  if (message.buttons == PromptButtons::Ok) {
    answer = PromptAnswer::Ok;
  } else if (!answers_.empty()) {
    answer = answers_.front();
    answers_.pop_front();
  }
  log_.push_back(Entry{message, answer});
  return answer;
}

QStringList ScriptedPrompter::texts() const {
  QStringList out;
  for (const auto& e : log_) out << e.message.text;
  return out;
}
