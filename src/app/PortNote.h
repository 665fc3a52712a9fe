#pragma once

#include <QLabel>
#include <functional>

class cmcEvMan;
class indCloneMan;
class indEnviron;
struct cmcEvent;

// The status bar's note that cloning goes to the transceiver simulated inside the program (chosen
// in a port dialog, or for this run by --simulator), so nobody mistakes it for a radio. Updated
// whenever the main window shows or its toolbar states are refreshed.
class PortNote : public QLabel {
  Q_OBJECT

 public:
  PortNote(QWidget* parent, cmcEvMan& bus, indEnviron& settings, indCloneMan& clone);
  ~PortNote() override;

  void refresh();

 private:
  void onEvent(const cmcEvent& event);

  cmcEvMan& bus_;
  indEnviron& settings_;
  indCloneMan& clone_;
};

// The status bar's note of what a clone would use while nothing is cloning: the port and the
// destination (version) of the open data, so a user sees them without opening a dialog.
class IdleNote : public QLabel {
  Q_OBJECT

 public:
  IdleNote(QWidget* parent, cmcEvMan& bus, indEnviron& settings, indCloneMan& clone,
           std::function<int()> destination);
  ~IdleNote() override;

  void refresh();
  // "Port: COM 3", "Port: /dev/ttyUSB0"; with the version's name after it when it has one. The
  // simulated transceiver is left to the PortNote beside it.
  // "COM 3", a device path, "simulator", or "none".
  static QString portText(const QString& portName, int comPort);
  static QString textFor(const QString& portName, int comPort, int destination);

 private:
  void onEvent(const cmcEvent& event);

  cmcEvMan& bus_;
  indEnviron& settings_;
  indCloneMan& clone_;
  std::function<int()> destination_;
  bool cloning_ = false;
};
