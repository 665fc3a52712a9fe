#pragma once

#include <QByteArray>
#include <functional>
#include <vector>

#include "clone/clonetypes.h"
#include "model/cmcEeprom.h"

class Prompter;
class cmcEeprom;
class cmcEvMan;
class cmcGTex;
class indCloneMan;

// How the read-back after a Clone Write ended.
struct VerifyReport {
  enum Kind { kNotRun, kEqual, kDifferent, kFailed };
  Kind kind = kNotRun;
  int status = 0;  // the read-back's clone status (kFailed)
  // Written addresses whose byte came back different, ascending.
  std::vector<int> differingAddresses;
  cmcEeprom written;   // the image that was sent
  cmcEeprom readBack;  // `written` with every written byte replaced by the one read back
};

// What the clone commands need of the application: its document, its destination and the
// windows around them. The GUI's application object and the command-line tool each provide one.
class CloneApplication {
 public:
  virtual ~CloneApplication() = default;

  // The main window is shown (false during the initial set-up).
  virtual bool mainWindowShown() const = 0;
  // Ends any cell editing (before a write reads the image).
  virtual void endCellEditing() = 0;

  // --- the document -------------------------------------------------------------------------
  virtual cmcEeprom& workingImage() = 0;
  virtual bool isModified() = 0;
  // The save prompt of the File commands; false when the user cancelled or the save failed.
  virtual bool savePrompt() = 0;
  // The check an opened file passes (format byte and model code).
  virtual bool imageAcceptable(const cmcEeprom& image) = 0;
  // A clone read's image becomes the working image: untitled and modified, views refreshed, the
  // navigation tree rebuilt when the option setting changed since `optionBitsBefore`.
  virtual void takeOverClonedImage(const cmcEeprom& image, uint8_t optionBitsBefore) = 0;
  virtual void refreshViews() = 0;
  virtual void updateTitle() = 0;
  // Setting errors and warnings over the whole image.
  struct SettingProblems {
    int errors = 0;
    int warnings = 0;
    // The pages they are on, as the messages name them ("Memory CH > 0 - 99"); may be empty.
    QString errorPages;
    QString warningPages;
  };
  virtual SettingProblems countSettingProblems() = 0;
  virtual void normaliseImage(cmcEeprom& image) = 0;
  virtual void repairChannels(cmcEeprom& image) = 0;
  // Whether a successful Clone Write is read back from the transceiver and compared.
  virtual bool verifyAfterWrite() const { return false; }
  // The outcome of that read-back, before the command ends. The commands have shown the message
  // of a failed read-back already; the application reports equality and differences.
  virtual void verifyFinished(const VerifyReport&) {}

  // --- the destination ----------------------------------------------------------------------
  virtual int destination() const = 0;  // 16: none chosen
  // The four radio options in their clone-information bit positions.
  virtual uint8_t optionBits() const = 0;
  // Puts a remembered destination and option setting back (a failed clone read).
  virtual void restoreDestination(int code, uint8_t optionBits) = 0;
  // The transceiver's clone information as the last identification reported it.
  virtual void setCloneInformation(const QByteArray& info) = 0;
  // The clone-information event (35) with its flags; the application checks the transceiver's
  // destination against its own and may switch (see runDestinationCheck).
  virtual void destinationCheck(int flags) = 0;
  // Clone Information found the transceiver's destination equal to the program's.
  virtual void showCloneInformation() = 0;
};

// Flags of the clone-information event (35).
enum DestinationCheckFlag : int {
  kAdoptOptionFlags = 1,
  kUpdateDestination = 4,
  kPromptOnly = 8,
};

// What the destination check does to the application, step by step.
class DestinationCheckHost {
 public:
  virtual ~DestinationCheckHost() = default;
  virtual bool mainWindowShown() const = 0;
  virtual int storedDestination() const = 0;
  virtual uint8_t storedOptionBits() const = 0;
  virtual void setStoredOptionBits(uint8_t bits) = 0;
  // The change-model question; with `promptOnly` false also the save prompt and the document
  // becoming untitled. False when the user declined.
  virtual bool askChangeModel(bool promptOnly) = 0;
  virtual void changeDestination(int code, bool confirmed) = 0;
  // The marine option (radio option flag A) changed without a destination change: rebuild the
  // navigation tree, close the sheet and tell the bus.
  virtual void optionFlagAChanged() = 0;
  virtual void applyFrequencyRanges() = 0;
};

// The application's handling of the clone-information event: takes over the transceiver's option
// flags and, when the destinations differ, asks whether to switch to the transceiver's.
void runDestinationCheck(DestinationCheckHost& host, int flags, const QByteArray& cloneInfo);

// The question the destination check asks: "Settings don't match with transceiver's version."
// (OK/Cancel, Cancel by default). True for OK.
bool askChangeModelQuestion(Prompter& prompter, cmcGTex& text);

// How a clone command ended.
struct CloneOutcome {
  enum Kind {
    kSucceeded,
    kFailed,         // a status message was shown
    kCancelled,      // the user declined a question (or kept another destination)
    kBusy,           // another clone operation runs
    kSettingErrors,  // the image has setting errors (the message was shown)
  };
  Kind kind = kFailed;
  int status = kClonePortError;
  // A Clone Write that succeeded: whether and how its read-back ended.
  VerifyReport::Kind verify = VerifyReport::kNotRun;
  bool succeeded() const { return kind == kSucceeded; }
};

// The Clone Read, Clone Write and Clone Information commands: each identifies the transceiver
// (twice for a read, three times for a write) before it moves data, checks the identification
// and the data, and takes over or reports the result. One command at a time.
class CloneCommands {
 public:
  using Done = std::function<void(const CloneOutcome& outcome)>;

  static constexpr int kModelCode = 0x3251;
  static constexpr int kSubCode = 0;
  static constexpr int kReadFlags = kAdoptOptionFlags | kUpdateDestination | kPromptOnly;  // 13
  static constexpr int kWriteFlags = kAdoptOptionFlags | kUpdateDestination;               // 5
  static constexpr int kInformationFlags = kAdoptOptionFlags | kUpdateDestination;         // 5

  // Installs the identification and read checks on the manager.
  CloneCommands(indCloneMan& manager, CloneApplication& app, Prompter& prompter, cmcGTex& text);
  ~CloneCommands();
  CloneCommands(const CloneCommands&) = delete;
  CloneCommands& operator=(const CloneCommands&) = delete;

  // `done` is called once, when the command has ended (at once when it does not start).
  void cloneRead(Done done);
  void cloneWrite(Done done);
  void cloneInformation(Done done);

  bool firstPass() const { return firstPass_; }
  void clearFirstPass() { firstPass_ = false; }

 private:
  void identificationCheck(CloneResult& result);
  void readCheck(CloneResult& result);
  void finish(CloneOutcome::Kind kind, int status,
              VerifyReport::Kind verify = VerifyReport::kNotRun);
  bool identify(void (CloneCommands::*next)(CloneResult&));

  void readIdentified(CloneResult& result);
  void readDone(CloneResult& result);
  void writeIdentified(CloneResult& result);
  void writeDone(CloneResult& result);
  void verifyDone(CloneResult& result);
  void informationIdentified(CloneResult& result);

  QString appTitle();

  indCloneMan& manager_;
  CloneApplication& app_;
  Prompter& prompter_;
  cmcGTex& text_;
  Done done_;
  bool firstPass_ = false;
  bool confirmed_ = false;
  bool verifying_ = false;
  cmcEeprom written_;  // what the write sent, for the read-back's compare
  int rememberedDestination_ = 16;
  uint8_t rememberedOptions_ = 0;
};
