// The clone engine on an in-memory port with a fake clock, against whatever a transceiver or a
// broken cable might send. Every operation ends, exactly once, with a status its mode can produce,
// and leaves the port closed. The input picks the operation and the line, then gives the bytes
// that arrive, in chunks, each after a pause of some ticks.
#include <algorithm>
#include <set>

#include "base/cmcTick.h"
#include "clone/cloneconfig.h"
#include "clone/cmcCloneDrv.h"
#include "clone/fakeport.h"
#include "fuzz_support.h"
#include "model/cmcEeprom.h"
#include "model/memorymap.h"

namespace {

const std::set<int>& statusesOf(int mode) {
  static const std::set<int> identify{kCloneOk,       kClonePortError,   kCloneEchoError,
                                      kCloneNoAnswer, kCloneIllegalData, kCloneShortWrite};
  static const std::set<int> read{
      kCloneOk,         kClonePortError,     kCloneEchoError,    kCloneNoAnswer,  kCloneIllegalData,
      kCloneCountError, kCloneNotEnoughData, kCloneDataOverflow, kCloneShortWrite};
  static const std::set<int> write{kCloneOk,       kClonePortError,   kCloneEchoError,
                                   kCloneNoAnswer, kCloneWriteFailed, kCloneShortWrite};
  return mode == kCloneModeIdentify ? identify : mode == kCloneModeRead ? read : write;
}

struct Chunk {
  int pauseTicks;
  QByteArray bytes;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::ensureApplication();
  // Three bytes of set-up: the operation, the speed row, the line; then chunks of
  // [pause in ticks][length, two bytes, big-endian][bytes].
  if (size < 3) return 0;
  const int mode = kCloneModeIdentify + data[0] % 3;
  cloneconfig::Settings settings;
  settings.transType = data[1] % cmcCloneDrv::kSpeedRows;
  const uint8_t line = data[2];
  settings.highSpeed = !(line & 0x80);
  std::vector<Chunk> chunks;
  for (size_t at = 3; at + 3 <= size;) {
    Chunk c;
    c.pauseTicks = data[at];
    const size_t length =
        std::min<size_t>((size_t(data[at + 1]) << 8 | data[at + 2]), size - at - 3);
    c.bytes =
        QByteArray(reinterpret_cast<const char*>(data + at + 3), static_cast<qsizetype>(length));
    chunks.push_back(std::move(c));
    at += 3 + length;
  }

  uint32_t now = 50000;
  ScopedTickClock clock([&now] { return now; });
  auto* fake = new FakeSerialDevice;
  fake->echo = line & 1;                               // a cable that returns what is sent
  fake->failOpen = (line & 0x0E) == 0x0E;              // no such port
  fake->acceptLimit = (line & 0x70) == 0x70 ? 5 : -1;  // a port that writes short
  cmcCloneDrv engine{std::unique_ptr<cmcSerialDevice>(fake)};
  engine.SetDrainWait([&now](int ms) { now += static_cast<uint32_t>(ms); });
  engine.SetCodes(cloneconfig::kModelCode, cloneconfig::kRequestSubCode);
  engine.SetImageSize(memmap::kImageSize);
  cloneconfig::configure(engine, mode, settings);

  int completions = 0;
  int status = -1;
  auto done = [&](void*, CloneResult& r) {
    ++completions;
    status = r.status;
  };
  cmcEeprom image(memmap::kImageSize);
  for (int a = 0; a < image.size(); ++a) image.setByte(a, static_cast<uint8_t>(a * 13));
  bool started = false;
  if (mode == kCloneModeIdentify) started = engine.StartIdentify(done);
  if (mode == kCloneModeRead) started = engine.StartRead(cloneconfig::readRanges(), done);
  if (mode == kCloneModeWrite) started = engine.StartWrite(image, cloneconfig::writeRanges(), done);
  FUZZ_CHECK(started);

  // The longest a finite stream can keep it going: every pause, then the speed search's five
  // attempts or the 10 s write result, far apart.
  size_t next = 0;
  int pause = chunks.empty() ? 0 : chunks[0].pauseTicks;
  int ticks = 0;
  const int limit = 256 * static_cast<int>(chunks.size()) + 5000;
  for (; ticks < limit && engine.IsBusy(); ++ticks) {
    if (next < chunks.size() && pause-- <= 0) {
      if (fake->isOpen()) fake->input += chunks[next].bytes;
      if (++next < chunks.size()) pause = chunks[next].pauseTicks;
    }
    engine.Tick();
    now += cmcCloneDrv::kStepMs;
  }
  FUZZ_CHECK(!engine.IsBusy(), "mode %d still running after %d ticks", mode, ticks);
  FUZZ_CHECK(completions == 1, "%d completions", completions);
  FUZZ_CHECK(statusesOf(mode).count(status) == 1, "mode %d ended with status %d", mode, status);
  FUZZ_CHECK(!fake->isOpen(), "the port stayed open");
  return 0;
}
