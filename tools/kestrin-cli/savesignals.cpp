#include "savesignals.h"

#include <QtGlobal>
#include <csignal>

#ifdef Q_OS_WIN

// Windows has no sigaction and no SIGHUP; Ctrl+C (SIGINT) and SIGTERM go through signal().
namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM};

int guards = 0;
volatile std::sig_atomic_t pending = 0;
void (*previous[sizeof kSignals / sizeof kSignals[0]])(int);

void hold(int signal) {
  if (pending == 0) {
    pending = signal;
    std::signal(signal, hold);  // the handler is reset on delivery
    return;
  }
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

}  // namespace

SaveSignalGuard::SaveSignalGuard() {
  if (guards++ > 0) return;
  pending = 0;
  for (size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i) {
    previous[i] = std::signal(kSignals[i], hold);
    if (previous[i] == SIG_IGN) std::signal(kSignals[i], SIG_IGN);
  }
}

SaveSignalGuard::~SaveSignalGuard() {
  if (--guards > 0) return;
  for (size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i) std::signal(kSignals[i], previous[i]);
  const int signal = pending;
  pending = 0;
  if (signal != 0) std::raise(signal);
}

#else

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

int guards = 0;
volatile std::sig_atomic_t pending = 0;
struct sigaction previous[sizeof kSignals / sizeof kSignals[0]];

void restore() {
  for (size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i)
    sigaction(kSignals[i], &previous[i], nullptr);
}

void hold(int signal) {
  if (pending == 0) {
    pending = signal;
    return;
  }
  // Asked twice: end now, as the signal would have without the guard.
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

}  // namespace

SaveSignalGuard::SaveSignalGuard() {
  if (guards++ > 0) return;
  pending = 0;
  struct sigaction action {};
  action.sa_handler = hold;
  sigemptyset(&action.sa_mask);
  for (size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i) {
    sigaction(kSignals[i], nullptr, &previous[i]);
    // A signal the tool was started to ignore (nohup) stays ignored.
    if (previous[i].sa_handler != SIG_IGN) sigaction(kSignals[i], &action, nullptr);
  }
}

SaveSignalGuard::~SaveSignalGuard() {
  if (--guards > 0) return;
  restore();
  const int signal = pending;
  pending = 0;
  if (signal != 0) std::raise(signal);
}

#endif
