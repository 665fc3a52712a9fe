// Printing, timed where the user waits: every sheet of the tree of a fully used image (all 207
// channels of the memory pages, scan edges and call channel in use and named, every option on)
// laid out and written to a PDF file, as a ratio to 1 second per 10 pages (goal 0.5); and the
// preview of the memory sheet opened on its first page once the pages are laid out, as a ratio to
// a 60 Hz frame (goal 1). Processor time, so that waits for a shared processor do not count.
// Runs on the offscreen platform unless another one is asked for.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>

#include "base/prompter.h"
#include "gtex/cellmarkup.h"
#include "gtex/cmcGTex.h"
#include "model/ChannelView.h"
#include "model/catalogue.h"
#include "model/cmcCellCapsule.h"
#include "model/document.h"
#include "print/PrintLayout.h"
#include "print/PrintPdf.h"
#include "print/cuiPreview.h"
#include "resources/embedded_text.h"
#include "resources/factory/factory_images.h"
#include "sheet/core/DocumentCompare.h"
#include "sheet/core/SheetEnvironment.h"

namespace {

constexpr double kFrameSeconds = 1.0 / 60.0;
constexpr double kSecondsPerTenPages = 1.0;
constexpr const char* kMemoryPage = "[St_ColCut]GI_Sheet_MemoryCH,0,0";

using Clock = std::chrono::steady_clock;

double wallSeconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

double processSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct Program {
  Program() {
    const EmbeddedText main = mainResourceText();
    text.setSource(main.lines, main.count);
    document.setOptionBits(0x0F);
    document.setDestination(0);
    document.newDocument();
    for (int ch = 0; ch <= 206; ++ch) {
      ChannelView v(document.working(), document.options());
      v.load(kKindConventional, ch);
      v.inUse = true;
      v.frequency = 144000000u + static_cast<uint32_t>(ch) * 25000u;
      char name[7];
      std::snprintf(name, sizeof name, "CH%03d ", ch);
      v.setName(name, 6);
      v.commit();
    }
    CatalogueServices c;
    c.document = &document;
    c.text = &text;
    c.prompter = &prompter;
    catalogue = std::make_unique<FieldCatalogue>(c);
    environment =
        std::make_unique<DocumentSheetEnvironment>(document.options(), &document.working());
    sources.text = &text;
    sources.parser = &parser;
    sources.environment = environment.get();
    sources.catalogue = catalogue.get();
    sources.version = "1.00";
  }

  cmcGTex text;
  cmcCellParser parser{text};
  Document document{factoryImage, &text};
  ScriptedPrompter prompter;
  std::unique_ptr<FieldCatalogue> catalogue;
  std::unique_ptr<DocumentSheetEnvironment> environment;
  PrintPdfSources sources;
};
std::unique_ptr<Program> theProgram;

void BM_PrintAllSheetsToPdf(benchmark::State& state) {
  Program& p = *theProgram;
  QTemporaryDir dir;
  const std::vector<QByteArray> calls = treePages(p.text, p.parser);
  double cpu = 0;
  double wall = 0;
  int pages = 0;
  for (auto _ : state) {
    QString error;
    const double start = processSeconds();
    const Clock::time_point started = Clock::now();
    pages = writeSheetsPdf(p.sources, calls, dir.filePath("all.pdf"), error);
    cpu += processSeconds() - start;
    wall += wallSeconds(started);
    if (pages <= 0) state.SkipWithError(error.toUtf8().constData());
  }
  const double limit = kSecondsPerTenPages * pages / 10.0 * static_cast<double>(state.iterations());
  state.counters["pages"] = pages;
  state.counters["ratio_to_limit"] = cpu / limit;
  state.counters["wall_ratio"] = wall / limit;
  state.counters["goal"] = 0.5;
}

void BM_PreviewOpenAfterLayout(benchmark::State& state) {
  Program& p = *theProgram;
  QBuffer out;
  out.open(QIODevice::WriteOnly);
  QPdfWriter writer(&out);
  writer.setResolution(600);
  writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
  PrintServices services;
  services.sheet.text = &p.text;
  services.sheet.parser = &p.parser;
  services.sheet.environment = p.environment.get();
  FieldCatalogue* catalogue = p.catalogue.get();
  services.answer = [catalogue](cmcCellCapsule& r) { catalogue->dispatch(r, false); };
  services.version = "1.00";
  PrintLayout layout(services, writer);
  const std::vector<PrintPage> pages = layout.layoutSheet(kMemoryPage);
  double cpu = 0;
  double wall = 0;
  for (auto _ : state) {
    const double start = processSeconds();
    const Clock::time_point started = Clock::now();
    cuiPreview preview(layout, p.text, 96);
    preview.setPages(pages);
    cpu += processSeconds() - start;
    wall += wallSeconds(started);
    benchmark::DoNotOptimize(preview.pageImage().isNull());
  }
  const double frames = kFrameSeconds * static_cast<double>(state.iterations());
  state.counters["ratio_to_frame"] = cpu / frames;
  state.counters["wall_ratio"] = wall / frames;
  state.counters["goal"] = 1.0;
}

}  // namespace

BENCHMARK(BM_PrintAllSheetsToPdf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PreviewOpenAfterLayout)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  theProgram = std::make_unique<Program>();
  benchmark::RunSpecifiedBenchmarks();
  theProgram.reset();
  benchmark::Shutdown();
  return 0;
}
