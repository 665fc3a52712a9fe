#pragma once

#include <memory>

#include "clone/serialdevice.h"

class SimulatedSerialDevice;
class cmcComm;

// The serial device the program opens ports through: the system's ports, or the transceiver
// built into the program when the port name designates it. The built-in one is made at its first
// use and kept, so that it stays the same transceiver from one operation to the next.
class SystemSerialDevice : public cmcSerialDevice {
 public:
  SystemSerialDevice();
  ~SystemSerialDevice() override;

  bool open(const QString& name, const cmcLineSettings& settings, QString* error) override;
  void close() override;
  bool isOpen() const override;
  int bytesAvailable() override;
  int read(uint8_t* buffer, int maximum) override;
  int write(const uint8_t* bytes, int count) override;
  int outputQueue() override;
  void purge() override;

  // The built-in transceiver's device, made with its memory in the user's data directory.
  SimulatedSerialDevice& simulator();
  // Replaces the built-in transceiver (a test's own memory file, faults or clock).
  void setSimulator(std::unique_ptr<SimulatedSerialDevice> simulator);

 private:
  std::unique_ptr<cmcSerialDevice> system_;
  std::unique_ptr<SimulatedSerialDevice> simulator_;
  cmcSerialDevice* active_ = nullptr;
};

// The built-in transceiver behind a port that uses the system device; null for another device.
SimulatedSerialDevice* builtInSimulator(cmcComm& port);
