#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "clone/SimulatedTransceiver.h"
#include "clone/serialdevice.h"
#include "model/destinations.h"

// A transceiver inside the program, reached like a serial port: the bytes the program writes go
// out at the line's byte rate, reach the simulated transceiver as they finish, and its answers
// come back at the same rate, so a clone at 38400 baud takes as long as it does on a cable. The
// cable echoes every byte the program sends (the usual one-wire cable). The memory lives in a QEV
// file, made from the factory image of destination 0 the first time and saved after every
// accepted clone write.
class SimulatedSerialDevice : public cmcSerialDevice {
 public:
  // The port name that designates the built-in transceiver in the port lists and the settings.
  static constexpr const char* kPortName = "Simulated transceiver";
  // Monotonic nanoseconds; tests may run the line on a clock of their own.
  using Clock = std::function<int64_t()>;

  struct Options {
    QString memoryPath;                        // empty: the memory is not kept on disk
    FactoryImageLookup factory = nullptr;      // seeds a memory file that does not exist yet
    SimulatedTransceiver::Config transceiver;  // identification speeds, destination, faults
    bool echo = true;                          // the cable returns every byte sent
    Clock clock;                               // empty: the steady clock
  };

  // Bytes and line time in each direction since the device was made (echoes not counted: they
  // travel while the program's own bytes do).
  struct Traffic {
    int64_t bytesSent = 0;
    int64_t bytesAnswered = 0;
    int64_t lineNs = 0;  // time the line was busy, both directions together
    int opens = 0;       // each open drains the input for the protocol's prescribed wait
  };

  explicit SimulatedSerialDevice(Options options);
  ~SimulatedSerialDevice() override;

  // Where the built-in transceiver keeps its memory: a QEV file in the user's data directory.
  static QString defaultMemoryPath();
  static bool isSimulatorName(const QString& name);

  bool open(const QString& name, const cmcLineSettings& settings, QString* error) override;
  void close() override;
  bool isOpen() const override { return open_; }
  int bytesAvailable() override;
  int read(uint8_t* buffer, int maximum) override;
  int write(const uint8_t* bytes, int count) override;
  int outputQueue() override;
  void purge() override;

  // The transceiver behind the line (made at the first open, when its memory is loaded).
  SimulatedTransceiver& transceiver();
  const Options& options() const { return options_; }
  const Traffic& traffic() const { return traffic_; }
  int baud() const { return baud_; }
  // Why the last save of the memory failed; empty after a good one.
  QString lastSaveError() const { return saveError_; }

 private:
  bool ensureTransceiver(QString* error);
  int64_t now() const;
  int64_t byteEnd(int64_t start, int64_t index) const;
  // Moves the line on to the present: finished bytes reach the transceiver or the program.
  void advance();

  Options options_;
  std::unique_ptr<SimulatedTransceiver> radio_;
  bool open_ = false;
  int baud_ = 9600;
  int bitsPerByte_ = 10;
  // Program to transceiver: bytes from `outPos_` on are still on the way; the run of bytes sent
  // back to back began at `outStart_` with `outDone_` of them finished.
  QByteArray out_;
  qsizetype outPos_ = 0;
  int64_t outStart_ = 0;
  int64_t outDone_ = 0;
  // Transceiver to program, the same way.
  QByteArray in_;
  qsizetype inPos_ = 0;
  int64_t inStart_ = 0;
  int64_t inDone_ = 0;
  QByteArray received_;  // arrived, not yet read
  qsizetype receivedPos_ = 0;
  Traffic traffic_;
  QString saveError_;
};
