#include <gtest/gtest.h>

#include "clone/clonecommands.h"
#include "cloneman_rig.h"
#include "model/destinations.h"

namespace {

// The application side of the clone commands, recording what the commands ask of it. Its
// destination check is the real one.
struct FakeApp : CloneApplication, DestinationCheckHost {
  Prompter& prompter;
  cmcGTex& text;
  cmcEeprom working{0x3000};
  bool visible = true;
  bool modified = false;
  bool savePromptAnswer = true;
  int savePrompts = 0;
  int dest = 0;
  uint8_t options = 0;
  QByteArray info;
  std::vector<int> checks;                    // flags of every destination check
  std::vector<std::pair<int, bool>> changes;  // changeDestination(code, confirmed)
  std::vector<std::pair<int, uint8_t>> restores;
  SettingProblems problems;
  int takeOvers = 0;
  int shown = 0;
  int titleUpdates = 0;
  int editsEnded = 0;
  int flagAChanges = 0;
  bool verify = false;
  std::vector<VerifyReport> reports;

  FakeApp(Prompter& p, cmcGTex& t) : prompter(p), text(t) {}

  // CloneApplication
  bool mainWindowShown() const override { return visible; }
  void endCellEditing() override { ++editsEnded; }
  cmcEeprom& workingImage() override { return working; }
  bool isModified() override { return modified; }
  bool savePrompt() override {
    ++savePrompts;
    return savePromptAnswer;
  }
  bool imageAcceptable(const cmcEeprom& image) override { return validateImage(image, true); }
  void takeOverClonedImage(const cmcEeprom& image, uint8_t) override {
    working.assign(image);
    modified = true;
    ++takeOvers;
  }
  void refreshViews() override {}
  void updateTitle() override { ++titleUpdates; }
  SettingProblems countSettingProblems() override { return problems; }
  // Marks that show which image was normalised and which repaired.
  void normaliseImage(cmcEeprom& image) override { image.setByte(0x0100, 0xAA); }
  void repairChannels(cmcEeprom& image) override { image.setByte(0x0101, 0xBB); }
  bool verifyAfterWrite() const override { return verify; }
  void verifyFinished(const VerifyReport& report) override {
    reports.emplace_back();
    VerifyReport& r = reports.back();
    r.kind = report.kind;
    r.status = report.status;
    r.differingAddresses = report.differingAddresses;
    r.written.assign(report.written);
    r.readBack.assign(report.readBack);
  }
  int destination() const override { return dest; }
  uint8_t optionBits() const override { return options; }
  void restoreDestination(int code, uint8_t bits) override {
    restores.emplace_back(code, bits);
    dest = code;
    options = bits;
  }
  void setCloneInformation(const QByteArray& i) override { info = i; }
  void destinationCheck(int flags) override {
    checks.push_back(flags);
    runDestinationCheck(*this, flags, info);
  }
  void showCloneInformation() override { ++shown; }

  // DestinationCheckHost
  int storedDestination() const override { return dest; }
  uint8_t storedOptionBits() const override { return options; }
  void setStoredOptionBits(uint8_t bits) override { options = bits; }
  bool askChangeModel(bool) override { return askChangeModelQuestion(prompter, text); }
  void changeDestination(int code, bool confirmed) override {
    changes.emplace_back(code, confirmed);
    dest = code;
  }
  void optionFlagAChanged() override { ++flagAChanges; }
  void applyFrequencyRanges() override {}
};

struct CommandRig : CloneManRig {
  FakeApp app{prompter, text};
  CloneCommands commands{man, app, prompter, text};
  std::optional<CloneOutcome> outcome;
  int outcomes = 0;

  CloneCommands::Done done() {
    return [this](const CloneOutcome& o) {
      ++outcomes;
      outcome = o;
    };
  }
  CloneOutcome::Kind kind() const { return outcome ? outcome->kind : CloneOutcome::Kind(-1); }
};

const QString kChangeModel = QStringLiteral(
    "Settings don't match with transceiver's version.\nSome settings will be changed to suit to "
    "the transceiver.\n"
    "Are you sure?");
const QString kConfirmWrite = QStringLiteral("Write to transceiver. Are you sure?");

cmcEeprom patternedMemory() {
  cmcEeprom m = SimulatedTransceiver::blankMemory();
  for (int a = 0; a < 0x1880; ++a) m.setByte(a, static_cast<uint8_t>(a * 13 + 1));
  return m;
}

}  // namespace

TEST(CloneRead, TakesTheTransceiversMemoryOverAfterTwoIdentifications) {
  CommandRig rig;
  SimulatedTransceiver& sim =
      rig.connect({.identifySpeeds = {9600}, .destination = 0, .options = 0x09});
  sim.memory().assign(patternedMemory());
  rig.commands.cloneRead(rig.done());
  rig.run();
  rig.run();
  rig.run();
  ASSERT_EQ(rig.outcomes, 1);
  EXPECT_EQ(rig.kind(), CloneOutcome::kSucceeded);
  EXPECT_EQ(sim.stats().identifications, 2);
  EXPECT_EQ(sim.stats().reads, 1);
  EXPECT_EQ(rig.app.takeOvers, 1);
  EXPECT_TRUE(rig.app.modified);
  for (int a = 0; a < SimulatedTransceiver::kMemorySize; ++a)
    ASSERT_EQ(rig.app.working.getByte(a), sim.memory().getByte(a)) << a;
  EXPECT_EQ(rig.app.checks, std::vector<int>{13});
  EXPECT_EQ(rig.app.options, 0x09);  // same destination: the transceiver's options are adopted
  EXPECT_TRUE(rig.app.changes.empty());
  EXPECT_TRUE(rig.prompter.log().empty());
  EXPECT_FALSE(rig.commands.firstPass());
}

TEST(CloneRead, AnotherDestinationIsAskedAboutFirst) {
  for (PromptAnswer answer : {PromptAnswer::Cancel, PromptAnswer::Ok}) {
    SCOPED_TRACE(answer == PromptAnswer::Ok ? "OK" : "Cancel");
    CommandRig rig;
    rig.app.dest = 4;
    SimulatedTransceiver& sim =
        rig.connect({.identifySpeeds = {9600}, .destination = 0, .options = 0x02});
    rig.prompter.push(answer);
    rig.commands.cloneRead(rig.done());
    for (int i = 0; i < 3; ++i) rig.run();
    ASSERT_EQ(rig.outcomes, 1);
    ASSERT_EQ(rig.prompter.log().size(), 1u);
    const PromptMessage& q = rig.prompter.log()[0].message;
    EXPECT_EQ(q.text, kChangeModel);
    EXPECT_EQ(q.buttons, PromptButtons::OkCancel);
    EXPECT_EQ(q.defaultAnswer, PromptAnswer::Cancel);
    EXPECT_EQ(q.icon, PromptIcon::Warning);
    if (answer == PromptAnswer::Cancel) {
      EXPECT_EQ(rig.kind(), CloneOutcome::kCancelled);
      EXPECT_EQ(sim.stats().identifications, 1);
      EXPECT_EQ(sim.stats().reads, 0);
      EXPECT_EQ(rig.app.dest, 4);
      EXPECT_EQ(rig.app.options, 0);  // different destination kept: options not adopted
      EXPECT_EQ(rig.app.takeOvers, 0);
    } else {
      EXPECT_EQ(rig.kind(), CloneOutcome::kSucceeded);
      // Prompt only: the destination changes, the document is not conformed yet.
      EXPECT_EQ(rig.app.changes, (std::vector<std::pair<int, bool>>{{0, false}}));
      EXPECT_EQ(rig.app.options, 0x02);
      EXPECT_EQ(sim.stats().reads, 1);
      EXPECT_EQ(rig.app.takeOvers, 1);
    }
  }
}

TEST(CloneRead, FailuresLeaveTheImageAndPutTheDestinationBack) {
  const struct {
    const char* name;
    SimulatedTransceiver::Faults faults;
    int status;
  } cases[] = {
      {"silence mid-read", {.silenceAfterFrame = 40}, kCloneNoAnswer},
      {"bad checksum", {.badChecksumFrame = 3}, kCloneIllegalData},
      {"frame dropped", {.dropFrame = 5}, kCloneNotEnoughData},
      {"count off by one", {.badCount = true}, kCloneCountError},
      {"another destination at the second identification",
       {.otherDestination = true},
       kCloneVersionMismatch},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CommandRig rig;
    rig.app.dest = 3;
    rig.app.working.fill(0x77);
    rig.connect({.identifySpeeds = {9600}, .destination = 0, .faults = c.faults});
    rig.prompter.push(PromptAnswer::Ok);  // switch to the transceiver's destination
    rig.commands.cloneRead(rig.done());
    for (int i = 0; i < 3; ++i) rig.run();
    ASSERT_EQ(rig.outcomes, 1);
    EXPECT_EQ(rig.kind(), CloneOutcome::kFailed);
    EXPECT_EQ(rig.outcome->status, c.status);
    EXPECT_EQ(rig.prompter.texts().last(), rig.man.MessageFor(c.status));
    // Silence after the transfer began is told apart from no transceiver at all.
    EXPECT_EQ(rig.prompter.texts().last().contains("stopped answering after"),
              c.status == kCloneNoAnswer);
    EXPECT_EQ(rig.app.takeOvers, 0);
    for (int a = 0; a < 0x3000; a += 97) ASSERT_EQ(rig.app.working.getByte(a), 0x77);
    EXPECT_EQ(rig.app.restores, (std::vector<std::pair<int, uint8_t>>{{3, 0}}));
    EXPECT_EQ(rig.app.dest, 3);
  }
}

TEST(CloneRead, ImageThatFailsTheFileCheckIsRefused) {
  CommandRig rig;
  SimulatedTransceiver& sim = rig.connect({.identifySpeeds = {9600}});
  sim.memory().setByte(0x1880, 0);  // format byte
  rig.commands.cloneRead(rig.done());
  for (int i = 0; i < 3; ++i) rig.run();
  EXPECT_EQ(rig.kind(), CloneOutcome::kFailed);
  EXPECT_EQ(rig.outcome->status, kCloneBadImage);
  EXPECT_TRUE(rig.prompter.texts().last().startsWith(QStringLiteral("Illegal data.\n\n")));
  EXPECT_EQ(rig.app.takeOvers, 0);
}

TEST(CloneRead, UnsavedChangesAreOfferedForSavingFirst) {
  CommandRig rig;
  SimulatedTransceiver& sim = rig.connect({.identifySpeeds = {9600}});
  rig.app.modified = true;
  rig.app.savePromptAnswer = false;
  rig.commands.cloneRead(rig.done());
  EXPECT_EQ(rig.kind(), CloneOutcome::kCancelled);
  EXPECT_FALSE(rig.man.IsBusy());
  EXPECT_EQ(rig.app.savePrompts, 1);
  rig.run();
  EXPECT_EQ(sim.stats().identifications, 0);
}

TEST(CloneWrite, ConfirmedWriteSendsTheNormalisedRepairedCopy) {
  CommandRig rig;
  SimulatedTransceiver& sim = rig.connect({.identifySpeeds = {9600}, .destination = 0});
  cmcEeprom image(0x3000);
  image.writeBlock(0, patternedMemory().data(), SimulatedTransceiver::kMemorySize);
  image.setByte(0x0CF5, 0x42);  // in a gap: never written
  rig.app.working.assign(image);
  const cmcEeprom before = sim.memory();
  rig.prompter.push(PromptAnswer::Ok);
  rig.commands.cloneWrite(rig.done());
  for (int i = 0; i < 4; ++i) rig.run();
  ASSERT_EQ(rig.outcomes, 1);
  EXPECT_EQ(rig.kind(), CloneOutcome::kSucceeded);
  EXPECT_EQ(sim.stats().identifications, 3);
  EXPECT_EQ(sim.stats().writesAccepted, 1);
  EXPECT_EQ(rig.app.editsEnded, 1);
  EXPECT_EQ(rig.app.checks, std::vector<int>{5});
  ASSERT_EQ(rig.prompter.log().size(), 2u);
  EXPECT_EQ(rig.prompter.log()[0].message.text, kConfirmWrite);
  EXPECT_EQ(rig.prompter.log()[0].message.defaultAnswer, PromptAnswer::Cancel);
  EXPECT_EQ(rig.prompter.log()[0].message.icon, PromptIcon::Warning);
  EXPECT_EQ(rig.prompter.log()[1].message.text,
            QStringLiteral("Cloning is succeeded.\n\nTurn the transceiver power off and on to use\n"
                           "the transceiver under its new conditions."));
  EXPECT_EQ(rig.prompter.log()[1].message.icon, PromptIcon::Information);
  EXPECT_EQ(rig.app.titleUpdates, 1);

  // The document keeps the normalisation, not the repair; the transceiver got both.
  EXPECT_EQ(rig.app.working.getByte(0x0100), 0xAA);
  EXPECT_NE(rig.app.working.getByte(0x0101), 0xBB);
  EXPECT_EQ(sim.memory().getByte(0x0100), 0xAA);
  EXPECT_EQ(sim.memory().getByte(0x0101), 0xBB);
  EXPECT_EQ(sim.memory().getByte(0x0CF5), before.getByte(0x0CF5));
  EXPECT_EQ(sim.memory().getByte(0x0200), rig.app.working.getByte(0x0200));
}

TEST(CloneWrite, StopsBeforeSendingOnCancelOrSettingErrors) {
  {
    CommandRig rig;
    SimulatedTransceiver& sim = rig.connect({.identifySpeeds = {9600}});
    rig.prompter.push(PromptAnswer::Cancel);
    rig.commands.cloneWrite(rig.done());
    for (int i = 0; i < 4; ++i) rig.run();
    EXPECT_EQ(rig.kind(), CloneOutcome::kCancelled);
    EXPECT_EQ(rig.prompter.texts(), QStringList{kConfirmWrite});  // no further message
    EXPECT_EQ(sim.stats().identifications, 2);
    EXPECT_EQ(sim.stats().writesAccepted + sim.stats().writesRejected, 0);
    EXPECT_NE(rig.app.working.getByte(0x0100), 0xAA);  // not even normalised
  }
  {
    CommandRig rig;
    SimulatedTransceiver& sim = rig.connect({.identifySpeeds = {9600}});
    rig.app.problems = {.errors = 1, .warnings = 3};
    rig.commands.cloneWrite(rig.done());
    for (int i = 0; i < 4; ++i) rig.run();
    EXPECT_EQ(rig.kind(), CloneOutcome::kSettingErrors);
    ASSERT_EQ(rig.prompter.log().size(), 1u);
    EXPECT_EQ(
        rig.prompter.log()[0].message.text,
        QStringLiteral("Setting error is found.\nCheck the items that 'x' mark is displayed."));
    EXPECT_EQ(rig.prompter.log()[0].message.icon, PromptIcon::Error);
    EXPECT_EQ(sim.stats().identifications, 2);
  }
  {
    // Warnings change the question, not the outcome.
    CommandRig rig;
    SimulatedTransceiver& sim = rig.connect({.identifySpeeds = {9600}});
    rig.app.problems = {
        .errors = 0, .warnings = 2, .warningPages = "Memory CH > 0 - 99, Common Setting"};
    rig.prompter.push(PromptAnswer::Ok);
    rig.commands.cloneWrite(rig.done());
    for (int i = 0; i < 4; ++i) rig.run();
    EXPECT_EQ(rig.kind(), CloneOutcome::kSucceeded);
    // The specified text first, then where to look.
    EXPECT_EQ(rig.prompter.texts().first(),
              QStringLiteral("Setting warning is found.\nWrite to transceiver. Are you sure?\n\n"
                             "Pages with warnings: Memory CH > 0 - 99, Common Setting"));
    EXPECT_EQ(sim.stats().writesAccepted, 1);
  }
}

TEST(CloneWrite, RejectedWriteKeepsOnlyTheNormalisation) {
  CommandRig rig;
  rig.connect({.identifySpeeds = {9600}, .faults = {.writeFail = true}});
  rig.prompter.push(PromptAnswer::Ok);
  rig.commands.cloneWrite(rig.done());
  for (int i = 0; i < 4; ++i) rig.run();
  EXPECT_EQ(rig.kind(), CloneOutcome::kFailed);
  EXPECT_EQ(rig.outcome->status, kCloneWriteFailed);
  EXPECT_EQ(rig.prompter.texts(),
            (QStringList{kConfirmWrite,
                         "Cannot write cloning data.\n\nCheck the following:\n - Cloning cable "
                         "connections.\n - transceiver power is ON."}));
  EXPECT_EQ(rig.app.working.getByte(0x0100), 0xAA);
  EXPECT_NE(rig.app.working.getByte(0x0101), 0xBB);
  EXPECT_EQ(rig.app.titleUpdates, 0);
}

// The read-back after a write: no further identification, the progress over both transfers with
// the clone events once at the end, and a compare of the written bytes only.
TEST(CloneWrite, VerifyReadsBackAndComparesWhatWasWritten) {
  const QString kSucceeded = QStringLiteral(
      "Cloning is succeeded.\n\nTurn the transceiver power off and on to use\n"
      "the transceiver under its new conditions.");
  for (const int weak : {-1, 0x0123}) {
    SCOPED_TRACE(weak);
    CommandRig rig;
    rig.app.verify = true;
    SimulatedTransceiver& sim =
        rig.connect({.identifySpeeds = {9600}, .faults = {.changeAfterWrite = weak}});
    cmcEeprom image(0x3000);
    image.writeBlock(0, patternedMemory().data(), SimulatedTransceiver::kMemorySize);
    rig.app.working.assign(image);
    // The gaps keep the transceiver's bytes; they never count as a difference.
    sim.memory().setByte(0x0CF5, 0x42);
    int lastTransferred = 0;
    rig.man.SetProgress([&](int done, int total) {
      EXPECT_EQ(total, 6265 + 6304);
      EXPECT_GE(done, lastTransferred);
      lastTransferred = done;
    });
    rig.prompter.push(PromptAnswer::Ok);
    rig.commands.cloneWrite(rig.done());
    for (int i = 0; i < 5; ++i) rig.run();
    ASSERT_EQ(rig.outcomes, 1);
    EXPECT_EQ(rig.kind(), CloneOutcome::kSucceeded);
    EXPECT_EQ(sim.stats().identifications, 3);
    EXPECT_EQ(sim.stats().writesAccepted, 1);
    EXPECT_EQ(sim.stats().reads, 1);
    EXPECT_EQ(lastTransferred, 6265 + 6304);
    // One started event per identification; the write's end sends nothing, the read-back's once.
    std::vector<std::pair<int, intptr_t>> ends;
    for (const auto& e : rig.events)
      if (e.first != 41) ends.push_back(e);
    EXPECT_EQ(ends.size(), 3 * 2 + 2u);
    EXPECT_EQ(ends.back(), (std::pair<int, intptr_t>{42, 1}));
    ASSERT_EQ(rig.app.reports.size(), 1u);
    const VerifyReport& r = rig.app.reports[0];
    if (weak < 0) {
      EXPECT_EQ(rig.outcome->verify, VerifyReport::kEqual);
      EXPECT_EQ(r.kind, VerifyReport::kEqual);
      EXPECT_EQ(rig.prompter.texts(), (QStringList{kConfirmWrite, kSucceeded}));
    } else {
      EXPECT_EQ(rig.outcome->verify, VerifyReport::kDifferent);
      EXPECT_EQ(r.differingAddresses, std::vector<int>{weak});
      EXPECT_EQ(r.readBack.getByte(weak), r.written.getByte(weak) ^ 0x01);
      EXPECT_EQ(rig.prompter.texts(), QStringList{kConfirmWrite});  // the application reports
    }
    // The document is never changed by the verify (the normalisation is the write's).
    image.setByte(0x0100, 0xAA);
    EXPECT_TRUE(rig.app.working.equals(image));
  }
}

TEST(CloneWrite, FailedReadBackSaysTheWriteSucceeded) {
  CommandRig rig;
  rig.app.verify = true;
  SimulatedTransceiver& sim =
      rig.connect({.identifySpeeds = {9600}, .faults = {.silenceAfterFrame = 20}});
  rig.prompter.push(PromptAnswer::Ok);
  rig.commands.cloneWrite(rig.done());
  for (int i = 0; i < 5; ++i) rig.run();
  ASSERT_EQ(rig.outcomes, 1);
  EXPECT_EQ(rig.kind(), CloneOutcome::kSucceeded);
  EXPECT_EQ(rig.outcome->verify, VerifyReport::kFailed);
  EXPECT_EQ(sim.stats().writesAccepted, 1);
  ASSERT_EQ(rig.prompter.log().size(), 2u);
  EXPECT_EQ(rig.prompter.log()[1].message.text,
            "The clone write succeeded, but the verify could not be completed.\n\n" +
                rig.man.MessageFor(kCloneNoAnswer));
  EXPECT_EQ(rig.prompter.log()[1].message.icon, PromptIcon::Warning);
  ASSERT_EQ(rig.app.reports.size(), 1u);
  EXPECT_EQ(rig.app.reports[0].status, kCloneNoAnswer);
}

TEST(CloneInformation, ShownWhenTheDestinationsAgree) {
  {
    CommandRig rig;
    rig.connect({.identifySpeeds = {9600}, .destination = 0, .options = 0x0F});
    rig.commands.cloneInformation(rig.done());
    rig.run();
    EXPECT_EQ(rig.kind(), CloneOutcome::kSucceeded);
    EXPECT_EQ(rig.app.shown, 1);
    EXPECT_EQ(rig.app.info.size(), 42);
    EXPECT_EQ(rig.app.options, 0x0F);
    EXPECT_EQ(rig.app.checks, std::vector<int>{5});
    EXPECT_FALSE(rig.commands.firstPass());
  }
  {
    // Another destination: the question is not prompt-only; declined, nothing is shown.
    CommandRig rig;
    rig.app.dest = 16;
    rig.connect({.identifySpeeds = {9600}, .destination = 2});
    rig.commands.cloneInformation(rig.done());
    rig.run();
    EXPECT_EQ(rig.kind(), CloneOutcome::kCancelled);
    EXPECT_EQ(rig.prompter.texts(), QStringList{kChangeModel});
    EXPECT_EQ(rig.app.shown, 0);
    EXPECT_EQ(rig.app.dest, 16);
  }
}

TEST(DestinationCheck, FlagsVisibilityAndAnswer) {
  struct Host : DestinationCheckHost {
    bool visible = true;
    int dest = 4;
    uint8_t bits = 0;
    bool answer = false;
    std::vector<bool> asked;  // promptOnly of each question
    std::vector<std::pair<int, bool>> changes;
    int flagA = 0;
    bool mainWindowShown() const override { return visible; }
    int storedDestination() const override { return dest; }
    uint8_t storedOptionBits() const override { return bits; }
    void setStoredOptionBits(uint8_t b) override { bits = b; }
    bool askChangeModel(bool promptOnly) override {
      asked.push_back(promptOnly);
      return answer;
    }
    void changeDestination(int code, bool confirmed) override {
      changes.emplace_back(code, confirmed);
      dest = code;
    }
    void optionFlagAChanged() override { ++flagA; }
    void applyFrequencyRanges() override {}
  };
  QByteArray info(42, 0);
  info[18] = char(0xA0 | 2);  // destination 2 under opaque high bits
  info[19] = char(0x50 | 0x09);

  const struct {
    const char* name;
    int flags;
    bool visible;
    int stored;
    bool answer;
    std::vector<bool> asked;
    uint8_t bits;
    std::vector<std::pair<int, bool>> changes;
    int flagA;
  } cases[] = {
      {"read, other, declined", 13, true, 4, false, {true}, 0, {}, 0},
      {"read, other, agreed", 13, true, 4, true, {true}, 0x09, {{2, false}}, 0},
      {"write, other, agreed", 5, true, 4, true, {false}, 0x09, {{2, true}}, 0},
      {"same destination", 13, true, 2, false, {}, 0x09, {}, 1},
      {"set-up: no question", 5, false, 16, false, {}, 0x09, {{2, true}}, 0},
      {"options only", 1, true, 4, false, {}, 0, {}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Host h;
    h.visible = c.visible;
    h.dest = c.stored;
    h.answer = c.answer;
    runDestinationCheck(h, c.flags, info);
    EXPECT_EQ(h.asked, c.asked);
    EXPECT_EQ(h.bits, c.bits);
    EXPECT_EQ(h.changes, c.changes);
    EXPECT_EQ(h.flagA, c.flagA);
  }
}
