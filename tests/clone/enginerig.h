#pragma once

#include <optional>

// Tests configure the simulator with designated initializers and leave the rest at defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

#include "base/cmcTick.h"
#include "clone/SimulatedTransceiver.h"
#include "clone/cloneconfig.h"
#include "clone/cmcCloneDrv.h"
#include "fakeport.h"

// An engine on an in-memory port with a fake clock; ticks are driven by the test, 10 ms apart.
// A simulated transceiver may sit on the other end of the port.
struct EngineRig {
  uint32_t now = 50000;
  ScopedTickClock clock{[this] { return now; }};
  FakeSerialDevice* fake = new FakeSerialDevice;
  cmcCloneDrv engine{std::unique_ptr<cmcSerialDevice>(fake)};
  std::optional<SimulatedTransceiver> sim;
  std::optional<CloneResult> result;
  int completions = 0;
  std::vector<std::pair<int, int>> progress;

  EngineRig() {
    engine.SetDrainWait([this](int ms) { now += static_cast<uint32_t>(ms); });
    engine.SetCodes(cloneconfig::kModelCode, cloneconfig::kRequestSubCode);
    engine.SetImageSize(0x3000);
    engine.SetProgressCallback([this](int done, int total) { progress.emplace_back(done, total); });
  }

  // Connects a simulated transceiver; it hears bytes at the speed the port was opened with.
  SimulatedTransceiver& connect(SimulatedTransceiver::Config config = {}) {
    sim.emplace(std::move(config));
    fake->peer = [this](const QByteArray& data) {
      if (fake->isOpen()) fake->input += sim->Receive(data, fake->opens.back().settings.baud);
    };
    return *sim;
  }

  void configure(int mode, int transType, bool highSpeed = true) {
    cloneconfig::Settings s;
    s.transType = transType;
    s.highSpeed = highSpeed;
    cloneconfig::configure(engine, mode, s);
  }

  cmcCloneDrv::Completion done() {
    return [this](void*, CloneResult& r) {
      ++completions;
      result = std::move(r);
    };
  }

  // Ticks until the engine is idle; returns the fake milliseconds that passed.
  int run(int maxTicks = 20000) {
    const uint32_t start = now;
    for (int i = 0; i < maxTicks && engine.IsBusy(); ++i) {
      engine.Tick();
      now += cmcCloneDrv::kStepMs;
    }
    return static_cast<int>(now - start);
  }

  // Ticks while `pred` is false (at most maxTicks).
  bool runUntil(const std::function<bool()>& pred, int maxTicks = 20000) {
    for (int i = 0; i < maxTicks && !pred(); ++i) {
      engine.Tick();
      now += cmcCloneDrv::kStepMs;
    }
    return pred();
  }

  int status() const { return result ? result->status : -1; }
};
