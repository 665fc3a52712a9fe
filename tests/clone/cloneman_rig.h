#pragma once

#include <QTemporaryDir>
#include <optional>
#include <ostream>

// Tests configure the simulator with designated initializers and leave the rest at defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

#include "base/cmcEvMan.h"
#include "base/cmcTick.h"
#include "base/prompter.h"
#include "clone/SimulatedTransceiver.h"
#include "clone/cloneconfig.h"
#include "clone/indCloneMan.h"
#include "fakeport.h"
#include "files/indEnviron.h"
#include "gtex/cmcGTex.h"
#include "resources/embedded_text.h"

// Readable failures for the program's texts.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

// A clone manager over an in-memory port with a fake clock, the program's own resource text, a
// scripted prompter, an event bus whose clone events are recorded, and settings in a temporary
// directory. A simulated transceiver may sit on the other end of the port.
struct CloneManRig {
  static cmcGTex& loaded(cmcGTex& text) {
    const EmbeddedText main = mainResourceText();
    text.setSource(main.lines, main.count);
    return text;
  }

  uint32_t now = 50000;
  ScopedTickClock clock{[this] { return now; }};
  QTemporaryDir dir;
  indEnviron env{QStringLiteral("kestrin-cloneman-test"),
                 QStringLiteral("Software\\Zelk\\Kestrin"),
                 QString(),
                 QStringList(),
                 ScreenSize{},
                 EnvironPlace{dir.path(), dir.path()}};
  cmcGTex text;
  ScriptedPrompter prompter;
  cmcEvMan bus;
  std::vector<std::pair<int, intptr_t>> events;  // clone events 41, 42, 43 with argument a
  cmcEvHook hook{bus, [this](const cmcEvent& e) {
                   if (e.code >= 41 && e.code <= 43) events.emplace_back(e.code, e.a);
                 }};
  FakeSerialDevice* fake = new FakeSerialDevice;
  indCloneMan man{env, loaded(text), prompter, &bus, std::unique_ptr<cmcSerialDevice>(fake)};
  std::optional<SimulatedTransceiver> sim;

  CloneManRig() {
    man.engine().SetDrainWait([this](int ms) { now += static_cast<uint32_t>(ms); });
    env.setComPort(1);
    env.setTransType(3);
    env.setComSpeedHigh(1);
    man.SetCodes(cloneconfig::kModelCode, cloneconfig::kRequestSubCode);
    man.SetImageSize(0x3000);
  }

  // Connects a simulated transceiver; it hears bytes at the speed the port was opened with.
  SimulatedTransceiver& connect(SimulatedTransceiver::Config config = {}) {
    sim.emplace(std::move(config));
    fake->peer = [this](const QByteArray& data) {
      if (fake->isOpen()) fake->input += sim->Receive(data, fake->opens.back().settings.baud);
    };
    return *sim;
  }

  // Ticks until the manager is idle; returns the fake milliseconds that passed.
  int run(int maxTicks = 30000) {
    const uint32_t start = now;
    for (int i = 0; i < maxTicks && man.IsBusy(); ++i) {
      man.engine().Tick();
      now += cmcCloneDrv::kStepMs;
    }
    return static_cast<int>(now - start);
  }
};
