#include "session/CloneSession.h"

#include <algorithm>

#include "files/indEnviron.h"
#include "model/DestinationOptions.h"
#include "model/catalogue.h"
#include "model/destinations.h"
#include "model/document.h"
#include "session/Workspace.h"

CloneSession::CloneSession(Workspace& workspace, indEnviron& settings, CloneFrontEnd& frontEnd)
    : workspace_(workspace), settings_(settings), front_(frontEnd) {}

cmcEeprom& CloneSession::workingImage() { return workspace_.document().working(); }

bool CloneSession::isModified() { return workspace_.document().isModified(); }

bool CloneSession::imageAcceptable(const cmcEeprom& image) { return validateImage(image, true); }

void CloneSession::takeOverClonedImage(const cmcEeprom& image, uint8_t optionBitsBefore) {
  Document& document = workspace_.document();
  const QString previousFile = document.currentFile();
  document.takeOver(image, QString(), true);
  front_.clonedImageTakenOver(optionBitsBefore, previousFile);
}

CloneApplication::SettingProblems CloneSession::countSettingProblems() {
  if (const auto counted = front_.countSettingProblems()) return *counted;
  const WarningCheckResult r = runWarningCheck(workspace_.catalogue(), workspace_.text());
  return {r.errors, r.warnings, treePageNames(workspace_.text(), r.errorPages),
          treePageNames(workspace_.text(), r.warningPages)};
}

void CloneSession::normaliseImage(cmcEeprom& image) { workspace_.document().conform(image); }

void CloneSession::repairChannels(cmcEeprom& image) { workspace_.document().repair(image); }

bool CloneSession::verifyAfterWrite() const {
  return verify_.value_or(settings_.verifyAfterWrite());
}

int CloneSession::destination() const { return workspace_.document().destination(); }

uint8_t CloneSession::optionBits() const {
  return workspace_.document().options().optionBits();
}

void CloneSession::restoreDestination(int code, uint8_t bits) {
  Document& document = workspace_.document();
  const bool changed = code != document.destination() || bits != optionBits();
  if (code != document.destination()) document.setDestination(code);
  settings_.setDestinationCode(code);
  setStoredOptionBits(bits);
  // A run that failed after switching the destination: the views go back with it.
  if (changed) front_.destinationRestored();
}

void CloneSession::setCloneInformation(const QByteArray& info) {
  info_ = info;
  if (info.size() == CloneInfo::kSize) {
    CloneInfo ci;
    std::copy_n(reinterpret_cast<const uint8_t*>(info.constData()), CloneInfo::kSize,
                ci.bytes.begin());
    workspace_.document().setCloneInfo(ci);
  }
}

void CloneSession::destinationCheck(int flags) {
  if (!front_.raiseDestinationCheck(flags)) runDestinationCheck(flags);
}

void CloneSession::runDestinationCheck(int flags) { ::runDestinationCheck(*this, flags, info_); }

int CloneSession::storedDestination() const { return settings_.destinationCode(); }

// The radio option flags A..D of the settings are the marine, FM-narrow, receive-expansion and
// high-power bits of the clone information.
uint8_t CloneSession::storedOptionBits() const {
  return uint8_t((settings_.flagA() ? DestinationOptions::kMarineBit : 0) |
                 (settings_.flagB() ? DestinationOptions::kFmNarrowBit : 0) |
                 (settings_.flagC() ? DestinationOptions::kRxExpansionBit : 0) |
                 (settings_.flagD() ? DestinationOptions::kHighPowerBit : 0));
}

void CloneSession::setStoredOptionBits(uint8_t bits) {
  settings_.setFlags(bits & DestinationOptions::kMarineBit, bits & DestinationOptions::kFmNarrowBit,
                     bits & DestinationOptions::kRxExpansionBit,
                     bits & DestinationOptions::kHighPowerBit);
  workspace_.document().setOptionBits(bits);
}

bool CloneSession::askChangeModel(bool promptOnly) {
  if (!askChangeModelQuestion(workspace_.prompter(), workspace_.text())) return false;
  if (promptOnly) return true;
  if (!front_.savePrompt()) return false;
  Document& document = workspace_.document();
  if (!(document.isUntitled() && !document.isModified())) document.setModified();
  document.setCurrentFile(QString());
  document.clipboard().clear();
  return true;
}

void CloneSession::changeDestination(int code, bool confirmed) {
  settings_.setDestinationCode(code);
  Document& document = workspace_.document();
  document.changeDestination(document.working(), code, confirmed, front_.mainWindowShown());
  front_.destinationChanged();
}
