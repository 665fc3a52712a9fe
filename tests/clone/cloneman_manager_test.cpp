#include <gtest/gtest.h>

#include "clone/PortList.h"
#include "cloneman_rig.h"

namespace {
const QString kCheckCable = QStringLiteral(" - Cloning cable connections.");
const QString kCheckPower = QStringLiteral(" - transceiver power is ON.");
const QString kCheckPort = QStringLiteral(" - The COM port settings.");
const QString kCheckHead = QStringLiteral("Check the following:");
const QString kCheckSoftware =
    QStringLiteral(" - Appropriate cloning software for the transceiver is being used.");
const QString kCheckRevision = QStringLiteral(" - The revision number of the transceiver.");

QString joined(std::initializer_list<QString> lines) {
  return QStringList(lines).join(QLatin1Char('\n'));
}

QByteArray bytes(std::initializer_list<int> list) {
  QByteArray out;
  for (int b : list) out.append(static_cast<char>(b));
  return out;
}

// The application's identification check as the clone commands install it.
indCloneMan::Handler acceptingHandler(int destination) {
  return [destination](CloneResult& r) {
    if (r.status == kCloneOk) r.status = cloneconfig::checkIdentification(r, false, destination);
  };
}
}  // namespace

TEST(CloneManager, MessageOfEveryKindOfStatus) {
  const QString fourChecks = joined({kCheckHead, kCheckPort, kCheckCable, kCheckPower});
  const struct {
    int status;
    QString text;
  } cases[] = {
      {0, QString()},
      {2, "Cannot access " + portlist::comNumberText(3) + ".\n\n" + fourChecks},
      {4, "Cannot access COM port.\n\n" + fourChecks},
      {5, "No answer from transceiver.\n\n" + fourChecks},
      {8, "There is not enough data.\n\n" + fourChecks},
      {10, "Cannot write cloning data.\n\n" + joined({kCheckHead, kCheckCable, kCheckPower})},
      {11, "Illegal information.\n\n" + joined({kCheckHead, kCheckPort, kCheckCable, kCheckPower,
                                                kCheckSoftware, kCheckRevision})},
      {12, "Illegal information.\n\n" + joined({kCheckHead, kCheckPort, kCheckCable, kCheckPower,
                                                kCheckSoftware, kCheckRevision})},
      {13,
       "Transceiver version does not match.\n\nThe transceiver cannot be programmed with the "
       "current setting."},
      {14, "Connected transceiver is not compatible model.\n\n" +
               joined({kCheckHead, kCheckSoftware, kCheckRevision})},
      {15, "Illegal data.\n\n" + fourChecks},
      {16, "Please update to the latest version.\n\n"},
      {17, "Cannot Clone.\n\n" + fourChecks},
      {99, "Cannot Clone.\n\n" + fourChecks},  // unknown statuses still say something
  };
  CloneManRig rig;
  rig.env.setComPort(3);
  for (const auto& c : cases) EXPECT_EQ(rig.man.MessageFor(c.status), c.text) << c.status;

  // A port named by its device path is named in the message instead of the number.
  rig.man.SetPortName(QStringLiteral("/dev/ttyUSB9"));
  EXPECT_TRUE(
      rig.man.MessageFor(2).startsWith(QStringLiteral("Cannot access COM /dev/ttyUSB9.\n\n")));
}

TEST(CloneManager, PortThatCannotOpenIsReportedOnceWithItsNumber) {
  CloneManRig rig;
  rig.env.setComPort(3);
  rig.fake->failOpen = true;
  rig.man.SetHandlers(acceptingHandler(0), nullptr);
  int completions = 0;
  int status = -1;
  ASSERT_TRUE(rig.man.Identify([&](CloneResult& r) {
    ++completions;
    status = r.status;
    // The message came first.
    EXPECT_EQ(rig.prompter.log().size(), 1u);
  }));
  rig.run();
  EXPECT_EQ(completions, 1);
  EXPECT_EQ(status, kClonePortError);
  ASSERT_FALSE(rig.fake->opens.empty());
  EXPECT_EQ(rig.fake->opens[0].name, cmcComm::DeviceNameForPort(3));
  ASSERT_EQ(rig.prompter.log().size(), 1u);
  const PromptMessage& m = rig.prompter.log()[0].message;
  EXPECT_EQ(m.caption, QStringLiteral("Kestrin"));
  EXPECT_EQ(m.icon, PromptIcon::Error);
  EXPECT_EQ(m.buttons, PromptButtons::Ok);
  EXPECT_EQ(m.text, rig.man.MessageFor(kClonePortError));
  // Where COM numbers are not device names, the device the number means follows it.
  EXPECT_TRUE(m.text.startsWith(QStringLiteral("Cannot access COM 3%1.\n\nCheck the following:")
                                    .arg(cmcComm::DeviceNameForPort(3) == "COM3"
                                             ? QString()
                                             : " (" + cmcComm::DeviceNameForPort(3) + ")")))
      << m.text.toStdString();
  // The reason follows, naming the device, so that a missing permission is told apart.
  EXPECT_TRUE(m.text.endsWith(QStringLiteral("\n\nSerial device %1 was not found.").arg(cmcComm::DeviceNameForPort(3))))
      << m.text.toStdString();
  const std::vector<std::pair<int, intptr_t>> expected{{41, 0}, {43, 0}, {42, 0}};
  EXPECT_EQ(rig.events, expected);
}

TEST(CloneManager, SpeedSearchKeepsTheRowThatAnsweredInTheSettings) {
  {
    CloneManRig rig;
    rig.env.setTransType(2);
    rig.connect({.identifySpeeds = {4800}});
    rig.man.SetHandlers(acceptingHandler(0), nullptr);
    int status = -1;
    ASSERT_TRUE(rig.man.Identify([&](CloneResult& r) { status = r.status; }));
    rig.run();
    EXPECT_EQ(status, kCloneOk);
    EXPECT_EQ(rig.env.transType(), 4);
    EXPECT_TRUE(rig.prompter.log().empty());
    const std::vector<std::pair<int, intptr_t>> expected{{41, 0}, {43, 0}, {42, 1}};
    EXPECT_EQ(rig.events, expected);
  }
  {
    // Nobody answers: every row is tried and the stored row stays.
    CloneManRig rig;
    rig.env.setTransType(2);
    rig.man.SetHandlers(acceptingHandler(0), nullptr);
    int status = -1;
    ASSERT_TRUE(rig.man.Identify([&](CloneResult& r) { status = r.status; }));
    rig.run();
    EXPECT_EQ(rig.fake->opens.size(), 5u);
    // The rows without echo heard nothing either: the transceiver is named, not the port.
    EXPECT_EQ(status, kCloneNoAnswer);
    EXPECT_EQ(rig.env.transType(), 2);
    EXPECT_EQ(rig.prompter.texts(), QStringList{rig.man.MessageFor(kCloneNoAnswer)});
  }
}

TEST(CloneManager, HandlersDecideTheStatusAndMissingHandlersFail) {
  {
    CloneManRig rig;  // no handlers at all
    rig.connect({.identifySpeeds = {9600}});
    int status = -1;
    ASSERT_TRUE(rig.man.Identify([&](CloneResult& r) { status = r.status; }));
    rig.run();
    EXPECT_EQ(status, kCloneIllegalInfo);
    rig.man.SetImageSize(0x3000);
    ASSERT_TRUE(
        rig.man.ReadClone(cloneconfig::readRanges(), [&](CloneResult& r) { status = r.status; }));
    rig.run();
    EXPECT_EQ(status, kCloneNotEnoughData);
    EXPECT_EQ(rig.prompter.texts(), (QStringList{rig.man.MessageFor(kCloneIllegalInfo),
                                                 rig.man.MessageFor(kCloneNotEnoughData)}));
  }
  {
    // A transceiver with sub code 0005 fails the application's check.
    CloneManRig rig;
    rig.connect({.identifySpeeds = {9600}, .faults = {.subCode5 = true}});
    rig.man.SetHandlers(acceptingHandler(0), nullptr);
    int status = -1;
    ASSERT_TRUE(rig.man.Identify([&](CloneResult& r) { status = r.status; }));
    rig.run();
    EXPECT_EQ(status, kCloneIncompatible);
    ASSERT_EQ(rig.prompter.log().size(), 1u);
    EXPECT_EQ(rig.prompter.texts()[0], "Connected transceiver is not compatible model.\n\n" +
                                           joined({kCheckHead, kCheckSoftware, kCheckRevision}));
    EXPECT_EQ(rig.events.back(), std::make_pair(42, intptr_t(0)));
  }
}

TEST(CloneManager, ReadsAtTheStoredSpeedsWithTheSpeedChangeFirst) {
  for (bool high : {true, false}) {
    SCOPED_TRACE(high ? "high speed" : "normal speed");
    CloneManRig rig;
    rig.env.setTransType(3);  // 9600 without echo
    rig.env.setComSpeedHigh(high ? 1 : 0);
    SimulatedTransceiver& sim = rig.connect({.identifySpeeds = {9600}});
    for (int a = 0; a < SimulatedTransceiver::kMemorySize; ++a)
      sim.memory().setByte(a, static_cast<uint8_t>(a * 7));
    std::vector<std::pair<int, int>> progress;
    rig.man.SetProgress([&](int done, int total) { progress.emplace_back(done, total); });
    bool checked = false;
    rig.man.SetHandlers(nullptr, [&](CloneResult&) { checked = true; });
    rig.man.SetCodes(0x3251, 0);
    rig.man.SetImageSize(0x3000);
    std::optional<CloneResult> result;
    ASSERT_TRUE(rig.man.ReadClone(cloneconfig::readRanges(),
                                  [&](CloneResult& r) { result = std::move(r); }));
    EXPECT_EQ(rig.man.TransferTotal(), 6304);
    rig.run();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, kCloneOk);
    EXPECT_TRUE(checked);
    EXPECT_EQ(result->image.size(), 0x3000);
    for (int a = 0; a < SimulatedTransceiver::kMemorySize; ++a)
      ASSERT_EQ(result->image.getByte(a), sim.memory().getByte(a)) << a;

    // The speed change goes out at the identification row's speed, the frames at the clone speed.
    ASSERT_EQ(rig.fake->opens.size(), 2u);
    EXPECT_EQ(rig.fake->opens[0].settings.baud, 9600);
    EXPECT_EQ(rig.fake->opens[1].settings.baud, high ? 38400 : 9600);
    const QByteArray change =
        QByteArray(20, char(0xFE)) + bytes({0xEE, 0xEF, 0xE8, 0x32, 0x51, 0x00, 0x00, 0x00, 0x00,
                                            0x02, high ? 0x01 : 0x00, 0xFD});
    EXPECT_TRUE(rig.fake->written.startsWith(change));
    // Then the read request behind twelve preamble bytes.
    EXPECT_EQ(rig.fake->written.mid(change.size()),
              QByteArray(12, char(0xFE)) +
                  bytes({0xFE, 0xFE, 0xEE, 0xEF, 0xE2, 0x32, 0x51, 0x00, 0x00, 0xFD}));
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), std::make_pair(6304, 6304));
    EXPECT_EQ(sim.stats().speedChanges, 1);
  }
}

TEST(CloneManager, WriteMovesTheWriteRangesAndReportsARejection) {
  {
    CloneManRig rig;
    SimulatedTransceiver& sim = rig.connect({.identifySpeeds = {9600}});
    std::vector<std::pair<int, int>> progress;
    rig.man.SetProgress([&](int done, int total) { progress.emplace_back(done, total); });
    cmcEeprom image(0x3000);
    image.fill(0x11);
    int status = -1;
    ASSERT_TRUE(rig.man.WriteClone(image, cloneconfig::writeRanges(),
                                   [&](CloneResult& r) { status = r.status; }));
    EXPECT_EQ(rig.man.TransferTotal(), 6265);
    rig.run();
    EXPECT_EQ(status, kCloneOk);
    EXPECT_EQ(sim.stats().writesAccepted, 1);
    EXPECT_EQ(progress.back(), std::make_pair(6265, 6265));
    EXPECT_TRUE(rig.prompter.log().empty());
    // A write is no identification: no clone-started event.
    const std::vector<std::pair<int, intptr_t>> expected{{43, 0}, {42, 1}};
    EXPECT_EQ(rig.events, expected);
  }
  {
    CloneManRig rig;
    rig.connect({.identifySpeeds = {9600}, .faults = {.writeFail = true}});
    int status = -1;
    ASSERT_TRUE(rig.man.WriteClone(cmcEeprom(0x3000), cloneconfig::writeRanges(),
                                   [&](CloneResult& r) { status = r.status; }));
    rig.run();
    EXPECT_EQ(status, kCloneWriteFailed);
    EXPECT_EQ(rig.prompter.texts(), QStringList{"Cannot write cloning data.\n\n" +
                                                joined({kCheckHead, kCheckCable, kCheckPower})});
  }
}

TEST(CloneManager, OneOperationAtATimeAndTheCompletionMayStartTheNext) {
  CloneManRig rig;
  rig.connect({.identifySpeeds = {9600}});
  rig.man.SetHandlers(acceptingHandler(0), nullptr);
  int completions = 0;
  bool secondStarted = false;
  ASSERT_TRUE(rig.man.Identify([&](CloneResult&) {
    ++completions;
    secondStarted = rig.man.Identify([&](CloneResult&) { ++completions; });
  }));
  EXPECT_FALSE(rig.man.Identify([&](CloneResult&) { ADD_FAILURE(); }));
  EXPECT_FALSE(rig.man.ReadClone(cloneconfig::readRanges(), [&](CloneResult&) { ADD_FAILURE(); }));
  EXPECT_FALSE(rig.man.WriteClone(cmcEeprom(0x3000), cloneconfig::writeRanges(),
                                  [&](CloneResult&) { ADD_FAILURE(); }));
  EXPECT_EQ(rig.man.Mode(), kCloneModeIdentify);
  EXPECT_EQ(rig.events.size(), 1u);  // the refused starts sent nothing
  rig.run();
  EXPECT_TRUE(secondStarted);
  rig.run();
  EXPECT_EQ(completions, 2);
  EXPECT_EQ(rig.sim->stats().identifications, 2);
}

TEST(CloneManager, ProgressCells) {
  const struct {
    int transferred, total, lit;
  } cases[] = {
      {0, 6304, 0},     {190, 6304, 0},   {192, 6304, 1}, {6112, 6304, 31},
      {6113, 6304, 32}, {6304, 6304, 32}, {5, 0, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(indCloneMan::LitCells(c.transferred, c.total), c.lit)
        << c.transferred << "/" << c.total;
}
