#pragma once

#include <QString>

#include "clone/serialdevice.h"

// A COM port through the Windows serial interface: opened as "\\.\COMn" without overlapped
// input and output, driver queues of 32000 bytes in and 1024 out, reads that return at once with
// what has arrived, and a write time-out that grows with the chunk.
class WinSerialDevice : public cmcSerialDevice {
 public:
  WinSerialDevice() = default;
  ~WinSerialDevice() override;
  WinSerialDevice(const WinSerialDevice&) = delete;
  WinSerialDevice& operator=(const WinSerialDevice&) = delete;

  bool open(const QString& name, const cmcLineSettings& settings, QString* error) override;
  void close() override;
  bool isOpen() const override;
  int bytesAvailable() override;
  int read(uint8_t* buffer, int maximum) override;
  int write(const uint8_t* bytes, int count) override;
  int outputQueue() override;
  void purge() override;

  // The device path opened for a port name: "COM3" becomes "\\.\COM3"; a path is kept.
  static QString devicePath(const QString& name);
  // The COM ports the system knows, by name ("COM1", "COM3").
  static QStringList portNames();

 private:
  void* handle_ = nullptr;  // INVALID_HANDLE_VALUE or null when closed
  bool queues(int* in, int* out);
};
