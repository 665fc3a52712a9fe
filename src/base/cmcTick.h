#pragma once

#include <cstdint>
#include <functional>

// A millisecond countdown on a monotonic clock. Tests may replace the clock.
class cmcTick {
 public:
  using Clock = std::function<uint32_t()>;

  void Start(uint32_t ms);
  // Milliseconds left; 0 when not running. Reaching 0 stops the countdown.
  uint32_t Remaining();
  bool running() const { return running_; }

  // The platform's millisecond tick count (wraps modulo 2^32).
  static uint32_t Now();
  // Replace the clock (nullptr restores the monotonic clock).
  static void SetClock(Clock clock);

 private:
  uint32_t duration_ = 0;
  uint32_t start_ = 0;
  bool running_ = false;
};

// Replaces the clock for its lifetime; for tests.
class ScopedTickClock {
 public:
  explicit ScopedTickClock(cmcTick::Clock clock) { cmcTick::SetClock(std::move(clock)); }
  ~ScopedTickClock() { cmcTick::SetClock(nullptr); }
  ScopedTickClock(const ScopedTickClock&) = delete;
  ScopedTickClock& operator=(const ScopedTickClock&) = delete;
};
