#include "base/cmcTick.h"

#include <QElapsedTimer>

namespace {
cmcTick::Clock& clockOverride() {
  static cmcTick::Clock clock;
  return clock;
}

uint32_t monotonicMs() {
  static QElapsedTimer timer = [] {
    QElapsedTimer t;
    t.start();
    return t;
  }();
  return static_cast<uint32_t>(timer.elapsed());
}
}  // namespace

uint32_t cmcTick::Now() {
  if (clockOverride()) return clockOverride()();
  return monotonicMs();
}

void cmcTick::SetClock(Clock clock) { clockOverride() = std::move(clock); }

void cmcTick::Start(uint32_t ms) {
  duration_ = ms;
  start_ = Now();
  running_ = true;
}

uint32_t cmcTick::Remaining() {
  if (!running_) return 0;
  const uint32_t elapsed = Now() - start_;
  if (elapsed < duration_) return duration_ - elapsed;
  running_ = false;
  return 0;
}
