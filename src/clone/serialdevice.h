#pragma once

#include <QString>
#include <cstdint>

// Line settings handed to a serial device when it opens.
struct cmcLineSettings {
  // Device-control flags, in the bit layout of the classic device-control block.
  enum LineFlag : uint32_t {
    kBinary = 1u << 0,
    kParityCheck = 1u << 1,
    kOutxCtsFlow = 1u << 2,
    kOutxDsrFlow = 1u << 3,
    kDtrControlMask = 3u << 4,  // 0 disabled
    kDsrSensitivity = 1u << 6,
    kTxContinueOnXoff = 1u << 7,
    kOutX = 1u << 8,
    kInX = 1u << 9,
    kErrorChar = 1u << 10,
    kNullStrip = 1u << 11,
    kRtsControlEnable = 1u << 12,  // field of two bits at 12; 1 enabled
    kRtsControlMask = 3u << 12,
    kAbortOnError = 1u << 14,
  };
  enum StopBits : uint8_t { kOneStop = 0, kOneAndHalfStop = 1, kTwoStop = 2 };

  int baud = 9600;
  uint8_t dataBits = 8;
  char parity = 'N';  // N, E, O, M or S
  uint8_t stopBits = kOneStop;
  uint32_t lineFlags = kBinary | kTxContinueOnXoff | kRtsControlEnable;
  int xonLimit = 16000;
  int xoffLimit = 24000;
  uint8_t xonChar = 0x11;
  uint8_t xoffChar = 0x13;
  uint8_t errorChar = 0x3F;
  uint8_t eofChar = 0xFD;
  uint8_t eventChar = 0xFE;

  bool dtr() const { return (lineFlags & kDtrControlMask) != 0; }
  bool rts() const { return (lineFlags & kRtsControlMask) == kRtsControlEnable; }
};

// The serial line under cmcComm. Production uses QSerialPort; tests use an in-memory port.
class cmcSerialDevice {
 public:
  virtual ~cmcSerialDevice() = default;
  // `error` receives a text naming the device when the open fails.
  virtual bool open(const QString& name, const cmcLineSettings& settings, QString* error) = 0;
  virtual void close() = 0;
  virtual bool isOpen() const = 0;
  // Bytes that have arrived and can be read without waiting.
  virtual int bytesAvailable() = 0;
  // Reads what has arrived, never waiting; -1 when the read fails.
  virtual int read(uint8_t* buffer, int maximum) = 0;
  // Hands bytes to the driver; returns how many it accepted, -1 on failure.
  virtual int write(const uint8_t* bytes, int count) = 0;
  // Bytes the driver has accepted but not yet put on the line.
  virtual int outputQueue() = 0;
  // Throws away everything queued in both directions.
  virtual void purge() = 0;
};
