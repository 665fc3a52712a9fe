// kestrin-sim serves a pseudo-terminal, which only POSIX systems have.
#include <QtGlobal>
#ifdef Q_OS_UNIX

// The real kestrin-sim on a real pseudo-terminal, driven by the clone engine through the
// system's serial port code.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <optional>

#include "clone/SimulatedTransceiver.h"
#include "clone/cloneconfig.h"
#include "clone/cmcCloneDrv.h"
#include "clone/simmemory.h"
#include "model/memorymap.h"
#include "simprocess.h"

namespace {
constexpr int kDestination = 4;

cmcEeprom patternMemory(int seed) {
  cmcEeprom m = SimulatedTransceiver::blankMemory();
  for (int a = 0; a < memmap::kFormatByte; ++a) m.setByte(a, static_cast<uint8_t>(a * seed + (a >> 8)));
  return m;
}

// One engine on the simulator's device, run the way the clone commands run it.
struct Driver {
  cmcCloneDrv engine;
  std::optional<CloneResult> result;
  cloneconfig::Settings settings;

  explicit Driver(const QString& device, int transType) {
    settings.portName = device;
    settings.transType = transType;
    engine.SetCodes(cloneconfig::kModelCode, cloneconfig::kRequestSubCode);
    engine.SetImageSize(memmap::kImageSize);
  }

  int run(int mode, const cmcEeprom* image = nullptr) {
    result.reset();
    cloneconfig::configure(engine, mode, settings);
    auto done = [this](void*, CloneResult& r) { result = std::move(r); };
    bool started = false;
    if (mode == kCloneModeIdentify) started = engine.StartIdentify(done);
    if (mode == kCloneModeRead) started = engine.StartRead(cloneconfig::readRanges(), done);
    if (mode == kCloneModeWrite) started = engine.StartWrite(*image, cloneconfig::writeRanges(), done);
    if (!started) return -1;
    // The longest wait of any operation is the 10 s write result; nothing may hang beyond it.
    if (!waitUntil([&] { return result.has_value(); }, 30000)) return -2;
    if (mode == kCloneModeIdentify) settings.transType = engine.TransType();
    return result->status;
  }

  // Two identifications as a clone command makes them, with the application's checks.
  int identifyTwice() {
    for (bool second : {false, true}) {
      int status = run(kCloneModeIdentify);
      if (status == kCloneOk) status = cloneconfig::checkIdentification(*result, second, kDestination);
      if (status != kCloneOk) return status;
    }
    return kCloneOk;
  }
};

bool sameBytes(const cmcEeprom& a, const cmcEeprom& b, int first, int last) {
  for (int x = first; x <= last; ++x)
    if (a.getByte(x) != b.getByte(x)) return false;
  return true;
}
}  // namespace

TEST(SimEndToEnd, ReadsTheWholeCloneRangeWithAndWithoutEcho) {
  QTemporaryDir dir;
  const QString memory = dir.filePath("memory.bin");
  const cmcEeprom pattern = patternMemory(7);
  ASSERT_TRUE(simmemory::save(memory, pattern, kDestination, nullptr));
  for (bool echo : {false, true}) {
    SCOPED_TRACE(echo ? "echo" : "no echo");
    QStringList args{"--memory", memory, "--destination", QString::number(kDestination)};
    if (echo) args << "--echo";
    SimProcess sim(args);
    ASSERT_FALSE(sim.device().isEmpty()) << sim.errorOutput().constData();
    Driver d(sim.device(), echo ? 0 : 3);
    ASSERT_EQ(d.identifyTwice(), kCloneOk);
    ASSERT_EQ(d.run(kCloneModeRead), kCloneOk);
    EXPECT_TRUE(sameBytes(d.result->image, pattern, 0, memmap::kCloneLast));
    EXPECT_EQ(d.engine.FrameCount(), 197);
    EXPECT_EQ(sim.stop(), 0);
  }
}

TEST(SimEndToEnd, WritesTheRangesAndSavesTheMemory) {
  QTemporaryDir dir;
  const QString memory = dir.filePath("radio.qev");
  const QString link = dir.filePath("ttyOsprel");
  SimProcess sim({"--memory", memory, "--destination", QString::number(kDestination), "--link", link, "--echo"});
  ASSERT_FALSE(sim.device().isEmpty()) << sim.errorOutput().constData();
  EXPECT_EQ(QFileInfo(link).symLinkTarget(), sim.device());

  cmcEeprom image(memmap::kImageSize);
  const cmcEeprom pattern = patternMemory(13);
  image.writeBlock(0, pattern.data(), pattern.size());
  Driver d(link, 1);  // through the link
  ASSERT_EQ(d.identifyTwice(), kCloneOk);
  ASSERT_EQ(d.run(kCloneModeWrite, &image), kCloneOk);

  // The simulator saved what it accepted as a clone file.
  cmcEeprom saved;
  ASSERT_TRUE(simmemory::load(memory, saved, nullptr));
  const cmcEeprom blank = SimulatedTransceiver::blankMemory();
  for (const AddressRange& r : cloneconfig::writeRanges()) EXPECT_TRUE(sameBytes(saved, image, r.first, r.last)) << r.first;
  EXPECT_TRUE(sameBytes(saved, blank, 0x0CF0, 0x0CFF));
  EXPECT_TRUE(sameBytes(saved, blank, 0x1890, 0x189F));

  // And a clone read gives it back.
  ASSERT_EQ(d.run(kCloneModeRead), kCloneOk);
  EXPECT_TRUE(sameBytes(d.result->image, saved, 0, memmap::kCloneLast));
  EXPECT_EQ(sim.stop(), 0);
  EXPECT_FALSE(QFileInfo(link).isSymLink());
}

TEST(SimEndToEnd, EveryInjectedFaultEndsWithItsStatus) {
  enum Op { kRead, kWrite, kIdentify };
  struct Case {
    QStringList args;
    Op op;
    int transType;
    int status;
  };
  const Case cases[] = {
      {{"--fault", "noise"}, kRead, 3, kCloneOk},
      {{"--fault", "bad-checksum=17"}, kRead, 3, kCloneIllegalData},
      {{"--fault", "drop-frame=150"}, kRead, 3, kCloneNotEnoughData},
      {{"--fault", "bad-count"}, kRead, 3, kCloneCountError},
      {{"--fault", "silence-after=60"}, kRead, 3, kCloneNoAnswer},
      {{"--fault", "write-fail"}, kWrite, 3, kCloneWriteFailed},
      {{"--fault", "wrong-model"}, kIdentify, 3, kCloneNoAnswer},
      {{"--fault", "sub-code-5"}, kIdentify, 3, kCloneIncompatible},
      {{"--fault", "revision=2"}, kIdentify, 3, kCloneIncompatible},
      {{"--fault", "other-destination"}, kIdentify, 3, kCloneVersionMismatch},
      // A malformed reply lets the search go on; from row 4 the row that answers is tried last.
      {{"--fault", "non-bcd", "--speeds", "9600"}, kIdentify, 4, kCloneIllegalData},
  };
  for (const Case& c : cases) {
    const std::string what = c.args.join(' ').toStdString();
    SimProcess sim(QStringList{"--destination", QString::number(kDestination)} + c.args);
    ASSERT_FALSE(sim.device().isEmpty()) << what;
    Driver d(sim.device(), c.transType);
    QElapsedTimer t;
    t.start();
    int status = d.identifyTwice();
    if (status == kCloneOk && c.op == kRead) status = d.run(kCloneModeRead);
    if (status == kCloneOk && c.op == kWrite) {
      const cmcEeprom image(memmap::kImageSize);
      status = d.run(kCloneModeWrite, &image);
    }
    EXPECT_EQ(status, c.status) << what;
    EXPECT_LT(t.elapsed(), 12000) << what;
    EXPECT_EQ(sim.stop(), 0) << what;
  }
}

TEST(SimEndToEnd, SpeedSearchFindsTheSpeedTheTransceiverListensAt) {
  SimProcess sim({"--speeds", "4800", "--destination", QString::number(kDestination)});
  ASSERT_FALSE(sim.device().isEmpty());
  Driver d(sim.device(), 0);
  ASSERT_EQ(d.run(kCloneModeIdentify), kCloneOk);
  EXPECT_EQ(d.engine.TransType(), 4);  // 4800 without echo
  // The next command starts at the adopted row and reads at once.
  ASSERT_EQ(d.identifyTwice(), kCloneOk);
  EXPECT_EQ(d.run(kCloneModeRead), kCloneOk);
}

TEST(SimEndToEnd, PacedReadTakesTheLineTime) {
  SimProcess sim({"--pace", "--speeds", "9600"});
  ASSERT_FALSE(sim.device().isEmpty());
  Driver d(sim.device(), 3);
  QElapsedTimer t;
  t.start();
  ASSERT_EQ(d.run(kCloneModeRead), kCloneOk);
  // 197 data frames of 78 bytes and a 17-byte end frame at 3840 bytes per second.
  const double lineSeconds = (197 * 78 + 17) / 3840.0;
  EXPECT_GE(t.elapsed(), static_cast<qint64>(lineSeconds * 1000));
  EXPECT_LT(t.elapsed(), static_cast<qint64>(lineSeconds * 1000) + 2000);
}

TEST(SimEndToEnd, TransceiverGoneMidReadEndsWithNoAnswer) {
  // The line disappears (simulator ended, cable pulled) while a paced read runs.
  auto sim = std::make_unique<SimProcess>(QStringList{"--pace", "--speeds", "9600"});
  ASSERT_FALSE(sim->device().isEmpty());
  Driver d(sim->device(), 3);
  d.settings.highSpeed = false;
  std::optional<CloneResult>& result = d.result;
  cloneconfig::configure(d.engine, kCloneModeRead, d.settings);
  ASSERT_TRUE(d.engine.StartRead(cloneconfig::readRanges(), [&](void*, CloneResult& r) { result = std::move(r); }));
  ASSERT_TRUE(waitUntil([&] { return d.engine.FrameCount() >= 10; }, 10000));
  sim.reset();
  QElapsedTimer t;
  t.start();
  ASSERT_TRUE(waitUntil([&] { return result.has_value(); }, 10000));
  EXPECT_EQ(result->status, kCloneNoAnswer);
  EXPECT_LT(t.elapsed(), 3000);
}

#endif
