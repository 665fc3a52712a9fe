#pragma once

#include <QDialog>

class PortCombo;
class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class cuiMain;
struct cmcEvent;

// The initial set-up dialog: a greeting with the steps to follow, a picture of the transceiver,
// the port box and OK / Cancel. Shown modeless while the main window stays hidden; OK stores the
// port and has the application identify the transceiver, whose destination and options it then
// adopts. Every way of closing shows the main window.
class TForm2 : public QDialog {
  Q_OBJECT

 public:
  explicit TForm2(cuiMain& app);
  ~TForm2() override;

  // Fonts and texts, then shown modeless.
  void showInitialSetup();

  QPushButton* Button1() const { return button1_; }
  QPushButton* Button2() const { return button2_; }
  QPlainTextEdit* Memo1() const { return memo1_; }
  PortCombo* cbComm() const { return cbComm_; }
  QLabel* Label1() const { return label1_; }
  QLabel* Image1() const { return image1_; }
  QFrame* Panel1() const { return panel1_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  void onEvent(const cmcEvent& event);
  void Button1Click();

  cuiMain& app_;
  QFrame* panel1_ = nullptr;
  QFrame* panel2_ = nullptr;
  QFrame* panel3_ = nullptr;
  QPlainTextEdit* memo1_ = nullptr;
  QLabel* image1_ = nullptr;
  PortCombo* cbComm_ = nullptr;
  QLabel* label1_ = nullptr;
  QPushButton* button1_ = nullptr;
  QPushButton* button2_ = nullptr;
  bool subscribed_ = false;
};
