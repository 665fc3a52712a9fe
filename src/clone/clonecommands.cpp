#include "clone/clonecommands.h"

#include "base/prompter.h"
#include "base/textcodec.h"
#include "clone/cloneconfig.h"
#include "clone/indCloneMan.h"
#include "gtex/cmcGTex.h"
#include "model/cmcEeprom.h"

namespace {
constexpr char kAppTitle[] = "GI_Sys_AppTitle";
constexpr char kChangeModel[] = "GI_AppMess_ChangeModel";
constexpr char kDataError[] = "GI_Mess_DataError";
constexpr char kDataWarn[] = "GI_Mess_DataWarn";
constexpr char kConfirmWrite[] = "GI_Mess_Confirm_CloneWrite";
constexpr char kWriteSucceeded[] = "GI_Mess_CloneWrite_Succeeded";
constexpr char kVerifyIncomplete[] =
    "The clone write succeeded, but the verify could not be completed.";

constexpr int kOptionsByte = 19;

uint8_t optionBitsOf(const QByteArray& cloneInfo) {
  return cloneInfo.size() > kOptionsByte ? static_cast<uint8_t>(cloneInfo[kOptionsByte]) & 0x0F : 0;
}

// The message as written, then the pages it is about, so the user knows where to look.
QString withPages(QString message, const QString& label, const QString& pages) {
  if (pages.isEmpty()) return message;
  while (message.endsWith(QLatin1Char('\n'))) message.chop(1);
  return message + QStringLiteral("\n\n%1: %2").arg(label, pages);
}

}  // namespace

void runDestinationCheck(DestinationCheckHost& host, int flags, const QByteArray& cloneInfo) {
  const int theirs = cloneconfig::destinationOf(cloneInfo);
  const int ours = host.storedDestination();
  bool agreed = false;
  if (!host.mainWindowShown())
    agreed = true;
  else if ((flags & kUpdateDestination) && theirs != ours)
    agreed = host.askChangeModel((flags & kPromptOnly) != 0);

  bool flagAChanged = false;
  if ((flags & kAdoptOptionFlags) && (agreed || theirs == ours)) {
    const uint8_t before = host.storedOptionBits();
    const uint8_t after = optionBitsOf(cloneInfo);
    host.setStoredOptionBits(after);
    // Flag A is the marine option: it decides which pages the tree offers.
    flagAChanged = ((before ^ after) & 0x08) != 0;
  }
  if ((flags & kUpdateDestination) && agreed)
    host.changeDestination(theirs, (flags & kPromptOnly) == 0);
  else if (flagAChanged)
    host.optionFlagAChanged();
  if (host.storedDestination() <= 16) host.applyFrequencyRanges();
}

bool askChangeModelQuestion(Prompter& prompter, cmcGTex& text) {
  PromptMessage m;
  m.caption = fromCp932(text.getValue(kAppTitle));
  m.text = fromCp932(text.getSectionText(kChangeModel));
  m.buttons = PromptButtons::OkCancel;
  m.icon = PromptIcon::Warning;
  m.defaultAnswer = PromptAnswer::Cancel;
  return prompter.ask(m) == PromptAnswer::Ok;
}

CloneCommands::CloneCommands(indCloneMan& manager, CloneApplication& app, Prompter& prompter,
                             cmcGTex& text)
    : manager_(manager), app_(app), prompter_(prompter), text_(text) {
  manager_.SetHandlers([this](CloneResult& r) { identificationCheck(r); },
                       [this](CloneResult& r) { readCheck(r); });
}

CloneCommands::~CloneCommands() { manager_.SetHandlers(nullptr, nullptr); }

QString CloneCommands::appTitle() { return fromCp932(text_.getValue(kAppTitle)); }

void CloneCommands::identificationCheck(CloneResult& r) {
  if (r.status != kCloneOk) return;
  // The clone information is kept once model and sub code are right and its length is.
  if (r.modelCode == cloneconfig::kModelCode && r.subCode == cloneconfig::kTransceiverSubCode &&
      r.cloneInfo.size() == cloneconfig::kCloneInfoSize)
    app_.setCloneInformation(r.cloneInfo);
  const bool secondPass = !firstPass_ && app_.mainWindowShown();
  r.status = cloneconfig::checkIdentification(r, secondPass, app_.destination());
}

void CloneCommands::readCheck(CloneResult& r) {
  if (r.status == kCloneOk && !app_.imageAcceptable(r.image)) r.status = kCloneBadImage;
}

void CloneCommands::finish(CloneOutcome::Kind kind, int status, VerifyReport::Kind verify) {
  Done done = std::move(done_);
  done_ = nullptr;
  if (done) done(CloneOutcome{kind, status, verify});
}

bool CloneCommands::identify(void (CloneCommands::*next)(CloneResult&)) {
  manager_.SetCodes(kModelCode, kSubCode);
  return manager_.Identify([this, next](CloneResult& r) { (this->*next)(r); });
}

// --- Clone Read ---------------------------------------------------------------------------------

void CloneCommands::cloneRead(Done done) {
  if (app_.isModified() && !app_.savePrompt()) {
    if (done) done(CloneOutcome{CloneOutcome::kCancelled, kCloneOk});
    return;
  }
  if (manager_.IsBusy()) {
    if (done) done(CloneOutcome{CloneOutcome::kBusy, kCloneOk});
    return;
  }
  done_ = std::move(done);
  rememberedDestination_ = app_.destination();
  rememberedOptions_ = app_.optionBits();
  firstPass_ = true;
  confirmed_ = false;
  if (!identify(&CloneCommands::readIdentified)) finish(CloneOutcome::kBusy, kCloneOk);
}

void CloneCommands::readIdentified(CloneResult& r) {
  if (r.status != kCloneOk) {
    app_.restoreDestination(rememberedDestination_, rememberedOptions_);
    finish(CloneOutcome::kFailed, r.status);
    return;
  }
  if (firstPass_) {
    app_.destinationCheck(kReadFlags);
    if (cloneconfig::destinationOf(r.cloneInfo) != app_.destination()) {
      finish(CloneOutcome::kCancelled, kCloneOk);
      return;
    }
    firstPass_ = false;
    if (!identify(&CloneCommands::readIdentified)) finish(CloneOutcome::kBusy, kCloneOk);
    return;
  }
  manager_.SetImageSize(app_.workingImage().size());
  if (!manager_.ReadClone(cloneconfig::readRanges(), [this](CloneResult& res) { readDone(res); }))
    finish(CloneOutcome::kBusy, kCloneOk);
}

void CloneCommands::readDone(CloneResult& r) {
  if (r.status != kCloneOk) {
    app_.restoreDestination(rememberedDestination_, rememberedOptions_);
    finish(CloneOutcome::kFailed, r.status);
    return;
  }
  app_.takeOverClonedImage(r.image, rememberedOptions_);
  finish(CloneOutcome::kSucceeded, kCloneOk);
}

// --- Clone Write --------------------------------------------------------------------------------

void CloneCommands::cloneWrite(Done done) {
  app_.endCellEditing();
  if (manager_.IsBusy()) {
    if (done) done(CloneOutcome{CloneOutcome::kBusy, kCloneOk});
    return;
  }
  done_ = std::move(done);
  firstPass_ = true;
  confirmed_ = false;
  if (!identify(&CloneCommands::writeIdentified)) finish(CloneOutcome::kBusy, kCloneOk);
}

void CloneCommands::writeIdentified(CloneResult& r) {
  if (r.status != kCloneOk) {
    finish(CloneOutcome::kFailed, r.status);
    return;
  }
  if (firstPass_) {
    app_.destinationCheck(kWriteFlags);
    if (cloneconfig::destinationOf(r.cloneInfo) != app_.destination()) {
      finish(CloneOutcome::kCancelled, kCloneOk);
      return;
    }
    firstPass_ = false;
    if (!identify(&CloneCommands::writeIdentified)) finish(CloneOutcome::kBusy, kCloneOk);
    return;
  }

  app_.refreshViews();
  const CloneApplication::SettingProblems problems = app_.countSettingProblems();
  if (problems.errors > 0) {
    prompter_.inform(appTitle(), withPages(fromCp932(text_.getSectionText(kDataError)),
                                           QStringLiteral("Pages with errors"), problems.errorPages),
                     PromptIcon::Error);
    finish(CloneOutcome::kSettingErrors, kCloneOk);
    return;
  }
  if (confirmed_) {
    confirmed_ = false;
    cmcEeprom& working = app_.workingImage();
    manager_.SetImageSize(working.size());
    // The normalisation stays in the document whatever the write's outcome; the repair only
    // touches what is sent.
    app_.normaliseImage(working);
    cmcEeprom copy;
    copy.assign(working);
    app_.repairChannels(copy);
    verifying_ = app_.verifyAfterWrite();
    if (verifying_) written_.assign(copy);
    if (!manager_.WriteClone(copy, cloneconfig::writeRanges(),
                             [this](CloneResult& res) { writeDone(res); },
                             verifying_ ? &cloneconfig::readRanges() : nullptr))
      finish(CloneOutcome::kBusy, kCloneOk);
    return;
  }
  // Cancel is the default: an answer nobody gave (a script, a closed input) never writes.
  const char* key = problems.warnings > 0 ? kDataWarn : kConfirmWrite;
  QString questionText = fromCp932(text_.getSectionText(key));
  if (problems.warnings > 0)
    questionText = withPages(questionText, QStringLiteral("Pages with warnings"),
                             problems.warningPages);
  const PromptMessage question{appTitle(), questionText, PromptButtons::OkCancel,
                               PromptIcon::Warning, PromptAnswer::Cancel};
  if (prompter_.ask(question) != PromptAnswer::Ok) {
    finish(CloneOutcome::kCancelled, kCloneOk);
    return;
  }
  confirmed_ = true;
  if (!identify(&CloneCommands::writeIdentified)) finish(CloneOutcome::kBusy, kCloneOk);
}

void CloneCommands::writeDone(CloneResult& r) {
  if (r.status != kCloneOk) {
    finish(CloneOutcome::kFailed, r.status);
    return;
  }
  app_.updateTitle();
  if (verifying_) {
    // Read back at once, at the same port and speeds, without identifying again.
    manager_.SetImageSize(written_.size());
    if (manager_.ReadBack(cloneconfig::readRanges(), [this](CloneResult& res) { verifyDone(res); }))
      return;
    verifying_ = false;
    prompter_.inform(appTitle(), QStringLiteral("%1\n\n%2").arg(QLatin1String(kVerifyIncomplete),
                                                                 manager_.MessageFor(kCloneNoAnswer)),
                     PromptIcon::Warning);
    finish(CloneOutcome::kSucceeded, kCloneOk, VerifyReport::kFailed);
    return;
  }
  prompter_.inform(appTitle(), fromCp932(text_.getSectionText(kWriteSucceeded)),
                   PromptIcon::Information);
  finish(CloneOutcome::kSucceeded, kCloneOk);
}

void CloneCommands::verifyDone(CloneResult& r) {
  verifying_ = false;
  VerifyReport report;
  report.written.assign(written_);
  written_ = cmcEeprom();
  if (r.status != kCloneOk) {
    report.kind = VerifyReport::kFailed;
    report.status = r.status;
    prompter_.inform(appTitle(),
                     QStringLiteral("%1\n\n%2").arg(QLatin1String(kVerifyIncomplete),
                                                     manager_.MessageFor(r.status)),
                     PromptIcon::Warning);
    app_.verifyFinished(report);
    finish(CloneOutcome::kSucceeded, kCloneOk, report.kind);
    return;
  }
  // Only what was written is compared: the gaps between the ranges keep the transceiver's own
  // bytes.
  report.readBack.assign(report.written);
  const AddressRanges& ranges = cloneconfig::writeRanges();
  const int count = rangeListCount(ranges);
  for (int i = 0; i < count; ++i) {
    const AddressRange& range = ranges[static_cast<size_t>(i)];
    for (int a = range.first; a <= range.last; ++a) {
      if (a >= r.image.size() || a >= report.written.size()) break;
      const uint8_t back = r.image.getByte(a);
      if (back == report.written.getByte(a)) continue;
      report.readBack.setByte(a, back);
      report.differingAddresses.push_back(a);
    }
  }
  report.kind = report.differingAddresses.empty() ? VerifyReport::kEqual : VerifyReport::kDifferent;
  app_.verifyFinished(report);
  if (report.kind == VerifyReport::kEqual)
    prompter_.inform(appTitle(), fromCp932(text_.getSectionText(kWriteSucceeded)),
                     PromptIcon::Information);
  finish(CloneOutcome::kSucceeded, kCloneOk, report.kind);
}

// --- Clone Information --------------------------------------------------------------------------

void CloneCommands::cloneInformation(Done done) {
  if (manager_.IsBusy()) {
    if (done) done(CloneOutcome{CloneOutcome::kBusy, kCloneOk});
    return;
  }
  done_ = std::move(done);
  firstPass_ = true;
  if (!identify(&CloneCommands::informationIdentified)) finish(CloneOutcome::kBusy, kCloneOk);
}

void CloneCommands::informationIdentified(CloneResult& r) {
  if (r.status != kCloneOk) {
    finish(CloneOutcome::kFailed, r.status);
    return;
  }
  app_.destinationCheck(kInformationFlags);
  firstPass_ = false;
  if (app_.mainWindowShown() && cloneconfig::destinationOf(r.cloneInfo) == app_.destination()) {
    app_.showCloneInformation();
    finish(CloneOutcome::kSucceeded, kCloneOk);
    return;
  }
  // A different destination the user kept: nothing is shown.
  finish(app_.mainWindowShown() ? CloneOutcome::kCancelled : CloneOutcome::kSucceeded, kCloneOk);
}
