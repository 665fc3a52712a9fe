// Decoding and re-encoding every channel of an image: the work a sheet repaint, an import or a
// normalisation does per channel. The limit is 1 µs per channel; the ratio counter is time per
// channel divided by that limit.
#include <benchmark/benchmark.h>

#include "model/ChannelView.h"
#include "model/cmcEeprom.h"
#include "model/memorymap.h"

namespace {

constexpr int kConventional = 307;
constexpr int kFunction = 2;
constexpr double kLimitSeconds = 1e-6;

cmcEeprom filledImage(const DestinationOptions& options) {
  cmcEeprom img(memmap::kImageSize);
  ChannelView view(img, options);
  for (int i = 0; i < kConventional; ++i) {
    view.load(kKindConventional, i);
    view.frequency = 144000000 + uint32_t(i) * 6250;  // a mix of both units
    view.offset = 600000;
    view.duplex = i % 3;
    view.toneMode = i % 7;
    view.tone = i % 50;
    view.bank = i % 11;
    view.setName("BENCH", 5);
    view.inUse = i % 5 != 0;
    view.store();
  }
  for (int i = 0; i < kFunction; ++i) {
    view.load(kKindFunction, i);
    view.frequency = 145012500;
    view.store();
  }
  return img;
}

void setCounters(benchmark::State& state, int channels) {
  state.counters["time_per_channel"] = benchmark::Counter(
      channels, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.counters["ratio_to_1us_limit"] =
      benchmark::Counter(channels * kLimitSeconds, benchmark::Counter::kIsIterationInvariantRate |
                                                       benchmark::Counter::kInvert);
}

void BM_DecodeEncodeAllChannels(benchmark::State& state) {
  DestinationOptions options;
  cmcEeprom img = filledImage(options);
  ChannelView view(img, options);
  for (auto _ : state) {
    for (int i = 0; i < kConventional; ++i) {
      view.load(kKindConventional, i);
      view.store();
    }
    for (int i = 0; i < kFunction; ++i) {
      view.load(kKindFunction, i);
      view.store();
    }
    benchmark::DoNotOptimize(img.data());
    benchmark::ClobberMemory();
  }
  setCounters(state, kConventional + kFunction);
}
BENCHMARK(BM_DecodeEncodeAllChannels);

void BM_DecodeAllChannels(benchmark::State& state) {
  DestinationOptions options;
  cmcEeprom img = filledImage(options);
  ChannelView view(img, options);
  uint64_t sum = 0;
  for (auto _ : state) {
    for (int i = 0; i < kConventional; ++i) {
      view.load(kKindConventional, i);
      sum += view.frequency;
    }
    for (int i = 0; i < kFunction; ++i) {
      view.load(kKindFunction, i);
      sum += view.frequency;
    }
    benchmark::DoNotOptimize(sum);
  }
  setCounters(state, kConventional + kFunction);
}
BENCHMARK(BM_DecodeAllChannels);

}  // namespace

BENCHMARK_MAIN();
