#pragma once

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <functional>

// Runs a real event loop (timers, deferred deletes) until `done` holds or `timeoutMs` passes.
// Returns whether `done` held.
inline bool spinUntil(const std::function<bool()>& done, int timeoutMs = 3000) {
  if (done()) return true;
  QElapsedTimer clock;
  clock.start();
  QEventLoop loop;
  QTimer poll;
  poll.setTimerType(Qt::PreciseTimer);
  bool ok = false;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (done()) {
      ok = true;
      loop.quit();
    } else if (clock.elapsed() >= timeoutMs) {
      loop.quit();
    }
  });
  poll.start(1);
  loop.exec();
  return ok;
}

// Runs the event loop for `ms` milliseconds.
inline void spinFor(int ms) {
  QElapsedTimer clock;
  clock.start();
  spinUntil([&] { return clock.elapsed() >= ms; }, ms + 1000);
}
