#pragma once

#include <QSerialPort>

#include "clone/serialdevice.h"

// A serial device on QSerialPort. Reads pull what the system has received without waiting;
// writes are pushed to the system at once as far as it takes them.
class QtSerialDevice : public cmcSerialDevice {
 public:
  QtSerialDevice();
  ~QtSerialDevice() override;

  bool open(const QString& name, const cmcLineSettings& settings, QString* error) override;
  void close() override;
  bool isOpen() const override;
  int bytesAvailable() override;
  int read(uint8_t* buffer, int maximum) override;
  int write(const uint8_t* bytes, int count) override;
  int outputQueue() override;
  void purge() override;

  // The text shown when `name` cannot be opened with `error`; names the device and, when the
  // user lacks the permission, says how to get it.
  static QString openErrorText(const QString& name, QSerialPort::SerialPortError error, const QString& detail);

 private:
  QSerialPort port_;
};
