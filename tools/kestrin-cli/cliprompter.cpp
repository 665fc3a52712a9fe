#include "cliprompter.h"

#include <unistd.h>

#include <QByteArray>
#include <QString>

namespace {

const char* answerName(PromptAnswer answer) {
  switch (answer) {
    case PromptAnswer::Ok:
      return "OK";
    case PromptAnswer::Cancel:
      return "Cancel";
    case PromptAnswer::Yes:
      return "Yes";
    case PromptAnswer::No:
      return "No";
  }
  return "";
}

bool isQuestion(PromptButtons buttons) { return buttons != PromptButtons::Ok; }

PromptAnswer affirmative(PromptButtons buttons) {
  return buttons == PromptButtons::OkCancel ? PromptAnswer::Ok : PromptAnswer::Yes;
}

}  // namespace

PromptAnswer CliPrompter::ask(const PromptMessage& message) {
  QString text = message.text;
  text.replace('\n', ' ');
  std::fprintf(out_, "%s: %s\n", message.caption.toUtf8().constData(), text.toUtf8().constData());
  if (!isQuestion(message.buttons)) return PromptAnswer::Ok;

  PromptAnswer answer = message.defaultAnswer;
  if (assumeYes_) {
    answer = affirmative(message.buttons);
  } else if (in_ && isatty(fileno(in_))) {
    const bool withCancel = message.buttons == PromptButtons::YesNoCancel;
    std::fprintf(out_, "%s [%s]: ", withCancel ? "(y)es, (n)o or (c)ancel?" : "(y)es or (n)o?",
                 answerName(message.defaultAnswer));
    std::fflush(out_);
    char line[64];
    if (std::fgets(line, sizeof line, in_)) {
      const char c = QByteArray(line).trimmed().toLower().left(1).constData()[0];
      if (c == 'y') {
        answer = affirmative(message.buttons);
      } else if (c == 'n') {
        answer =
            message.buttons == PromptButtons::OkCancel ? PromptAnswer::Cancel : PromptAnswer::No;
      } else if (c == 'c' && withCancel) {
        answer = PromptAnswer::Cancel;
      }
    }
  }
  std::fprintf(out_, "  -> %s\n", answerName(answer));
  return answer;
}
