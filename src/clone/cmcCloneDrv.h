#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

#include "base/cmcBuff.h"
#include "base/cmcTick.h"
#include "clone/cloneframes.h"
#include "clone/clonetypes.h"
#include "clone/cmcComm.h"

class cmcTask;

// Runs one clone operation at a time (identification, clone read or clone write) as a state
// machine stepped every 10 ms by its own task on the user-interface thread. Every failure ends
// as a status in the result record, handed once to the completion callback; the port is always
// closed at the end.
class cmcCloneDrv {
 public:
  using Completion = std::function<void(void* context, CloneResult& result)>;
  // Data bytes moved so far and the bytes the operation moves in all.
  using Progress = std::function<void(int transferred, int total)>;
  using DrainWait = std::function<void(int ms)>;

  static constexpr int kStepMs = 10;
  static constexpr int kDrainWaitMs = 100;
  static constexpr int kMaxDrainBytes = 65535;
  static constexpr int kReadChunk = 256;
  static constexpr int kSpeedRows = 5;
  // Steps one tick may run back to back; a bound, not a pace (the steps stop at the first wait).
  static constexpr int kMaxStepsPerTick = 64;

  // The speeds an identification tries, in order from `TransType` on; the index is `TransType`.
  struct SpeedRow {
    const char* settings;
    bool echo;
  };
  static const SpeedRow kSpeedTable[kSpeedRows];

  // States of the machine.
  enum State : int {
    kIdle = 0,
    kBegin = 2,
    kScript = 3,
    kScriptDelay = 4,
    kOpenCloneSpeed = 5,
    kSendIdentify = 6,
    kAwaitIdentify = 7,
    kSendReadRequest = 8,
    kReceiveData = 9,
    kSendWriteRequest = 10,
    kSendData = 11,
    kSendEnd = 12,
    kAwaitWriteResult = 13,
    kFinish = 14,
    kEnd = 15,
  };

  // Without a device the engine's port uses the system's serial ports.
  explicit cmcCloneDrv(std::unique_ptr<cmcSerialDevice> device = nullptr);
  ~cmcCloneDrv();
  cmcCloneDrv(const cmcCloneDrv&) = delete;
  cmcCloneDrv& operator=(const cmcCloneDrv&) = delete;

  // Each refuses (false) while an operation runs.
  bool StartIdentify(Completion callback, void* context = nullptr);
  bool StartRead(const AddressRanges& ranges, Completion callback, void* context = nullptr);
  // Also refuses ranges that do not lie inside the image.
  bool StartWrite(const cmcEeprom& image, const AddressRanges& ranges, Completion callback,
                  void* context = nullptr);
  bool IsBusy() const { return state_ != kIdle; }

  // Configuration, kept between operations.
  void SetCodes(int model, int sub) {
    model_ = model;
    sub_ = sub;
  }
  void SetImageSize(int n) { imageSize_ = n; }
  void SetPortNumber(int n) { portNumber_ = n; }
  // A port name ("COM3", a device path) used instead of the port number when not empty.
  void SetPortName(const QString& name) { portName_ = name; }
  void SetCloneSpeed(const QByteArray& settings) { cloneSpeed_ = settings; }
  void SetRequestPreamble(int n) { requestPreamble_ = n; }
  void SetDataPreambles(int first, int later) {
    dataPreambleFirst_ = first;
    dataPreambleLater_ = later;
  }
  void SetCountInEndFrame(bool on) { countInEndFrame_ = on; }
  void SetEcho(bool on) { echo_ = on; }
  void SetBlockSize(int n) { blockSize_ = n > 0 ? n : 1; }
  void SetScript(const QByteArray& script) { script_ = script; }
  void SetScriptDelay(int ms) { scriptDelay_ = ms; }
  void SetTimeouts(int general, int script, int writeResult) {
    timeoutGeneral_ = general;
    timeoutScript_ = script;
    timeoutWriteResult_ = writeResult;
  }
  void SetWriteResultTimeout(int ms) { timeoutWriteResult_ = ms; }
  // The speed row an identification starts its search at; a good reply at another row sets it.
  void SetTransType(int index) { transType_ = (index >= 0 && index < kSpeedRows) ? index : 0; }
  void SetProgressCallback(Progress progress) { progress_ = std::move(progress); }
  void SetDrainWait(DrainWait wait) { drainWait_ = std::move(wait); }

  int ModelCode() const { return model_; }
  int SubCode() const { return sub_; }
  int ImageSize() const { return imageSize_; }
  int PortNumber() const { return portNumber_; }
  QString PortName() const { return portName_; }
  QByteArray CloneSpeed() const { return cloneSpeed_; }
  bool Echo() const { return echo_; }
  int TransType() const { return transType_; }
  int State() const { return state_; }
  int Transferred() const { return counters_.transferred; }
  int TransferTotal() const { return transferTotal_; }
  int FrameCount() const { return counters_.frameCount; }
  // Why the port could not be opened, naming the device (after status 2).
  QString LastOpenError() const { return port_.LastOpenError(); }
  cmcComm& Port() { return port_; }

  // Data frames a read accepts before it ends with the data-counter error: twice what its ranges
  // hold in one-byte frames, so a transceiver or cable that never stops cannot hold the read.
  static int MaxReadFrames(const AddressRanges& ranges);

  // One tick of the step task; the task calls it every 10 ms, tests may call it directly. A step
  // that moved on without waiting for the line runs the next one at once; the first step that
  // waits (for input, output, an echo or a prescribed pause) ends the tick.
  void Tick();

 private:
  bool begin(int mode, Completion callback, void* context);
  void step();
  enum ActionActivity { kIdleStep = 0, kActive = 1, kSame = 2 };
  int action(int& next);
  bool openPort(const QByteArray& settings);
  void drainInput();
  int readPort();  // bytes read into the receive queue
  void send(const QByteArray& bytes);
  // 1 a frame is in `frame`, 0 none yet, -1 the buffer overflowed.
  int receiveReply(QByteArray& frame);
  void clearQueues();
  void reportProgress();
  void finish();

  cmcComm port_;
  cmcTask* task_ = nullptr;

  // Configuration.
  int model_ = 0;
  int sub_ = 0;
  int imageSize_ = 0;
  int portNumber_ = 1;
  QString portName_;
  QByteArray cloneSpeed_ = "9600,n,8,1";
  int requestPreamble_ = 0;
  int dataPreambleFirst_ = 0;
  int dataPreambleLater_ = 0;
  bool countInEndFrame_ = true;
  bool echo_ = false;
  int blockSize_ = 16;
  QByteArray script_;
  int scriptDelay_ = 0;
  int timeoutGeneral_ = 1000;
  int timeoutScript_ = 1000;
  int timeoutWriteResult_ = 2000;
  int transType_ = 0;
  Progress progress_;
  DrainWait drainWait_;

  // Run state.
  int mode_ = 0;
  int state_ = kIdle;
  bool speedSearch_ = false;
  int speedIndex_ = 0;
  int speedStart_ = 0;
  // The most telling failure of the rows tried so far (see kFinish).
  int searchStatus_ = 0;
  cmcBuff receive_;
  cmcBuff echoQueue_;
  FrameAssembler assembler_;
  AddressRanges ranges_;
  bool haveRanges_ = false;
  int rangeIndex_ = 0;
  int address_ = 0;
  QByteArray waiting_;
  CloneReadState counters_;
  int transferTotal_ = 0;
  int reportedTransferred_ = -1;
  int maxReadFrames_ = 0;
  bool again_ = false;  // the step stayed in its state but did not wait for the line
  bool echoProgress_ = false;
  cmcTick timeout_;
  cmcTick delay_;
  Completion completion_;
  void* context_ = nullptr;
  std::unique_ptr<CloneResult> result_;
};
