#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <vector>

// Every message box and question of the program goes through a Prompter: the GUI shows a
// QMessageBox, the command-line tool prints and answers from its flags, tests script answers.

enum class PromptButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class PromptIcon { None, Information, Warning, Error, Question };
enum class PromptAnswer { Ok, Cancel, Yes, No };

struct PromptMessage {
  QString caption;
  QString text;
  PromptButtons buttons = PromptButtons::Ok;
  PromptIcon icon = PromptIcon::None;
  PromptAnswer defaultAnswer = PromptAnswer::Ok;
};

class Prompter {
 public:
  virtual ~Prompter() = default;
  virtual PromptAnswer ask(const PromptMessage& message) = 0;

  // Conveniences for the common shapes.
  void inform(const QString& caption, const QString& text, PromptIcon icon = PromptIcon::Information);
  bool confirmOkCancel(const QString& caption, const QString& text,
                       PromptIcon icon = PromptIcon::Question);
};

// For tests: answers from a queue and logs every message. When the queue is empty it gives the
// message's default answer (an Ok-only box always answers Ok).
class ScriptedPrompter : public Prompter {
 public:
  PromptAnswer ask(const PromptMessage& message) override;

  void push(PromptAnswer answer) { answers_.push_back(answer); }
  struct Entry {
    PromptMessage message;
    PromptAnswer answer;
  };
  const std::vector<Entry>& log() const { return log_; }
  void clearLog() { log_.clear(); }
  // Texts of every message shown so far, in order.
  QStringList texts() const;

 private:
  std::deque<PromptAnswer> answers_;
  std::vector<Entry> log_;
};
