#include "app/PortNote.h"

#include "base/cmcEvMan.h"
#include "base/events.h"
#include "clone/SimulatedSerialDevice.h"
#include "clone/indCloneMan.h"
#include "files/indEnviron.h"

PortNote::PortNote(QWidget* parent, cmcEvMan& bus, indEnviron& settings, indCloneMan& clone)
    : QLabel(parent), bus_(bus), settings_(settings), clone_(clone) {
  setObjectName(QStringLiteral("PortNote"));
  setFrameShape(QFrame::NoFrame);
  setContentsMargins(4, 0, 8, 0);  // clear of the window's edge
  bus_.subscribe<&PortNote::onEvent>(this);
  refresh();
}

PortNote::~PortNote() { bus_.unsubscribe<&PortNote::onEvent>(this); }

void PortNote::refresh() {
  const bool simulator = SimulatedSerialDevice::isSimulatorName(clone_.EffectivePortName());
  setText(simulator ? QStringLiteral("Cloning with the simulated transceiver") : QString());
  setVisible(simulator);
}

void PortNote::onEvent(const cmcEvent& event) {
  if (event.code == ev::kShowMainWindow || event.code == ev::kRefreshToolbar) refresh();
}
