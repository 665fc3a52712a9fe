#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <vector>

#include "clone/cloneframes.h"
#include "model/cmcEeprom.h"

// The transceiver's side of the cloning protocol, for the simulator and for tests: fed with the
// bytes the program puts on the line (and the line speed they arrived at), it answers with the
// bytes the transceiver would send, including the echo of an echo cable.
class SimulatedTransceiver {
 public:
  static constexpr int kMemorySize = 0x18A0;  // the clone range
  static constexpr int kCloneInfoSize = 42;
  static constexpr int kModelCode = 0x3251;
  static constexpr int kSubCode = 0x0004;
  static constexpr int kHighSpeed = 38400;
  static constexpr int kNormalSpeed = 9600;
  static constexpr int kBlockSize = 32;

  // Clone-information layout.
  static constexpr int kInfoRevision = 1;
  static constexpr int kInfoComment = 2;
  static constexpr int kInfoCommentLength = 16;
  static constexpr int kInfoDestination = 18;
  static constexpr int kInfoOptions = 19;
  static constexpr int kInfoSerial = 28;
  static constexpr int kInfoSerialLength = 14;

  // Faults to inject; frame numbers count data frames from 1.
  struct Faults {
    bool noise = false;              // noise bytes before every frame it sends
    int badChecksumFrame = 0;        // this data frame of a read carries a wrong checksum
    int dropFrame = 0;               // this data frame of a read is left out (and not counted)
    bool badCount = false;           // the end frame of a read counts one frame less
    int silenceAfterFrame = -1;      // a read stops after this many data frames (0: none at all)
    bool wrongModel = false;         // identifies with model code 3252
    bool subCode5 = false;           // identifies with sub code 0005
    bool nonBcdModel = false;        // identifies with the model byte 0x5A
    int revision = 1;                // clone-information format byte
    bool otherDestination = false;   // every identification after the first names another destination
    bool writeFail = false;          // answers every clone write with failure
    int changeAfterWrite = -1;       // flips bit 0 of the byte at this address after it accepts a write
    bool silent = false;             // never answers anything
    int replyDelayMs = 0;            // every answer starts this late (a slow transceiver)
  };

  struct Config {
    std::vector<int> identifySpeeds{19200, 9600, 4800};  // speeds it answers identification at
    bool echo = false;                                    // the cable returns every byte
    int destination = 0;
    uint8_t options = 0;                                  // option bits of the clone information
    QByteArray serial = "07D90C0001E240";                 // 14 hexadecimal characters
    QByteArray comment;                                   // up to 16 characters
    Faults faults;
  };

  struct Stats {
    int identifications = 0;
    int speedChanges = 0;
    int reads = 0;
    int writesAccepted = 0;
    int writesRejected = 0;
    int ignoredFrames = 0;  // frames at a speed it does not listen at, or not for it
  };

  SimulatedTransceiver();
  explicit SimulatedTransceiver(Config config);

  // Bytes from the program, arrived at line speed `baud`; returns the bytes sent in answer.
  QByteArray Receive(const QByteArray& bytes, int baud);

  cmcEeprom& memory() { return memory_; }
  const cmcEeprom& memory() const { return memory_; }
  // A blank memory that passes the program's image check (format byte and model code set).
  static cmcEeprom blankMemory();
  QByteArray cloneInformation() const;
  const Config& config() const { return config_; }
  Config& config() { return config_; }
  const Stats& stats() const { return stats_; }
  // The speed the next transfer runs at after a speed change; 0 while none was asked for.
  int transferSpeed() const { return transferSpeed_; }
  // Called after every accepted clone write (the simulator saves its memory there).
  void setOnWrite(std::function<void()> onWrite) { onWrite_ = std::move(onWrite); }
  // Human-readable account of what happens, for the simulator's verbose mode.
  void setLog(std::function<void(const QString&)> log) { log_ = std::move(log); }

 private:
  void handleFrame(const QByteArray& frame, int baud, QByteArray& out);
  void sendFrame(uint8_t command, const QByteArray& payload, QByteArray& out);
  void identify(QByteArray& out);
  void serveRead(QByteArray& out);
  void finishWrite(const QByteArray& payload, QByteArray& out);
  bool listensForIdentify(int baud) const;
  void note(const QString& text);

  Config config_;
  cmcEeprom memory_;
  Stats stats_;
  FrameAssembler assembler_{cloneframe::kMaxReadFrame};
  int lastBaud_ = 0;
  int transferSpeed_ = 0;
  bool writing_ = false;
  bool writeOk_ = true;
  int writeFrames_ = 0;
  CloneResult write_;
  CloneReadState writeState_;
  std::function<void()> onWrite_;
  std::function<void(const QString&)> log_;
};
