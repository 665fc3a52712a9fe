#include <gtest/gtest.h>

#include "enginerig.h"

namespace {
QByteArray bytes(std::initializer_list<int> list) {
  QByteArray out;
  for (int b : list) out.append(static_cast<char>(b));
  return out;
}

}  // namespace

TEST(Engine, IdentifiesAtTheConfiguredSpeed) {
  EngineRig rig;
  rig.connect({.identifySpeeds = {9600}, .destination = 5, .options = 0x0B});
  rig.configure(kCloneModeIdentify, 3);
  ASSERT_TRUE(rig.engine.StartIdentify(rig.done()));
  EXPECT_TRUE(rig.engine.IsBusy());
  rig.run();
  ASSERT_EQ(rig.completions, 1);
  EXPECT_EQ(rig.status(), kCloneOk);
  EXPECT_EQ(rig.result->mode, kCloneModeIdentify);
  EXPECT_EQ(rig.result->modelCode, 0x3251);
  EXPECT_EQ(rig.result->subCode, 0x0004);
  ASSERT_EQ(rig.result->cloneInfo.size(), 42);
  EXPECT_EQ(cloneconfig::destinationOf(rig.result->cloneInfo), 5);
  EXPECT_EQ(rig.result->cloneInfo[19], 0x0B);
  EXPECT_EQ(cloneconfig::checkIdentification(*rig.result, true, 5), kCloneOk);
  // No preamble was configured: the request is exactly the ten-byte frame.
  EXPECT_EQ(rig.fake->written, bytes({0xFE, 0xFE, 0xEE, 0xEF, 0xE0, 0x32, 0x51, 0x00, 0x00, 0xFD}));
  ASSERT_EQ(rig.fake->opens.size(), 1u);
  EXPECT_EQ(rig.fake->opens[0].settings.baud, 9600);
  EXPECT_FALSE(rig.fake->isOpen());
  EXPECT_EQ(rig.engine.TransType(), 3);
}

TEST(Engine, SpeedSearchTriesEveryRowInOrderFromTransType) {
  EngineRig rig;  // no transceiver at all
  rig.configure(kCloneModeIdentify, 2);
  ASSERT_TRUE(rig.engine.StartIdentify(rig.done()));
  const int elapsed = rig.run();
  ASSERT_EQ(rig.completions, 1);
  std::vector<int> bauds;
  for (const auto& o : rig.fake->opens) bauds.push_back(o.settings.baud);
  EXPECT_EQ(bauds, (std::vector<int>{4800, 9600, 4800, 19200, 9600}));
  // One identification request per speed, and each attempt waited out its time-out (after the
  // drain); the 200 ms script delay comes once.
  EXPECT_EQ(rig.fake->written.count(bytes({0xEE, 0xEF, 0xE0})), 5);
  EXPECT_GE(elapsed, 200 + 5 * (100 + 1000));
  EXPECT_LE(elapsed, 200 + 5 * (100 + 1000 + 60));
  // The last row tried (9600 with echo) heard no echo, but the rows without echo show the port
  // works and only the transceiver is silent: that is what is reported.
  EXPECT_EQ(rig.status(), kCloneNoAnswer);
  EXPECT_EQ(rig.engine.TransType(), 2);
  EXPECT_FALSE(rig.engine.IsBusy());
}

TEST(Engine, SpeedSearchAdoptsTheRowThatAnswered) {
  // Answers only at 4800 and without echo. From row 2: 4800 with echo (its reply is not the
  // echo: status 4 at once), 9600 without echo (silence), then 4800 without echo answers.
  EngineRig rig;
  rig.connect({.identifySpeeds = {4800}});
  rig.configure(kCloneModeIdentify, 2);
  ASSERT_TRUE(rig.engine.StartIdentify(rig.done()));
  rig.run();
  EXPECT_EQ(rig.status(), kCloneOk);
  EXPECT_EQ(rig.fake->opens.size(), 3u);
  EXPECT_EQ(rig.engine.TransType(), 4);
  EXPECT_EQ(rig.sim->stats().identifications, 2);  // the one at 4800 with echo was heard too
}

TEST(Engine, EchoMissingOrWrong) {
  // Without transceiver: the echo never arrives; status 4 after the 1000 ms time-out.
  {
    EngineRig rig;
    rig.configure(kCloneModeRead, 1);
    rig.engine.SetScript(QByteArray());
    rig.engine.SetScriptDelay(0);
    ASSERT_TRUE(rig.engine.StartRead(cloneconfig::readRanges(), rig.done()));
    ASSERT_TRUE(rig.runUntil([&] { return !rig.fake->written.isEmpty(); }));
    const uint32_t sent = rig.now;
    rig.run();
    EXPECT_EQ(rig.status(), kCloneEchoError);
    EXPECT_GE(rig.now - sent, 1000u);
    EXPECT_LE(rig.now - sent, 1040u);
  }
  // A cable that returns a different byte: status 4 at the next step.
  {
    EngineRig rig;
    rig.configure(kCloneModeRead, 1);
    rig.engine.SetScript(QByteArray());
    rig.engine.SetScriptDelay(0);
    rig.fake->peer = [&](const QByteArray& data) {
      QByteArray wrong = data;
      wrong[3] = static_cast<char>(wrong[3] ^ 1);
      rig.fake->input += wrong;
    };
    ASSERT_TRUE(rig.engine.StartRead(cloneconfig::readRanges(), rig.done()));
    ASSERT_TRUE(rig.runUntil([&] { return !rig.fake->written.isEmpty(); }));
    const uint32_t sent = rig.now;
    rig.run();
    EXPECT_EQ(rig.status(), kCloneEchoError);
    EXPECT_LE(rig.now - sent, 30u);
  }
}

TEST(Engine, ClonesReadTheWholeRange) {
  for (bool echo : {false, true}) {
    SCOPED_TRACE(echo ? "echo" : "no echo");
    EngineRig rig;
    SimulatedTransceiver& sim = rig.connect({.identifySpeeds = {9600}, .echo = echo});
    for (int a = 0; a < SimulatedTransceiver::kMemorySize; ++a)
      sim.memory().setByte(a, static_cast<uint8_t>(a * 31 + 7));
    rig.configure(kCloneModeRead, echo ? 1 : 3);
    ASSERT_TRUE(rig.engine.StartRead(cloneconfig::readRanges(), rig.done()));
    rig.run();
    ASSERT_EQ(rig.status(), kCloneOk);
    EXPECT_EQ(rig.engine.FrameCount(), 197);
    for (int a = 0; a < SimulatedTransceiver::kMemorySize; ++a)
      ASSERT_EQ(rig.result->image.getByte(a), sim.memory().getByte(a)) << a;
    EXPECT_EQ(rig.result->image.size(), 0x3000);
    EXPECT_EQ(rig.result->image.getByte(0x18A0), 0);
    ASSERT_FALSE(rig.progress.empty());
    EXPECT_EQ(rig.progress.back(), std::make_pair(6304, 6304));
    // Speed change at the answering speed, then the read at 38400 with 12 preamble bytes.
    std::vector<int> bauds;
    for (const auto& o : rig.fake->opens) bauds.push_back(o.settings.baud);
    EXPECT_EQ(bauds, (std::vector<int>{9600, 38400}));
    EXPECT_TRUE(rig.fake->written.startsWith(
        QByteArray(20, char(0xFE)) +
        bytes({0xEE, 0xEF, 0xE8, 0x32, 0x51, 0x00, 0x00, 0x00, 0x00, 0x02, 0x01, 0xFD})));
    EXPECT_TRUE(rig.fake->written.endsWith(
        QByteArray(12, char(0xFE)) +
        bytes({0xFE, 0xFE, 0xEE, 0xEF, 0xE2, 0x32, 0x51, 0x00, 0x00, 0xFD})));
  }
}

TEST(Engine, ReadFailuresEndWithTheirStatus) {
  struct Case {
    const char* what;
    SimulatedTransceiver::Faults faults;
    int status;
  };
  const Case cases[] = {
      {"noise between frames", {.noise = true}, kCloneOk},
      {"corrupted checksum", {.badChecksumFrame = 40}, kCloneIllegalData},
      {"dropped frame", {.dropFrame = 100}, kCloneNotEnoughData},
      {"end frame counts one less", {.badCount = true}, kCloneCountError},
      {"silence mid-read", {.silenceAfterFrame = 50}, kCloneNoAnswer},
      {"speed change ignored", {.silent = true}, kCloneNoAnswer},
  };
  for (const Case& c : cases) {
    EngineRig rig;
    rig.connect({.identifySpeeds = {4800}, .faults = c.faults});
    rig.configure(kCloneModeRead, 4, /*highSpeed=*/false);
    ASSERT_TRUE(rig.engine.StartRead(cloneconfig::readRanges(), rig.done()));
    rig.run();
    EXPECT_EQ(rig.status(), c.status) << c.what;
    EXPECT_EQ(rig.completions, 1) << c.what;
    EXPECT_FALSE(rig.fake->isOpen()) << c.what;
  }
}

TEST(Engine, SilenceMidReadTimesOutAfterOneSecond) {
  EngineRig rig;
  rig.connect({.identifySpeeds = {9600}, .faults = {.silenceAfterFrame = 50}});
  rig.configure(kCloneModeRead, 3);
  ASSERT_TRUE(rig.engine.StartRead(cloneconfig::readRanges(), rig.done()));
  ASSERT_TRUE(rig.runUntil([&] { return rig.engine.FrameCount() == 50; }));
  const uint32_t lastFrame = rig.now;
  rig.run();
  EXPECT_EQ(rig.status(), kCloneNoAnswer);
  EXPECT_GE(rig.now - lastFrame, 1000u);
  EXPECT_LE(rig.now - lastFrame, 1040u);
}

// A transceiver that answers at once leaves nothing to wait for but the prescribed pauses (the
// 200 ms after the script, 100 ms drain after each open): the steps between them run back to back.
TEST(Engine, StepsThatDoNotWaitRunAtOnce) {
  struct Case {
    const char* what;
    int mode;
    int transType;
    int prescribedMs;
  };
  const Case cases[] = {
      {"identification", kCloneModeIdentify, 3, 200 + 100},
      {"identification, echo cable", kCloneModeIdentify, 1, 200 + 100},
      {"clone read", kCloneModeRead, 3, 100 + 200 + 100},
      {"clone read, echo cable", kCloneModeRead, 1, 100 + 200 + 100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EngineRig rig;
    const bool echo = cmcCloneDrv::kSpeedTable[c.transType].echo;
    rig.connect({.identifySpeeds = {9600}, .echo = echo});
    rig.configure(c.mode, c.transType);
    ASSERT_TRUE(c.mode == kCloneModeIdentify
                    ? rig.engine.StartIdentify(rig.done())
                    : rig.engine.StartRead(cloneconfig::readRanges(), rig.done()));
    const int elapsed = rig.run();
    ASSERT_EQ(rig.status(), kCloneOk);
    EXPECT_GE(elapsed, c.prescribedMs);
    // The pause after the script ends on a tick, and the read's 15 kB may need a second one.
    EXPECT_LE(elapsed, c.prescribedMs + 2 * cmcCloneDrv::kStepMs);
  }
}

// Each data frame restarts the one-second time-out, so only a count can end a stream that never
// stops.
TEST(Engine, EndlessDataFramesEndWithTheDataCounterError) {
  EngineRig rig;
  rig.configure(kCloneModeRead, 3);
  cmcEeprom memory(0x3000);
  QByteArray frame = BuildDataFrame(memory, 0x0100, 32, 0);
  std::swap(frame[2], frame[3]);  // from the transceiver
  bool streaming = false;
  rig.fake->peer = [&](const QByteArray& data) {
    if (data.contains(bytes({0xEE, 0xEF, 0xE2}))) streaming = true;
  };
  ASSERT_TRUE(rig.engine.StartRead(cloneconfig::readRanges(), rig.done()));
  const int limit = cmcCloneDrv::MaxReadFrames(cloneconfig::readRanges());
  EXPECT_GE(limit, 2 * 6304);
  for (int i = 0; i < 100000 && rig.engine.IsBusy(); ++i) {
    if (streaming) rig.fake->input += frame.repeated(4);  // about 38400 baud
    rig.engine.Tick();
    rig.now += cmcCloneDrv::kStepMs;
  }
  EXPECT_FALSE(rig.engine.IsBusy());
  EXPECT_EQ(rig.status(), kCloneCountError);
  EXPECT_EQ(rig.engine.FrameCount(), limit + 1);
}

TEST(Engine, WritesTheRangesAndReadsTheResult) {
  for (bool echo : {false, true}) {
    SCOPED_TRACE(echo ? "echo" : "no echo");
    EngineRig rig;
    SimulatedTransceiver& sim = rig.connect({.identifySpeeds = {19200}, .echo = echo});
    cmcEeprom image(0x3000);
    for (int a = 0; a < 0x3000; ++a) image.setByte(a, static_cast<uint8_t>(a ^ 0x5A));
    rig.configure(kCloneModeWrite, echo ? 0 : 3);
    if (!echo) sim.config().identifySpeeds = {9600};
    ASSERT_TRUE(rig.engine.StartWrite(image, cloneconfig::writeRanges(), rig.done()));
    rig.run();
    ASSERT_EQ(rig.status(), kCloneOk);
    EXPECT_EQ(sim.stats().writesAccepted, 1);
    EXPECT_EQ(rig.progress.back(), std::make_pair(6265, 6265));

    // Every written address arrived, the gaps kept the transceiver's bytes.
    const cmcEeprom blank = SimulatedTransceiver::blankMemory();
    for (int a = 0; a < SimulatedTransceiver::kMemorySize; ++a) {
      const bool gap = (a >= 0x0CF0 && a <= 0x0CFF) || (a >= 0x1881 && a <= 0x1887) || a >= 0x1890;
      ASSERT_EQ(sim.memory().getByte(a), gap ? blank.getByte(a) : image.getByte(a))
          << std::hex << a;
    }
    // Frames cut at 32-byte and range boundaries; the one-byte range gives a one-byte frame.
    std::vector<int> sizes;
    const QByteArray& w = rig.fake->written;
    for (qsizetype i = w.indexOf(bytes({0xFE, 0xEE, 0xEF, 0xE4})); i >= 0;
         i = w.indexOf(bytes({0xFE, 0xEE, 0xEF, 0xE4}), i + 1))
      sizes.push_back(w.mid(i + 8, 2).toInt(nullptr, 16));
    int total = 0;
    for (int n : sizes) {
      EXPECT_LE(n, 32);
      total += n;
    }
    EXPECT_EQ(total, 6265);
    EXPECT_EQ(std::count(sizes.begin(), sizes.end(), 1), 1);
    char count[4];
    std::snprintf(count, sizeof count, "%02X", static_cast<unsigned>(sizes.size() & 0xFF));
    EXPECT_TRUE(w.endsWith(QByteArray("Zelk Inc.") + count + bytes({0xFD})));
    EXPECT_EQ(rig.engine.FrameCount(), static_cast<int>(sizes.size()));
  }
}

TEST(Engine, WriteRejectedOrUnanswered) {
  {
    EngineRig rig;
    rig.connect({.identifySpeeds = {9600}, .faults = {.writeFail = true}});
    rig.configure(kCloneModeWrite, 3);
    ASSERT_TRUE(rig.engine.StartWrite(cmcEeprom(0x3000), cloneconfig::writeRanges(), rig.done()));
    rig.run();
    EXPECT_EQ(rig.status(), kCloneWriteFailed);
  }
  {
    // No answer to the end frame: the write result is awaited for 10 s.
    EngineRig rig;
    SimulatedTransceiver& sim = rig.connect({.identifySpeeds = {9600}});
    rig.configure(kCloneModeWrite, 3);
    ASSERT_TRUE(rig.engine.StartWrite(cmcEeprom(0x3000), cloneconfig::writeRanges(), rig.done()));
    ASSERT_TRUE(rig.runUntil([&] { return rig.engine.State() == cmcCloneDrv::kSendData; }));
    sim.config().faults.silent = true;
    ASSERT_TRUE(rig.runUntil([&] { return rig.engine.State() == cmcCloneDrv::kAwaitWriteResult; }));
    const uint32_t waiting = rig.now;
    rig.run();
    EXPECT_EQ(rig.status(), kCloneNoAnswer);
    EXPECT_GE(rig.now - waiting, 10000u - 20);
    EXPECT_LE(rig.now - waiting, 10040u);
  }
}

TEST(Engine, PortFailures) {
  {
    EngineRig rig;
    rig.fake->failOpen = true;
    rig.configure(kCloneModeRead, 3);
    ASSERT_TRUE(rig.engine.StartRead(cloneconfig::readRanges(), rig.done()));
    rig.run();
    EXPECT_EQ(rig.status(), kClonePortError);
    EXPECT_FALSE(rig.engine.LastOpenError().isEmpty());
  }
  {
    EngineRig rig;
    rig.connect({.identifySpeeds = {9600}});
    rig.fake->acceptLimit = 10;  // the driver takes only part of a chunk
    rig.configure(kCloneModeWrite, 3);
    ASSERT_TRUE(rig.engine.StartWrite(cmcEeprom(0x3000), cloneconfig::writeRanges(), rig.done()));
    rig.run();
    EXPECT_EQ(rig.status(), kCloneShortWrite);
    EXPECT_FALSE(rig.fake->isOpen());
  }
}

TEST(Engine, RefusesWhileBusyAndKeepsTheRunningOperation) {
  EngineRig rig;
  rig.connect({.identifySpeeds = {9600}});
  rig.configure(kCloneModeRead, 3);
  ASSERT_TRUE(rig.engine.StartRead(cloneconfig::readRanges(), rig.done()));
  rig.engine.Tick();
  int other = 0;
  auto count = [&](void*, CloneResult&) { ++other; };
  EXPECT_FALSE(rig.engine.StartIdentify(count));
  EXPECT_FALSE(rig.engine.StartRead(cloneconfig::readRanges(), count));
  EXPECT_FALSE(rig.engine.StartWrite(cmcEeprom(0x3000), cloneconfig::writeRanges(), count));
  rig.run();
  EXPECT_EQ(other, 0);
  EXPECT_EQ(rig.completions, 1);
  EXPECT_EQ(rig.status(), kCloneOk);
  EXPECT_EQ(rig.result->mode, kCloneModeRead);
  // Ranges outside the image are refused before anything starts.
  EXPECT_FALSE(rig.engine.StartWrite(cmcEeprom(0x100), cloneconfig::writeRanges(), count));
  EXPECT_FALSE(rig.engine.IsBusy());
}

TEST(Engine, CompletionMayStartTheNextOperation) {
  EngineRig rig;
  rig.connect({.identifySpeeds = {9600}});
  rig.configure(kCloneModeIdentify, 3);
  int identifications = 0;
  std::function<void(void*, CloneResult&)> again = [&](void*, CloneResult& r) {
    EXPECT_EQ(r.status, kCloneOk);
    if (++identifications < 2) {
      EXPECT_TRUE(rig.engine.StartIdentify(again));
    }
  };
  ASSERT_TRUE(rig.engine.StartIdentify(again));
  rig.run();
  EXPECT_EQ(identifications, 2);
  EXPECT_EQ(rig.sim->stats().identifications, 2);
}

TEST(Engine, RealTaskStepsTheMachine) {
  // Driven by its own 10 ms task instead of the test.
  FakeSerialDevice* fake = new FakeSerialDevice;
  cmcCloneDrv engine{std::unique_ptr<cmcSerialDevice>(fake)};
  SimulatedTransceiver sim({.identifySpeeds = {9600}});
  fake->peer = [&](const QByteArray& data) {
    fake->input += sim.Receive(data, fake->opens.back().settings.baud);
  };
  engine.SetDrainWait(nullptr);
  engine.SetCodes(cloneconfig::kModelCode, cloneconfig::kRequestSubCode);
  cloneconfig::configure(engine, kCloneModeIdentify, {.transType = 3});
  engine.SetScriptDelay(0);
  int status = -1;
  ASSERT_TRUE(engine.StartIdentify([&](void*, CloneResult& r) { status = r.status; }));
  ASSERT_TRUE(waitUntil([&] { return !engine.IsBusy(); }, 3000));
  EXPECT_EQ(status, kCloneOk);
}

TEST(Engine, IdentificationFaultsAndTheApplicationCheck) {
  struct Case {
    const char* what;
    SimulatedTransceiver::Faults faults;
    int engineStatus;
    int checkStatus;
  };
  const Case cases[] = {
      {"good", {}, kCloneOk, kCloneOk},
      {"wrong model", {.wrongModel = true}, kCloneOk, kCloneNoAnswer},
      {"sub code 0005", {.subCode5 = true}, kCloneOk, kCloneIncompatible},
      {"revision 2", {.revision = 2}, kCloneOk, kCloneIncompatible},
      {"other destination", {.otherDestination = true}, kCloneOk, kCloneVersionMismatch},
      {"model byte not BCD", {.nonBcdModel = true}, kCloneIllegalData, -1},
  };
  for (const Case& c : cases) {
    EngineRig rig;
    rig.connect({.identifySpeeds = {9600}, .destination = 4, .faults = c.faults});
    // A malformed reply does not stop the search, so the status is the last row's: start at row 4
    // so that the row that answers (9600 without echo) is tried last.
    rig.configure(kCloneModeIdentify, c.engineStatus == kCloneOk ? 3 : 4);
    // First identification, then the second of the command, which checks the destination.
    ASSERT_TRUE(rig.engine.StartIdentify(rig.done()));
    rig.run();
    if (c.engineStatus == kCloneOk) {
      ASSERT_EQ(rig.status(), kCloneOk) << c.what;
      EXPECT_EQ(cloneconfig::destinationOf(rig.result->cloneInfo), 4) << c.what;
      rig.configure(kCloneModeIdentify, rig.engine.TransType());
      ASSERT_TRUE(rig.engine.StartIdentify(rig.done()));
      rig.run();
      EXPECT_EQ(cloneconfig::checkIdentification(*rig.result, true, 4), c.checkStatus) << c.what;
    } else {
      EXPECT_EQ(rig.status(), c.engineStatus) << c.what;
      EXPECT_EQ(rig.fake->opens.size(), 5u) << c.what;
    }
  }
  // Clone information of another length, and no destination chosen yet.
  CloneResult r;
  r.modelCode = 0x3251;
  r.subCode = 0x0004;
  r.cloneInfo = QByteArray(41, '\1');
  EXPECT_EQ(cloneconfig::checkIdentification(r, false, 0), kCloneIllegalInfo);
  r.cloneInfo = QByteArray(42, '\1');
  EXPECT_EQ(cloneconfig::checkIdentification(r, false, 0), kCloneOk);
  EXPECT_EQ(cloneconfig::checkIdentification(r, true, cloneconfig::kNoDestination),
            kCloneVersionMismatch);
}
