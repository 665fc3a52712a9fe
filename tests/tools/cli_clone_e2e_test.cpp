// kestrin-sim serves a pseudo-terminal, which only POSIX systems have.
#include <QtGlobal>
#ifdef Q_OS_UNIX

// kestrin-cli info, read and write against the real kestrin-sim on a pseudo-terminal.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <memory>

#include "clone/SimulatedTransceiver.h"
#include "clone/cloneconfig.h"
#include "clone/simmemory.h"
#include "files/indEnviron.h"
#include "files/qevdocument.h"
#include "model/ChannelView.h"
#include "model/destinations.h"
#include "model/memorymap.h"
#include "resources/factory/factory_images.h"
#include "simprocess.h"

namespace {

struct CliRun {
  int exitCode = -1;
  QString out;
  QString err;
  qint64 ms = 0;
};

// Runs kestrin-cli with its settings in `settingsDir` and standard input closed.
CliRun runCli(const QStringList& args, const QString& settingsDir) {
  QProcess p;
  p.setProgram(qEnvironmentVariable("KESTRIN_BIN_DIR") + QStringLiteral("/kestrin-cli"));
  p.setArguments(args);
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("KESTRIN_SETTINGS_DIR"), settingsDir);
  p.setProcessEnvironment(env);
  QElapsedTimer t;
  t.start();
  p.start();
  p.closeWriteChannel();
  CliRun r;
  // The longest wait of the protocol is the 10 s write result; a run far beyond that hangs.
  if (!p.waitForFinished(40000)) {
    p.kill();
    p.waitForFinished(2000);
    r.err = QStringLiteral("(killed: did not end)");
    return r;
  }
  r.ms = t.elapsed();
  r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  r.out = QString::fromUtf8(p.readAllStandardOutput());
  r.err = QString::fromUtf8(p.readAllStandardError());
  return r;
}

// Settings the way the program stores them, in a directory of the test's own.
struct Settings {
  QTemporaryDir dir;
  explicit Settings(int transType, int destination = 16) {
    auto env = open();
    env->setTransType(transType);
    env->setDestinationCode(destination);
    env->setComPort(1);
    env->save();
  }
  std::unique_ptr<indEnviron> open() const {
    return std::make_unique<indEnviron>(
        QStringLiteral("kestrin-e2e-settings"), QString::fromLatin1(indEnviron::kKeyPath),
        QString(), QStringList(), ScreenSize{}, EnvironPlace{dir.path(), dir.path()});
  }
  int transType() const { return open()->transType(); }
  int destination() const { return open()->destinationCode(); }
  QString path() const { return dir.path(); }
};

cmcEeprom factoryMemory(int destination) {
  cmcEeprom m(memmap::kCloneSize);
  m.writeBlock(0, factoryImage(destination), kFactoryImageSize);
  return m;
}

// A transceiver's memory as the program leaves it alone: its factory contents with bank names
// and a comment of its own, and bytes in the gaps the program never writes.
cmcEeprom radioMemory(int destination) {
  cmcEeprom m = factoryMemory(destination);
  const QByteArray banks = "CALL  ROADS HAMS  ";
  for (int b = 0; b < 3; ++b)
    m.writeBlock(memmap::kBankNames + b * memmap::kBankNameStride,
                 reinterpret_cast<const uint8_t*>(banks.constData()) + b * 6,
                 memmap::kBankNameLength);
  m.writeBlock(memmap::kCloneComment, reinterpret_cast<const uint8_t*>("OSPREL CLUB 42  "),
               memmap::kCloneCommentLength);
  for (int a = 0x1890; a <= 0x189F; ++a) m.setByte(a, uint8_t(a));
  return m;
}

// The tool's messages are one line each: the lines of a message joined by spaces.
QString flat(QString text) { return text.replace(QLatin1Char('\n'), QLatin1Char(' ')); }

bool sameBytes(const cmcEeprom& a, const cmcEeprom& b, int first, int last) {
  for (int x = first; x <= last; ++x)
    if (a.getByte(x) != b.getByte(x)) return false;
  return true;
}

QByteArray fileBytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool inWriteRanges(int address) {
  for (const AddressRange& r : cloneconfig::writeRanges())
    if (address >= r.first && address <= r.last) return true;
  return false;
}

}  // namespace

TEST(CliCloneEndToEnd, ReadGivesTheTransceiversMemoryWithAndWithoutEcho) {
  QTemporaryDir dir;
  const cmcEeprom radio = radioMemory(0);
  const QString memory = dir.filePath("radio.bin");
  ASSERT_TRUE(simmemory::save(memory, radio, 0, nullptr));
  for (bool echo : {false, true}) {
    SCOPED_TRACE(echo ? "echo" : "no echo");
    QStringList simArgs{"--memory", memory, "--destination", "0", "--speeds", "9600"};
    if (echo) simArgs << "--echo";
    SimProcess sim(simArgs);
    ASSERT_FALSE(sim.device().isEmpty()) << sim.errorOutput().constData();
    Settings settings(echo ? 1 : 3, 0);
    const QString out = dir.filePath(echo ? "echo.qev" : "plain.qev");
    const CliRun r = runCli({"read", "--port", sim.device(), "-o", out}, settings.path());
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();  // not a terminal: no progress bar either
    const QevOpenResult file = openQevFile(out);
    ASSERT_EQ(file.code, 0);
    EXPECT_EQ(file.destination, 0);
    EXPECT_TRUE(sameBytes(file.image, radio, 0, memmap::kCloneLast));
    EXPECT_EQ(sim.stop(), 0);
  }
}

TEST(CliCloneEndToEnd, WriteSendsTheNormalisedRepairedImageOverTheWriteRangesOnly) {
  constexpr int kEurA = 4;
  QTemporaryDir dir;
  // The file: the factory image with a reserved setting set (normalisation clears it) and memory
  // channel 5 at 146.5 MHz, which this destination cannot transmit on (repair empties it).
  cmcEeprom image(memmap::kImageSize);
  image.writeBlock(0, factoryImage(kEurA), kFactoryImageSize);
  image.setByte(memmap::kMainSettings + 16, 0x33);
  {
    ChannelView ch(image, DestinationOptions{.destination = kEurA});
    ASSERT_TRUE(ch.load(kKindConventional, 5));
    ch.inUse = true;
    ch.frequency = 146500000;
    ch.commit();
  }
  const QString qev = dir.filePath("plan.qev");
  ASSERT_EQ(saveQevFile(qev, image, kEurA), 0);

  // What the transceiver must end up with over the write ranges: the image normalised for the
  // destination, and in the copy sent also repaired.
  cmcEeprom defaults;
  DestinationModel model(defaults, &factoryImage);
  model.setDestination(kEurA);
  cmcEeprom expected;
  expected.assign(image);
  model.normaliseImage(expected);
  model.normaliseImage(expected);
  model.repairChannels(expected);
  ASSERT_EQ(expected.getByte(memmap::kMainSettings + 16), 0);
  ASSERT_FALSE(sameBytes(expected, image, 5 * 16, 5 * 16 + 15));

  cmcEeprom radio = SimulatedTransceiver::blankMemory();
  for (int a = 0; a < memmap::kCloneSize; ++a) radio.setByte(a, uint8_t(a * 11 + 5));
  const QString memory = dir.filePath("radio.bin");
  ASSERT_TRUE(simmemory::save(memory, radio, kEurA, nullptr));
  const QByteArray before = fileBytes(memory);

  SimProcess sim({"--memory", memory, "--destination", QString::number(kEurA), "--echo"});
  ASSERT_FALSE(sim.device().isEmpty());
  Settings settings(1, kEurA);

  // Without --yes the confirmation is declined and nothing is sent.
  const CliRun declined = runCli({"write", "--port", sim.device(), qev}, settings.path());
  EXPECT_EQ(declined.exitCode, 1);
  EXPECT_TRUE(declined.err.contains(
      flat(QStringLiteral("Setting warning is found.\nWrite to transceiver. Are you sure?"))))
      << declined.err.toStdString();
  EXPECT_EQ(fileBytes(memory), before);

  const CliRun r = runCli({"write", "--port", sim.device(), qev, "--yes"}, settings.path());
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  EXPECT_TRUE(r.err.contains(
      flat(QStringLiteral("Cloning is succeeded.\n\nTurn the transceiver power off and on to use\n"
                          "the transceiver under its new conditions."))))
      << r.err.toStdString();
  cmcEeprom written;
  ASSERT_TRUE(simmemory::load(memory, written, nullptr));
  for (int a = 0; a < memmap::kCloneSize; ++a)
    ASSERT_EQ(written.getByte(a), inWriteRanges(a) ? expected.getByte(a) : radio.getByte(a))
        << std::hex << a;
  EXPECT_EQ(sim.stop(), 0);
}

TEST(CliCloneEndToEnd, EveryFaultEndsWithItsMessageAndTouchesNothing) {
  enum Op { kRead, kWrite };
  struct Case {
    QStringList simArgs;
    Op op;
    int transType;
    QString message;
  };
  const Case cases[] = {
      {{"--fault", "bad-checksum=17"}, kRead, 3, "Illegal data.\n\nCheck the following:"},
      {{"--fault", "drop-frame=150"},
       kRead,
       3,
       "There is not enough data.\n\nCheck the following:"},
      {{"--fault", "bad-count"}, kRead, 3, "Data counter error.\n\nCheck the following:"},
      {{"--fault", "silence-after=60"},
       kRead,
       3,
       "No answer from transceiver.\n\nCheck the following:"},
      {{"--fault", "wrong-model"}, kRead, 3, "No answer from transceiver.\n\nCheck the following:"},
      {{"--fault", "sub-code-5"},
       kRead,
       3,
       "Connected transceiver is not compatible model.\n\nCheck the following:\n - Appropriate"},
      {{"--fault", "revision=2"}, kRead, 3, "Connected transceiver is not compatible model.\n\n"},
      {{"--fault", "other-destination"},
       kRead,
       3,
       "Transceiver version does not match.\n\nThe transceiver cannot be programmed with the "
       "current setting."},
      {{"--fault", "non-bcd", "--speeds", "9600"}, kRead, 4, "Illegal data.\n\n"},
      // Nobody answers at any speed. The last row tried (4800 with echo) hears no echo, but the
      // rows without echo show the port works: the transceiver is named, not the port.
      {{"--fault", "silent"}, kRead, 3, "No answer from transceiver.\n\nCheck the following:"},
      {{"--fault", "write-fail"},
       kWrite,
       3,
       "Cannot write cloning data.\n\nCheck the following:\n - Cloning cable connections.\n - "
       "transceiver power is ON."},
  };
  QTemporaryDir dir;
  const cmcEeprom radio = radioMemory(0);
  const QString memory = dir.filePath("radio.bin");
  const QString qev = dir.filePath("plan.qev");
  {
    cmcEeprom image(memmap::kImageSize);
    image.writeBlock(0, factoryImage(0), kFactoryImageSize);
    ASSERT_EQ(saveQevFile(qev, image, 0), 0);
  }
  const QString target = dir.filePath("target.qev");
  for (const Case& c : cases) {
    const std::string what = c.simArgs.join(' ').toStdString();
    ASSERT_TRUE(simmemory::save(memory, radio, 0, nullptr));
    const QByteArray memoryBefore = fileBytes(memory);
    {
      QFile f(target);
      ASSERT_TRUE(f.open(QIODevice::WriteOnly));
      f.write("the file that was there");
    }
    SimProcess sim(QStringList{"--memory", memory, "--destination", "0"} + c.simArgs);
    ASSERT_FALSE(sim.device().isEmpty()) << what;
    Settings settings(c.transType, 0);
    const QStringList args = c.op == kRead
                                 ? QStringList{"read", "--port", sim.device(), "-o", target}
                                 : QStringList{"write", "--port", sim.device(), qev, "--yes"};
    const CliRun r = runCli(args, settings.path());
    EXPECT_EQ(r.exitCode, 1) << what << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(flat(c.message))) << what << "\n" << r.err.toStdString();
    EXPECT_LT(r.ms, 15000) << what;
    EXPECT_EQ(fileBytes(target), QByteArray("the file that was there")) << what;
    EXPECT_EQ(fileBytes(memory), memoryBefore) << what;
    EXPECT_EQ(sim.stop(), 0) << what;
  }

  // No device at all.
  const CliRun r =
      runCli({"read", "--port", dir.filePath("no-such-tty"), "-o", target}, Settings(3, 0).path());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(r.err.contains(flat(QStringLiteral("Cannot access COM %1.\n\nCheck the following:")
                                      .arg(dir.filePath("no-such-tty")))))
      << r.err.toStdString();
  EXPECT_EQ(fileBytes(target), QByteArray("the file that was there"));
}

// A file that cannot be made stops the command before the port is touched, and every file
// error names its file.
TEST(CliCloneEndToEnd, FileErrorsComeFirstAndNameTheirFile) {
  QTemporaryDir dir;
  const QString unwritable = dir.filePath("no/such/dir/radio.qev");
  const QString port = dir.filePath("no-such-tty");
  CliRun r = runCli({"read", "--port", port, "-o", unwritable}, Settings(3, 0).path());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(
      r.err.endsWith(QStringLiteral("cannot create %1 (Cannot open the file.)\n").arg(unwritable)))
      << r.err.toStdString();
  EXPECT_FALSE(r.err.contains(QStringLiteral("COM"))) << r.err.toStdString();

  const QString missing = dir.filePath("missing.qev");
  r = runCli({"write", "--port", port, missing, "--yes"}, Settings(3, 0).path());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(r.err.contains(QStringLiteral("cannot open %1").arg(missing))) << r.err.toStdString();
}

TEST(CliCloneEndToEnd, SpeedSearchStoresTheTransferTypeThatAnswered) {
  SimProcess sim({"--speeds", "4800", "--destination", "0", "--serial", "07D90C0001E240",
                  "--comment", "FIELD DAY"});
  ASSERT_FALSE(sim.device().isEmpty());
  Settings settings(0, 0);
  const CliRun r = runCli({"info", "--port", sim.device()}, settings.path());
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  EXPECT_TRUE(r.out.contains(QStringLiteral("SERIAL NO. : 200912123456\n"))) << r.out.toStdString();
  EXPECT_TRUE(r.out.contains(QStringLiteral("Comment : FIELD DAY"))) << r.out.toStdString();
  EXPECT_TRUE(r.out.contains(QStringLiteral("Destination : USA_A_0000\n"))) << r.out.toStdString();
  EXPECT_EQ(settings.transType(), 4);  // 4800 without echo
}

TEST(CliCloneEndToEnd, AnotherDestinationNeedsTheUsersYes) {
  QTemporaryDir dir;
  SimProcess sim({"--destination", "2", "--speeds", "9600"});
  ASSERT_FALSE(sim.device().isEmpty());
  Settings settings(3);  // no destination chosen yet
  const QString out = dir.filePath("read.qev");
  const CliRun declined = runCli({"read", "--port", sim.device(), "-o", out}, settings.path());
  EXPECT_EQ(declined.exitCode, 1);
  EXPECT_TRUE(
      declined.err.contains(QStringLiteral("Settings don't match with transceiver's version.")));
  EXPECT_FALSE(QFile::exists(out));
  EXPECT_EQ(settings.destination(), 16);

  const CliRun agreed =
      runCli({"read", "--port", sim.device(), "-o", out, "--yes"}, settings.path());
  ASSERT_EQ(agreed.exitCode, 0) << agreed.err.toStdString();
  EXPECT_EQ(settings.destination(), 2);
  EXPECT_EQ(openQevFile(out).destination, 2);
}

// write --verify reads the memory back and prints the fields that differ as diff prints them;
// kestrin-sim's fault changes one written byte (channel 0's frequency) after accepting the write.
// --no-verify reads nothing back; without either the stored setting (on) decides.
TEST(CliCloneEndToEnd, WriteVerifyFindsTheFieldTheTransceiverChanged) {
  QTemporaryDir dir;
  cmcEeprom image(memmap::kImageSize);
  image.writeBlock(0, factoryImage(0), kFactoryImageSize);
  {
    ChannelView ch(image, DestinationOptions{.destination = 0});
    ASSERT_TRUE(ch.load(kKindConventional, 0));
    ch.inUse = true;
    ch.frequency = 146520000;
    ch.commit();
  }
  const QString qev = dir.filePath("plan.qev");
  ASSERT_EQ(saveQevFile(qev, image, 0), 0);
  const QString memory = dir.filePath("radio.bin");
  Settings settings(3, 0);

  struct Case {
    QStringList simFaults;
    QStringList flags;
    int exitCode;
    QString lastErr;  // a part of what is said on stderr
    int outLines;
  };
  const Case cases[] = {
      {{"--fault", "change-after-write=0"}, {"--verify"}, 1,
       "verify failed: 1 field of the transceiver's memory differs from the document (1 byte)", 1},
      {{"--fault", "change-after-write=0"}, {"--no-verify"}, 0, "Cloning is succeeded.", 0},
      {{}, {}, 0, "verified: the transceiver's memory holds what was written", 0},
  };
  for (const Case& c : cases) {
    const std::string what = (c.simFaults + c.flags).join(' ').toStdString();
    ASSERT_TRUE(simmemory::save(memory, radioMemory(0), 0, nullptr));
    SimProcess sim(QStringList{"--memory", memory, "--destination", "0", "--speeds", "9600"} +
                   c.simFaults);
    ASSERT_FALSE(sim.device().isEmpty()) << what;
    const CliRun r =
        runCli(QStringList{"write", "--port", sim.device(), qev, "--yes"} + c.flags,
               settings.path());
    EXPECT_EQ(r.exitCode, c.exitCode) << what << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(c.lastErr)) << what << "\n" << r.err.toStdString();
    EXPECT_EQ(r.err.contains("verif"), !c.flags.contains("--no-verify")) << r.err.toStdString();
    const QStringList outLines = r.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(outLines.size(), c.outLines) << what << r.out.toStdString();
    if (c.outLines == 1) {
      // memory  0  Operating Freq  146.520000  <the transceiver's>
      const QStringList fields = outLines[0].split(' ', Qt::SkipEmptyParts);
      ASSERT_GE(fields.size(), 5) << r.out.toStdString();
      EXPECT_EQ(fields[0], "memory");
      EXPECT_TRUE(r.out.contains("Operating Freq")) << r.out.toStdString();
      EXPECT_TRUE(r.out.contains("146.520000")) << r.out.toStdString();
      EXPECT_NE(fields.last(), "146.520000");
    }
    EXPECT_EQ(sim.stop(), 0) << what;
  }
}
#endif
