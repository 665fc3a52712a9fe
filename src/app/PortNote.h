#pragma once

#include <QLabel>

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
