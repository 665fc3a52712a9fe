#include <gtest/gtest.h>

// Device options are given with designated initializers, the rest left at defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

#include <QtGlobal>
#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <optional>

#include "base/cmcEvMan.h"
#include "base/prompter.h"
#include "clone/SimulatedSerialDevice.h"
#include "clone/SystemSerialDevice.h"
#include "clone/cloneconfig.h"
#include "clone/cloneframes.h"
#include "clone/indCloneMan.h"
#ifndef _WIN32
#include "clone/qtserialdevice.h"
#endif
#include "clone/simmemory.h"
#include "fakeport.h"
#include "files/indEnviron.h"
#include "gtex/cmcGTex.h"
#include "model/memorymap.h"
#include "resources/embedded_text.h"
#include "resources/factory/factory_images.h"

namespace {
cmcLineSettings lineAt(int baud) {
  cmcLineSettings s;
  s.baud = baud;
  return s;
}

int64_t steadyNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

QByteArray readAll(cmcSerialDevice& d) {
  QByteArray got(d.bytesAvailable(), '\0');
  got.resize(d.read(reinterpret_cast<uint8_t*>(got.data()), static_cast<int>(got.size())));
  return got;
}

bool sameCloneRange(const cmcEeprom& image, const uint8_t* expected) {
  for (int a = 0; a < SimulatedTransceiver::kMemorySize; ++a)
    if (image.getByte(a) != expected[a]) return false;
  return true;
}
}  // namespace

// Bytes leave and arrive at the line's byte rate (start, 8 data bits, stop: 10 bits a byte), the
// cable's echo comes back as each byte goes out, and the transceiver's answer follows at the same
// rate once the request's last byte has arrived.
TEST(SimulatedDevice, BytesTravelAtTheLineRate) {
  for (const int baud : {4800, 19200}) {
    int64_t t = 1'000'000'000;
    const int64_t byteNs = int64_t{10'000'000'000} / baud;
    SimulatedSerialDevice d({.clock = [&] { return t; }});
    ASSERT_TRUE(
        d.open(QString::fromLatin1(SimulatedSerialDevice::kPortName), lineAt(baud), nullptr));

    const QByteArray request =
        BuildRequest(cloneframe::kIdentifyText, 0, cloneconfig::kModelCode, 0);
    ASSERT_EQ(d.write(reinterpret_cast<const uint8_t*>(request.constData()),
                      static_cast<int>(request.size())),
              request.size());
    EXPECT_EQ(d.outputQueue(), request.size()) << baud;
    EXPECT_EQ(d.bytesAvailable(), 0) << baud;
    t += 3 * byteNs + byteNs / 2;
    EXPECT_EQ(d.outputQueue(), request.size() - 3) << baud;
    EXPECT_EQ(readAll(d), request.left(3)) << baud;

    t += (request.size() - 3) * byteNs;
    EXPECT_EQ(d.outputQueue(), 0) << baud;
    EXPECT_EQ(readAll(d), request.mid(3)) << baud;  // the echo, and no answer yet
    t += 10 * byteNs;
    const QByteArray head = readAll(d);
    EXPECT_EQ(head.size(), 10) << baud;
    EXPECT_TRUE(head.startsWith("\xFE\xFE\xEF\xEE\xE1")) << baud;
    t += 1000 * byteNs;
    const QByteArray rest = readAll(d);
    EXPECT_TRUE(rest.endsWith('\xFD')) << baud;
    EXPECT_EQ(d.traffic().bytesSent, request.size());
    EXPECT_EQ(d.traffic().bytesAnswered, head.size() + rest.size());
    EXPECT_EQ(d.traffic().lineNs, (d.traffic().bytesSent + d.traffic().bytesAnswered) * byteNs);

    // Closing the port loses what was still on the wire.
    d.write(reinterpret_cast<const uint8_t*>(request.constData()),
            static_cast<int>(request.size()));
    d.close();
    EXPECT_FALSE(d.isOpen());
    EXPECT_EQ(d.write(reinterpret_cast<const uint8_t*>("x"), 1), -1);
    ASSERT_TRUE(d.open(QString(), lineAt(baud), nullptr));
    t += 1000 * byteNs;
    EXPECT_EQ(d.bytesAvailable(), 0);
  }
}

// The memory file: made from the factory image of destination 0 when missing, read when
// present, refused with a message naming it when damaged.
TEST(SimulatedDevice, MemoryFileIsSeededLoadedOrRefused) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("sub/sim.qev"));
  {
    SimulatedSerialDevice d({.memoryPath = path, .factory = &factoryImage});
    ASSERT_TRUE(d.open(QString(), lineAt(9600), nullptr));
    EXPECT_TRUE(QFile::exists(path));
    EXPECT_TRUE(sameCloneRange(d.transceiver().memory(), factoryImage(0)));
  }
  cmcEeprom changed(SimulatedTransceiver::kMemorySize);
  ASSERT_TRUE(simmemory::load(path, changed, nullptr));
  changed.setByte(0x0040, static_cast<uint8_t>(changed.getByte(0x0040) ^ 0x5A));
  ASSERT_TRUE(simmemory::save(path, changed, 0, nullptr));
  {
    SimulatedSerialDevice d({.memoryPath = path, .factory = &factoryImage});
    ASSERT_TRUE(d.open(QString(), lineAt(9600), nullptr));
    EXPECT_EQ(d.transceiver().memory().getByte(0x0040), changed.getByte(0x0040));
  }
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write("not a clone file\n");
  f.close();
  SimulatedSerialDevice d({.memoryPath = path, .factory = &factoryImage});
  QString error;
  EXPECT_FALSE(d.open(QString(), lineAt(9600), &error));
  EXPECT_FALSE(d.isOpen());
  EXPECT_TRUE(error.contains(path)) << error.toStdString();
}

// The system device hands the simulator's name (in any letter case) to the built-in transceiver
// and every other name to the system's ports, whose failures name the device.
TEST(SimulatedDevice, SystemDeviceRoutesTheSimulatorsName) {
  QTemporaryDir dir;
  cmcComm comm;
  SimulatedSerialDevice* sim = builtInSimulator(comm);
  ASSERT_NE(sim, nullptr);
  static_cast<SystemSerialDevice*>(comm.device())
      ->setSimulator(std::make_unique<SimulatedSerialDevice>(
          // A clock that stands still keeps the bytes sent on the line, however slow the run.
          SimulatedSerialDevice::Options{.memoryPath = dir.filePath(QStringLiteral("m.qev")),
                                         .clock = [] { return int64_t{0}; }}));
  sim = builtInSimulator(comm);

  ASSERT_TRUE(comm.Open(QStringLiteral(" simulated TRANSCEIVER "), "19200,N,8,1"));
  EXPECT_TRUE(sim->isOpen());
  EXPECT_EQ(sim->baud(), 19200);
  comm.Send(QByteArray("\xFE\xFE", 2));
  EXPECT_GT(comm.PendingOutput(), 0);
  comm.Close();
  EXPECT_FALSE(sim->isOpen());

  EXPECT_FALSE(comm.Open(QStringLiteral("/dev/kestrin-no-such-port"), "9600,N,8,1"));
  EXPECT_FALSE(sim->isOpen());
  EXPECT_TRUE(comm.LastOpenError().contains(QStringLiteral("/dev/kestrin-no-such-port")));
}

namespace {
// A clone manager on the program's own port (the system device) with the built-in transceiver
// chosen in the settings, its memory in a temporary directory.
struct BuiltInRig {
  static cmcGTex& loaded(cmcGTex& text) {
    const EmbeddedText main = mainResourceText();
    text.setSource(main.lines, main.count);
    return text;
  }

  QTemporaryDir dir;
  indEnviron env{QStringLiteral("kestrin-simdevice-test"),
                 QStringLiteral("Software\\Zelk\\Kestrin"),
                 QString(),
                 QStringList(),
                 ScreenSize{},
                 EnvironPlace{dir.path(), dir.path()}};
  cmcGTex text;
  ScriptedPrompter prompter;
  cmcEvMan bus;
  indCloneMan man{env, loaded(text), prompter, &bus};
  SimulatedSerialDevice* sim = nullptr;
  QString memoryPath = dir.filePath(QStringLiteral("sim.qev"));

  // `speedUp` runs the simulated line that many times faster than the real one.
  explicit BuiltInRig(int speedUp = 1, SimulatedTransceiver::Config config = {},
                      bool echoCable = true) {
    SimulatedSerialDevice::Options o;
    o.echo = echoCable;
    o.memoryPath = memoryPath;
    o.factory = &factoryImage;
    o.transceiver = std::move(config);
    if (speedUp > 1) {
      const int64_t start = steadyNs();
      o.clock = [start, speedUp] { return start + (steadyNs() - start) * speedUp; };
    }
    auto device = std::make_unique<SimulatedSerialDevice>(std::move(o));
    sim = device.get();
    static_cast<SystemSerialDevice*>(man.engine().Port().device())->setSimulator(std::move(device));
    env.setComPort(4);
    env.setComPortPath(QString::fromLatin1(SimulatedSerialDevice::kPortName));
    env.setTransType(0);  // 19200 on an echo cable
    env.setComSpeedHigh(1);
    man.SetCodes(cloneconfig::kModelCode, cloneconfig::kRequestSubCode);
    man.SetImageSize(memmap::kImageSize);
    man.SetHandlers([](CloneResult&) {}, [](CloneResult&) {});
  }

  int run(const std::function<bool(indCloneMan::Completion)>& start) {
    std::optional<int> status;
    EXPECT_TRUE(start([&](CloneResult& r) { status = r.status; }));
    EXPECT_TRUE(waitUntil([&] { return status.has_value(); }, 120000));
    return status.value_or(-1);
  }
};
}  // namespace

// A clone read from the built-in transceiver brings its memory, and takes the time the line
// takes: never less than the bytes need, and not much more than the bytes and the protocol's
// prescribed waits (two input drains of 100 ms and the 200 ms pause after the speed change).
TEST(SimulatedDevice, CloneReadTakesTheLinesTime) {
  BuiltInRig rig;
  CloneResult got;
  QElapsedTimer t;
  t.start();
  const int status = rig.run([&](indCloneMan::Completion done) {
    return rig.man.ReadClone(cloneconfig::readRanges(), [&, done](CloneResult& r) {
      got.image.assign(r.image);
      done(r);
    });
  });
  const double seconds = t.nsecsElapsed() / 1e9;
  ASSERT_EQ(status, kCloneOk);
  EXPECT_TRUE(sameCloneRange(got.image, factoryImage(0)));
  const double line = rig.sim->traffic().lineNs / 1e9;
  EXPECT_GT(rig.sim->traffic().bytesAnswered, 197 * 78);
  EXPECT_GE(seconds, line);
  EXPECT_LT(seconds, (line + 0.4) * 1.5) << "line " << line;
  EXPECT_TRUE(rig.prompter.log().empty());
}

// A clone write changes the transceiver's memory and its file exactly where the image differs;
// a write the transceiver rejects changes neither.
TEST(SimulatedDevice, CloneWriteIsKeptInTheMemoryFile) {
  for (const bool reject : {false, true}) {
    SimulatedTransceiver::Config config;
    config.faults.writeFail = reject;
    BuiltInRig rig(20, config);
    cmcEeprom image(memmap::kImageSize);
    image.writeBlock(0, factoryImage(0), kFactoryImageSize);
    image.setByte(0x0123, static_cast<uint8_t>(image.getByte(0x0123) ^ 0xFF));
    const int status = rig.run([&](indCloneMan::Completion done) {
      return rig.man.WriteClone(image, cloneconfig::writeRanges(), std::move(done));
    });
    EXPECT_EQ(status, reject ? kCloneWriteFailed : kCloneOk);

    cmcEeprom stored(SimulatedTransceiver::kMemorySize);
    ASSERT_TRUE(simmemory::load(rig.memoryPath, stored, nullptr));
    int differences = 0;
    for (int a = 0; a < SimulatedTransceiver::kMemorySize; ++a)
      if (stored.getByte(a) != factoryImage(0)[a]) {
        ++differences;
        EXPECT_EQ(a, 0x0123);
      }
    EXPECT_EQ(differences, reject ? 0 : 1);
    EXPECT_EQ(rig.sim->lastSaveError(), QString());
  }
}

// The built-in transceiver sits on an echo cable: a search that starts at a row without echo
// moves on and finds it at 19200 with echo, and keeps that row.
TEST(SimulatedDevice, IdentificationFindsTheEchoCable) {
  BuiltInRig rig;
  rig.env.setTransType(4);
  EXPECT_EQ(
      rig.run([&](indCloneMan::Completion done) { return rig.man.Identify(std::move(done)); }),
      kCloneOk);
  EXPECT_EQ(rig.sim->transceiver().stats().identifications,
            2);  // the answer at 4800 was lost in the echo
  EXPECT_EQ(rig.env.transType(), 0);
}

#ifdef Q_OS_UNIX
// Serial trouble said plainly: a device held by another program says so.
TEST(SimulatedDevice, BusyDeviceSaysAnotherProgramHoldsIt) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  const QString slave = QString::fromLocal8Bit(ptsname(master));
  QtSerialDevice first;
  QtSerialDevice second;
  ASSERT_TRUE(first.open(slave, lineAt(9600), nullptr));
  QString error;
  EXPECT_FALSE(second.open(slave, lineAt(9600), &error));
  EXPECT_TRUE(error.contains(slave)) << error.toStdString();
  EXPECT_TRUE(error.contains(QStringLiteral("in use by another program"))) << error.toStdString();
  first.close();
  ::close(master);
}
#endif

// A transceiver that answers 3 s late on a cable without echo, searched from the row without
// echo at 9600: the search ends on a row with echo, whose missing echo used to become "Cannot
// access COM port." although the port was fine. The user is told the transceiver did not answer.
TEST(SimulatedDevice, ALateTransceiverIsNoAnswerNotAPortError) {
  SimulatedTransceiver::Config config;
  config.faults.replyDelayMs = 3000;
  BuiltInRig rig(1, config, false);
  rig.env.setTransType(3);
  EXPECT_EQ(
      rig.run([&](indCloneMan::Completion done) { return rig.man.Identify(std::move(done)); }),
      kCloneNoAnswer);
  ASSERT_EQ(rig.prompter.texts().size(), 1);
  EXPECT_TRUE(rig.prompter.texts().first().startsWith("No answer from transceiver."));
  EXPECT_GE(rig.sim->transceiver().stats().identifications, 1);  // it did hear the request
}
