#include "app/PortNote.h"

#include <QStringList>

#include "base/cmcEvMan.h"
#include "base/events.h"
#include "clone/PortList.h"
#include "clone/SimulatedSerialDevice.h"
#include "clone/indCloneMan.h"
#include "files/indEnviron.h"
#include "model/destinations.h"

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

IdleNote::IdleNote(QWidget* parent, cmcEvMan& bus, indEnviron& settings, indCloneMan& clone,
                   std::function<int()> destination)
    : QLabel(parent),
      bus_(bus),
      settings_(settings),
      clone_(clone),
      destination_(std::move(destination)) {
  setObjectName(QStringLiteral("IdleNote"));
  setFrameShape(QFrame::NoFrame);
  setContentsMargins(4, 0, 8, 0);
  bus_.subscribe<&IdleNote::onEvent>(this);
  refresh();
}

IdleNote::~IdleNote() { bus_.unsubscribe<&IdleNote::onEvent>(this); }

QString IdleNote::portText(const QString& portName, int comPort) {
  if (SimulatedSerialDevice::isSimulatorName(portName)) return QStringLiteral("simulator");
  if (!portName.isEmpty()) return portName;
  return comPort > 0 ? portlist::comNumberText(comPort) : QStringLiteral("none");
}

QString IdleNote::textFor(const QString& portName, int comPort, int destination) {
  // The simulated transceiver has a note of its own beside this one.
  QStringList parts;
  if (!SimulatedSerialDevice::isSimulatorName(portName))
    parts << QStringLiteral("Port: %1").arg(portText(portName, comPort));
  const QString version = QString::fromLatin1(destinationName(destination));
  if (!version.isEmpty()) parts << QStringLiteral("Version: %1").arg(version);
  return parts.join(QStringLiteral("    "));
}

void IdleNote::refresh() {
  setText(textFor(clone_.EffectivePortName(), settings_.comPort(),
                  destination_ ? destination_() : -1));
  setVisible(!cloning_);
}

void IdleNote::onEvent(const cmcEvent& event) {
  switch (event.code) {
    case ev::kCloneStarted:
      cloning_ = true;
      setVisible(false);
      break;
    case ev::kCloneEnded:
    case ev::kCloneProgressClosed:
      cloning_ = false;
      refresh();
      break;
    case ev::kShowMainWindow:
    case ev::kRefreshToolbar:
    case ev::kDataOrSheetChanged:
    case ev::kSetupFinished:
      refresh();
      break;
    default:
      break;
  }
}
