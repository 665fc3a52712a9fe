#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

#include "clone/clonecommands.h"

class Workspace;
class indEnviron;

// What only a front end can do around a clone command: its views, its title, its tree and its
// windows. The command-line tool leaves most of it empty.
class CloneFrontEnd {
 public:
  virtual ~CloneFrontEnd() = default;

  // The main window is shown (false during the initial set-up).
  virtual bool mainWindowShown() const { return true; }
  // Ends any cell editing (before a write reads the image).
  virtual void endCellEditing() {}
  // The save prompt of the File commands; false when the user cancelled or the save failed.
  virtual bool savePrompt() { return true; }
  virtual void refreshViews() {}
  virtual void updateTitle() {}
  // The setting check over the whole image; none: the session counts it itself.
  virtual std::optional<CloneApplication::SettingProblems> countSettingProblems() {
    return std::nullopt;
  }
  // A clone read's image has become the working image. `optionBitsBefore` is the option setting
  // before the command, `previousFile` the document's file before it.
  virtual void clonedImageTakenOver(uint8_t optionBitsBefore, const QString& previousFile) {
    (void)optionBitsBefore;
    (void)previousFile;
  }
  // The document was switched to another destination (its data conformed to it).
  virtual void destinationChanged() {}
  // A failed run put the destination or the option setting back as it was before.
  virtual void destinationRestored() {}
  // The marine option (radio option flag A) changed without a destination change.
  virtual void optionFlagAChanged() {}
  virtual void verifyFinished(const VerifyReport&) {}
  // Clone Information found the transceiver's destination equal to the program's.
  virtual void showCloneInformation() {}
  // The window raises the destination check as an event of its own; true when it has done so
  // (it then calls CloneSession::runDestinationCheck from its handler).
  virtual bool raiseDestinationCheck(int flags) {
    (void)flags;
    return false;
  }
};

// The application's answers to the clone commands and to the destination check, over the
// workspace and the settings: the same rules for the window, the command-line tool and the tests.
class CloneSession : public CloneApplication, public DestinationCheckHost {
 public:
  CloneSession(Workspace& workspace, indEnviron& settings, CloneFrontEnd& frontEnd);

  // A write is read back unless the front end says otherwise (empty: the stored setting).
  void setVerifyAfterWrite(std::optional<bool> verify) { verify_ = verify; }
  const QByteArray& cloneInformation() const { return info_; }
  void runDestinationCheck(int flags);

  // CloneApplication
  bool mainWindowShown() const override { return front_.mainWindowShown(); }
  void endCellEditing() override { front_.endCellEditing(); }
  cmcEeprom& workingImage() override;
  bool isModified() override;
  bool savePrompt() override { return front_.savePrompt(); }
  bool imageAcceptable(const cmcEeprom& image) override;
  void takeOverClonedImage(const cmcEeprom& image, uint8_t optionBitsBefore) override;
  void refreshViews() override { front_.refreshViews(); }
  void updateTitle() override { front_.updateTitle(); }
  SettingProblems countSettingProblems() override;
  void normaliseImage(cmcEeprom& image) override;
  void repairChannels(cmcEeprom& image) override;
  bool verifyAfterWrite() const override;
  void verifyFinished(const VerifyReport& report) override { front_.verifyFinished(report); }
  int destination() const override;
  uint8_t optionBits() const override;
  void restoreDestination(int code, uint8_t optionBits) override;
  void setCloneInformation(const QByteArray& info) override;
  void destinationCheck(int flags) override;
  void showCloneInformation() override { front_.showCloneInformation(); }

  // DestinationCheckHost
  int storedDestination() const override;
  uint8_t storedOptionBits() const override;
  void setStoredOptionBits(uint8_t bits) override;
  bool askChangeModel(bool promptOnly) override;
  void changeDestination(int code, bool confirmed) override;
  void optionFlagAChanged() override { front_.optionFlagAChanged(); }
  void applyFrequencyRanges() override {}

 private:
  Workspace& workspace_;
  indEnviron& settings_;
  CloneFrontEnd& front_;
  std::optional<bool> verify_;
  QByteArray info_;
};
