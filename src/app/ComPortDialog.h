#pragma once

#include <QDialog>

class PortCombo;
class Prompter;
class QLabel;
class QPushButton;
class cmcGTex;
class indEnviron;

// The COM Port Setting dialog: the notice, the port box and OK / Cancel, sized from the dialog's
// font. OK stores the chosen port (a COM number 1..256, a device path or the built-in simulated
// transceiver) and closes; a number out of range is refused with a message and nothing is stored.
class ComPortDialog : public QDialog {
  Q_OBJECT

 public:
  ComPortDialog(QWidget* owner, indEnviron& settings, cmcGTex& text, Prompter& prompter);

  // Centred over the owner inside the work area, modal; the dialog's result.
  int run();

  PortCombo* combo() const { return combo_; }
  QLabel* notice() const { return label_; }
  QPushButton* okButton() const { return ok_; }
  QPushButton* cancelButton() const { return cancel_; }

 private:
  void okClicked();

  indEnviron& settings_;
  cmcGTex& text_;
  Prompter& prompter_;
  QLabel* label_ = nullptr;
  PortCombo* combo_ = nullptr;
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
};
