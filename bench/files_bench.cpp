// Saving and re-opening a QEV file and importing a channel list, against the 2 ms each of these
// commands may take.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>

#include "files/channelcsv.h"
#include "files/cmcQevFile.h"
#include "model/ChannelView.h"
#include "model/cmcEeprom.h"
#include "model/memorymap.h"

namespace {

constexpr double kLimitMs = 2.0;

cmcEeprom sampleImage() {
  cmcEeprom img(0x3000);
  for (int a = 0; a < 0x18A0; ++a) img.setByte(a, uint8_t(a * 7 + (a >> 8)));
  return img;
}

void configure(cmcQevFile& qev, cmcEeprom& img) {
  qev.Configure(img);
  qev.setModelCode(kQevModelCode);
  qev.setSubCode(kQevSubCode);
  qev.setBytesPerLine(kQevBytesPerLine);
  qev.setDigestOn(true);
  qev.setSalt(kQevSalt);
  qev.setMapRev(kQevMapRevValue);
  qev.setMapRevHook([](int v) { return v == 1; });
  qev.setEtcDataHook([](int, int& d) {
    d = 0;
    return true;
  });
}

// Milliseconds per operation (wall clock) and that time as a share of the limit (below 1 is
// within it).
void reportRatio(benchmark::State& state, std::chrono::steady_clock::time_point start) {
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count() /
      double(std::max<benchmark::IterationCount>(state.iterations(), 1));
  state.counters["ms_per_op"] = ms;
  state.counters["ratio_to_2ms"] = ms / kLimitMs;
}

// Argument 0: the temporary directory (a disk); 1: a memory file system where there is one, to
// tell the program's own time from the disk's sync.
QString benchDirTemplate(int where) {
  return where == 1 && QFileInfo(QStringLiteral("/dev/shm")).isWritable()
             ? QStringLiteral("/dev/shm/kestrin-bench-XXXXXX")
             : QDir::tempPath() + QStringLiteral("/kestrin-bench-XXXXXX");
}

void BM_QevSave(benchmark::State& state) {
  QTemporaryDir dir(benchDirTemplate(int(state.range(0))));
  const QString path = dir.filePath("bench.qev");
  cmcEeprom img = sampleImage();
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    cmcQevFile qev;
    configure(qev, img);
    if (qev.Write(path, qevCloneRanges()) != kQevOk) state.SkipWithError("write failed");
  }
  reportRatio(state, start);
}
BENCHMARK(BM_QevSave)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_QevOpen(benchmark::State& state) {
  QTemporaryDir dir(benchDirTemplate(int(state.range(0))));
  const QString path = dir.filePath("bench.qev");
  cmcEeprom img = sampleImage();
  {
    cmcQevFile qev;
    configure(qev, img);
    qev.Write(path, qevCloneRanges());
  }
  cmcEeprom target(0x3000);
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    cmcQevFile qev;
    configure(qev, target);
    if (qev.Read(path, qevCloneRanges()) != kQevOk) state.SkipWithError("read failed");
  }
  reportRatio(state, start);
}
BENCHMARK(BM_QevOpen)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Importing a list of 100 channels from a file into the first memory page, with everything the
// import does: reading, clearing the group, converting, repairing and storing.
void BM_CsvImport100(benchmark::State& state) {
  DestinationOptions options;
  options.destination = 0;
  options.highPower = true;
  cmcEeprom defaults(memmap::kImageSize);
  ChannelFields t;
  t.frequency = 146010000;
  t.offset = 600000;
  ChannelView::encodeStateRecord(defaults, memmap::kTemplate, t, options);
  cmcEeprom working(memmap::kImageSize);
  working.assign(defaults);
  ChannelView v(working, options);
  for (int i = 0; i < 100; ++i) {
    v.load(kKindConventional, i);
    v.inUse = true;
    v.frequency = 144000000 + uint32_t(i) * 25000;
    v.duplex = i % 3;
    v.offset = 600000;
    v.toneMode = i % 7;
    v.tone = i % 50;
    v.setName("CH", 2);
    v.store();
  }
  ChannelCsv csv(working, defaults, options, CsvSeparators{});
  QTemporaryDir dir(benchDirTemplate(0));
  const QString path = dir.filePath("list.csv");
  if (!csv.ExportChannels(path, ChannelGroup::Memory0)) state.SkipWithError("export failed");

  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    if (!csv.ImportChannels(path, ChannelGroup::Memory0)) state.SkipWithError("import failed");
  }
  reportRatio(state, start);
}
BENCHMARK(BM_CsvImport100)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
