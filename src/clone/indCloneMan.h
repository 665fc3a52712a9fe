#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

#include "clone/clonetypes.h"
#include "clone/cmcCloneDrv.h"

class Prompter;
class cmcEvMan;
class cmcGTex;
class cmcSerialDevice;
class indEnviron;

// Turns the user's settings into a configured clone engine, starts identifications, clone reads
// and clone writes, turns the engine's status into the user's error message and calls the
// application back. One operation at a time.
class indCloneMan {
 public:
  // The application's checks, called with the result before any message is shown; they may
  // change the status.
  using Handler = std::function<void(CloneResult& result)>;
  // One-shot: cleared before it is called, last, after the message.
  using Completion = std::function<void(CloneResult& result)>;
  // Data bytes moved so far and the bytes the operation moves in all.
  using Progress = std::function<void(int transferred, int total)>;

  static constexpr int kProgressCells = 32;

  // `bus` may be null (no clone events are sent then). Without a device the engine uses the
  // system's serial ports.
  indCloneMan(indEnviron& settings, cmcGTex& text, Prompter& prompter, cmcEvMan* bus,
              std::unique_ptr<cmcSerialDevice> device = nullptr);
  ~indCloneMan();
  indCloneMan(const indCloneMan&) = delete;
  indCloneMan& operator=(const indCloneMan&) = delete;

  void SetCodes(int model, int sub) { engine_.SetCodes(model, sub); }
  void SetImageSize(int n) { engine_.SetImageSize(n); }
  void SetHandlers(Handler identification, Handler read) {
    identifyHandler_ = std::move(identification);
    readHandler_ = std::move(read);
  }
  void SetProgress(Progress progress) { progress_ = std::move(progress); }
  // A device name or path used for this run instead of the stored port (the port named on a
  // command line, a pseudo-terminal, the built-in transceiver); empty goes back to the stored one.
  void SetPortName(const QString& name) { portName_ = name; }
  QString PortName() const { return portName_; }
  // The port the next operation opens by name: the one set for the run, else the stored path;
  // empty when the stored COM number is used.
  QString EffectivePortName() const;

  // Each returns false, and changes nothing, while an operation runs.
  bool Identify(Completion completion);
  bool ReadClone(const AddressRanges& ranges, Completion completion);
  // With `readBack`, the write is to be followed by ReadBack over those ranges: the progress runs
  // over both transfers, and the end of a successful write sends no clone-ended events (the
  // read-back does).
  bool WriteClone(const cmcEeprom& image, const AddressRanges& ranges, Completion completion,
                  const AddressRanges* readBack = nullptr);
  // Reads the transceiver's memory back after a successful write that announced it, as a clone
  // read does after its identification. The result goes to `completion` unchecked and without
  // a message: the caller reports it.
  bool ReadBack(const AddressRanges& ranges, Completion completion);
  bool IsBusy() const { return engine_.IsBusy(); }

  int Mode() const { return mode_; }
  int TransferTotal() const { return transferTotal_; }
  // Data bytes moved so far by the operation, over a write and its read-back together.
  int Transferred() const { return progressBase_ + engine_.Transferred(); }

  // The message shown for a status; empty for 0. After a port that could not be opened it ends
  // with the reason, naming the device.
  QString MessageFor(int status) const;
  // Why the port could not be opened, naming the device (after status 2).
  QString LastOpenError() const { return engine_.LastOpenError(); }

  // Cells of the progress bar lit for a transfer state (0..32).
  static int LitCells(int transferred, int total);

  cmcCloneDrv& engine() { return engine_; }

 private:
  bool start(int mode, Completion completion);
  void configure(int mode);
  void finished(CloneResult& result);

  indEnviron& settings_;
  cmcGTex& text_;
  Prompter& prompter_;
  cmcEvMan* bus_;
  cmcCloneDrv engine_;
  QString portName_;
  Handler identifyHandler_;
  Handler readHandler_;
  Completion completion_;
  Progress progress_;
  int mode_ = 0;
  int transferTotal_ = 0;
  int progressBase_ = 0;        // bytes of the write before a read-back
  bool readBackFollows_ = false;
  bool quiet_ = false;          // a read-back: no check, no message
};
