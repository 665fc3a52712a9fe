#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <vector>

#include "clone/serialdevice.h"

// An in-memory serial device. The test (or a simulated peer) puts bytes into `input`; every
// byte written lands in `written` and, unless held, passes through the driver queue at once.
class FakeSerialDevice : public cmcSerialDevice {
 public:
  struct OpenCall {
    QString name;
    cmcLineSettings settings;
  };

  std::vector<OpenCall> opens;
  int closes = 0;
  bool failOpen = false;
  bool failRead = false;
  QByteArray input;
  QByteArray written;
  std::vector<int> chunks;
  int queue = 0;             // bytes in the driver's transmit queue
  bool holdOutput = false;   // keep written bytes in the queue until the test releases them
  int acceptLimit = -1;      // a write accepts at most this many bytes
  bool echo = false;         // a cable that returns every byte
  // Sees every write once it leaves the driver queue; may answer by appending to `input`.
  std::function<void(const QByteArray&)> peer;

  bool open(const QString& name, const cmcLineSettings& settings, QString* error) override {
    opens.push_back({name, settings});
    if (failOpen) {
      if (error) *error = QStringLiteral("Serial device %1 was not found.").arg(name);
      return false;
    }
    open_ = true;
    purge();
    return true;
  }
  void close() override {
    if (open_) ++closes;
    open_ = false;
  }
  bool isOpen() const override { return open_; }
  int bytesAvailable() override { return open_ ? static_cast<int>(input.size()) : 0; }
  int read(uint8_t* buffer, int maximum) override {
    if (failRead) return -1;
    const int n = std::min(maximum, static_cast<int>(input.size()));
    std::copy_n(input.constData(), n, reinterpret_cast<char*>(buffer));
    input.remove(0, n);
    return n;
  }
  int write(const uint8_t* bytes, int count) override {
    if (!open_) return -1;
    const int n = acceptLimit >= 0 ? std::min(acceptLimit, count) : count;
    const QByteArray data(reinterpret_cast<const char*>(bytes), n);
    chunks.push_back(n);
    written += data;
    pendingLine_ += data;
    queue += n;
    if (!holdOutput) release();
    return n;
  }
  int outputQueue() override { return queue; }
  void purge() override {
    input.clear();
    queue = 0;
    pendingLine_.clear();
  }

  // The driver puts its queued bytes on the line.
  void release() {
    queue = 0;
    const QByteArray data = pendingLine_;
    pendingLine_.clear();
    if (data.isEmpty()) return;
    if (echo) input += data;
    if (peer) peer(data);
  }

 private:
  bool open_ = false;
  QByteArray pendingLine_;
};

// Spins the event loop until `done` holds or `ms` pass; returns whether it held.
inline bool waitUntil(const std::function<bool()>& done, int ms = 5000) {
  QElapsedTimer t;
  t.start();
  QTimer wake;  // keeps the wait from sleeping past the deadline when nothing else is due
  wake.start(2);
  while (!done()) {
    if (t.elapsed() > ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  }
  return true;
}
