// Building a sheet from the main resource text: the work done when the user picks a page in the
// tree, which must fit in one frame at 60 Hz (16.7 ms). The ratio counter is the time per build
// divided by that limit.
#include <benchmark/benchmark.h>

#include <chrono>

#include "gtex/cmcGTex.h"
#include "resources/embedded_text.h"
#include "sheet/core/SheetModel.h"

namespace {

constexpr double kFrameSeconds = 1.0 / 60.0;

void buildSheet(benchmark::State& state, const char* callString) {
  // One reader for the whole run, as the program keeps it; its index is warm after the first.
  cmcGTex text;
  const EmbeddedText main = mainResourceText();
  text.setSource(main.lines, main.count);
  SheetServices services;
  services.text = &text;
  int rows = 0;
  double seconds = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    auto sheet = SheetModel::create(callString, services);
    sheet->build();
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rows = sheet->rowCount();
    benchmark::DoNotOptimize(sheet.get());
  }
  state.counters["rows"] = rows;
  // Wall time per build over the frame.
  state.counters["ratio_to_frame"] =
      benchmark::Counter(seconds / kFrameSeconds, benchmark::Counter::kAvgIterations);
}

void BM_MemoryPage(benchmark::State& state) { buildSheet(state, "[St_ColCut]GI_Sheet_MemoryCH,1,100"); }
void BM_MarinePage(benchmark::State& state) { buildSheet(state, "[St_ColCut]GI_Sheet_MarineCH,4"); }
void BM_CommonPage(benchmark::State& state) { buildSheet(state, "[St_Common]GI_Sheet_Common,7"); }
void BM_DtmfPage(benchmark::State& state) { buildSheet(state, "GI_Sheet_DTMF_Memory,6"); }

}  // namespace

BENCHMARK(BM_MemoryPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MarinePage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CommonPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DtmfPage)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
