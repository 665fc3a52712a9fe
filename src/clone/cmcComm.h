#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

#include "base/cmcBuff.h"
#include "base/cmcTick.h"
#include "clone/serialdevice.h"

class cmcTask;

// The program's serial port: opens with a settings text such as "9600,N,8,1", reads what has
// arrived without waiting, and writes through a transmit buffer that its own task drains in
// chunks while the rest of the program keeps running.
class cmcComm {
 public:
  static constexpr int kInputQueueSize = 32000;
  static constexpr int kOutputQueueSize = 1024;  // also the largest chunk written at once
  static constexpr int kWriteTimeoutBase = 3000;
  static constexpr int kFlushRetryMs = 10;

  // Without a device the port uses the system's serial ports and the built-in transceiver.
  explicit cmcComm(std::unique_ptr<cmcSerialDevice> device = nullptr);
  ~cmcComm();
  cmcComm(const cmcComm&) = delete;
  cmcComm& operator=(const cmcComm&) = delete;

  // Opens COM port `portNumber` (see DeviceNameForPort).
  bool Open(int portNumber, const QByteArray& settings);
  // Opens a port by name: "COM3", a number, or (off Windows) a device path such as /dev/ttyUSB0.
  bool Open(const QString& portName, const QByteArray& settings);
  void Close();
  bool IsOpen() const;
  // Never waits: at most what has arrived and at most `maximum`; 0 when closed or on failure.
  int Read(uint8_t* buffer, int maximum);
  // Queues bytes for transmission; nothing happens when closed.
  void Send(const uint8_t* bytes, int count);
  void Send(const QByteArray& bytes) {
    Send(reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<int>(bytes.size()));
  }
  // Bytes in the driver's transmit queue plus bytes still in the transmit buffer.
  int PendingOutput();
  // Set when a chunk was not fully written in time; cleared by Open and Close.
  bool HasError() const { return error_; }

  int PortNumber() const { return portNumber_; }
  QString PortName() const { return portName_; }
  // Why the last Open failed, naming the device.
  QString LastOpenError() const { return lastOpenError_; }
  const cmcLineSettings& LineSettings() const { return line_; }
  int TransmitBuffered() const { return transmit_.Length(); }
  // Milliseconds allowed per byte of a chunk on top of the base time-out.
  // Milliseconds until the driver's transmit queue of `queued` bytes has gone out, at least 1
  // and at most the usual retry interval.
  int RetryAfterMs(int queued) const;
  int WriteTimeoutPerByte() const { return 100000 / (line_.baud > 0 ? line_.baud : 1); }
  cmcSerialDevice* device() { return device_.get(); }

  // The device of COM port n: "COMn" on Windows, /dev/ttyS<n-1> elsewhere.
  static QString DeviceNameForPort(int n);
  // A number names a COM port; anything else is a device name or path as given.
  static QString ResolvePortName(const QString& portName);
  // Applies a settings text ("19200,N,8,1") to line settings.
  static void ParseSettings(const QByteArray& text, cmcLineSettings& line);

 private:
  bool openDevice(const QString& name, const QByteArray& settings);
  void Flush();

  std::unique_ptr<cmcSerialDevice> device_;
  int portNumber_ = 0;
  QString portName_;
  bool error_ = false;
  cmcBuff transmit_;
  cmcLineSettings line_;
  cmcTask* flushTask_ = nullptr;
  cmcTick writeDeadline_;
  QString lastOpenError_;
};
