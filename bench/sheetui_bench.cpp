// The memory sheet on screen, timed where the user waits for it: opening the 0-99 page with every
// channel in use and painting it whole into a 1280 x 800 window; one keystroke (Enter in the
// in-place editor) that changes a channel's frequency, until its repaint has finished; scrolling
// one page down. Each is reported as a ratio to a 60 Hz frame (16.7 ms); the goals are 0.5, 0.1
// and 0.25 of a frame. The build alone (real fonts, width store) shows how the opening divides.
// Runs on the offscreen platform unless another one is asked for.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <chrono>
#include <ctime>
#include <memory>

#include "base/cmcEvMan.h"
#include "base/prompter.h"
#include "files/indEnviron.h"
#include "gtex/celllinks.h"
#include "gtex/cellmarkup.h"
#include "gtex/cmcGTex.h"
#include "model/ChannelView.h"
#include "model/catalogue.h"
#include "model/document.h"
#include "resources/embedded_text.h"
#include "resources/factory/factory_images.h"
#include "sheet/core/SheetEnvironment.h"
#include "sheet/ui/DocumentUndo.h"
#include "sheet/ui/ScreenMeasure.h"
#include "sheet/ui/SheetWidthStore.h"
#include "sheet/ui/cuiGrid.h"
#include "sheet/ui/cuiSheet.h"

namespace {

constexpr double kFrameSeconds = 1.0 / 60.0;
constexpr const char* kMemoryPage = "[St_ColCut]GI_Sheet_MemoryCH,0,0";

using Clock = std::chrono::steady_clock;

// The processor time of the program (the user-interface thread and any helper thread Qt paints
// with): on a machine shared with other work the wall time also counts the waits for a
// processor, which say nothing about the program.
double processSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Sums the timed sections of a benchmark, in processor and in wall time.
class Stopwatch {
 public:
  void start() {
    wallStart_ = Clock::now();
    cpuStart_ = processSeconds();
  }
  void stop() {
    cpu_ += processSeconds() - cpuStart_;
    wall_ += std::chrono::duration<double>(Clock::now() - wallStart_).count();
  }
  // Ratios to a frame per iteration: "ratio_to_frame" from the processor time, "wall_ratio" from
  // the wall time, beside the goal.
  void report(benchmark::State& state, double goal) const {
    state.counters["ratio_to_frame"] =
        benchmark::Counter(cpu_ / kFrameSeconds, benchmark::Counter::kAvgIterations);
    state.counters["wall_ratio"] =
        benchmark::Counter(wall_ / kFrameSeconds, benchmark::Counter::kAvgIterations);
    state.counters["goal"] = goal;
  }

 private:
  Clock::time_point wallStart_;
  double cpuStart_ = 0;
  double cpu_ = 0;
  double wall_ = 0;
};

// The application's objects as the program makes them, with all 100 channels of the first page
// in use, and a 1280 x 800 window for the sheet.
class Program {
 public:
  Program() {
    const EmbeddedText main = mainResourceText();
    text.setSource(main.lines, main.count);
    document.setDestination(0);
    document.newDocument();
    for (int ch = 0; ch < 100; ++ch) {
      ChannelView v(document.working(), document.options());
      v.load(kKindConventional, ch);
      v.inUse = true;
      v.frequency = 144000000u + static_cast<uint32_t>(ch) * 25000u;
      v.commit();
    }
    document.markSaved();

    CatalogueServices c;
    c.document = &document;
    c.text = &text;
    c.prompter = &prompter;
    c.bus = &bus;
    catalogue = std::make_unique<FieldCatalogue>(c);

    services.sheet.text = &text;
    services.sheet.parser = &parser;
    services.sheet.environment = &environment;
    services.sheet.measure = &measure;
    services.sheet.widths = &widths;
    services.sheet.bus = &bus;
    services.catalogue = catalogue.get();
    services.document = &document;
    services.prompter = &prompter;
    services.undo = &undo;

    window.resize(1280, 800);
    window.show();
    QApplication::processEvents();
  }

  cuiSheet* open() {
    cuiSheet* sheet = cuiSheet::open(kMemoryPage, services, &window);
    sheet->setGeometry(window.rect());
    sheet->show();
    return sheet;
  }
  // Paints whatever is pending, now.
  static void settle() { QApplication::processEvents(); }

  cmcGTex text;
  cmcCellParser parser{text};
  Document document{factoryImage, &text};
  DocumentSheetEnvironment environment{document.options(), &document.working()};
  ScriptedPrompter prompter;
  cmcEvMan bus;
  std::unique_ptr<FieldCatalogue> catalogue;
  ScreenMeasure measure;
  QTemporaryDir settingsDir;
  indEnviron settings{indEnviron::kMutexName, indEnviron::kKeyPath,
                      indEnviron::kKeyPath,   QStringList{"bench"},
                      ScreenSize{1280, 800},  EnvironPlace{settingsDir.path(), settingsDir.path()}};
  SettingsWidthStore widths{settings, text};
  DocumentUndo undo{document};
  SheetUiServices services;
  QWidget window;
};

// Made in main() after the QApplication and gone before it: widgets must not outlive it.
std::unique_ptr<Program> theProgram;
Program& program() { return *theProgram; }

void BM_BuildOnly(benchmark::State& state) {
  Program& p = program();
  SheetServices services = p.services.sheet;
  Stopwatch watch;
  for (auto _ : state) {
    watch.start();
    auto sheet = SheetModel::create(kMemoryPage, services);
    sheet->build();
    watch.stop();
  }
  watch.report(state, 0.5);
}

// The timed sections are functions of their own, so a profiler can collect exactly them:
// valgrind --tool=callgrind --collect-atstart=no --toggle-collect='*timedKeystroke*' ...
[[gnu::noinline]] cuiSheet* timedOpen(Program& p) {
  cuiSheet* sheet = p.open();
  sheet->repaint();
  return sheet;
}

void BM_OpenAndFirstPaint(benchmark::State& state) {
  Program& p = program();
  Stopwatch watch;
  for (auto _ : state) {
    watch.start();
    cuiSheet* sheet = timedOpen(p);
    watch.stop();
    state.PauseTiming();
    delete sheet;
    Program::settle();
    state.ResumeTiming();
  }
  watch.report(state, 0.5);
  // To look at what was painted: KESTRIN_BENCH_SHOT=<file.png>.
  const QString shot = qEnvironmentVariable("KESTRIN_BENCH_SHOT");
  if (!shot.isEmpty()) {
    std::unique_ptr<cuiSheet> sheet(p.open());
    sheet->grab().save(shot);
  }
}

void sendKey(QWidget* target, int key, const QString& text = QString()) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
  QApplication::sendEvent(target, &press);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
  QApplication::sendEvent(target, &release);
}

[[gnu::noinline]] void timedKeystroke(QLineEdit* editor) {
  sendKey(editor, Qt::Key_Return, QStringLiteral("\r"));
  Program::settle();
}

void BM_KeystrokeToRepaint(benchmark::State& state) {
  Program& p = program();
  std::unique_ptr<cuiSheet> sheet(p.open());
  sheet->repaint();
  sheet->grid()->setFocus();
  const QString frequencies[] = {QStringLiteral("145.5"), QStringLiteral("146.25")};
  int n = 0;
  Stopwatch watch;
  for (auto _ : state) {
    state.PauseTiming();
    // Channel 5's frequency, typed into the in-place editor.
    sheet->selectCell(CT_Conv, CL_Mch_Freq, 5);
    const QString typed = frequencies[n++ % 2];
    // The first character opens the editor on the cell; the rest go into it.
    for (QChar c : typed) {
      QWidget* target = sheet->openEditor() ? static_cast<QWidget*>(sheet->openEditor())
                                            : static_cast<QWidget*>(sheet->grid());
      sendKey(target, c.unicode(), QString(c));
    }
    QLineEdit* editor = sheet->openEditor();
    if (!editor) {
      state.SkipWithError("typing did not open the in-place editor");
      break;
    }
    Program::settle();
    state.ResumeTiming();

    watch.start();
    timedKeystroke(editor);
    watch.stop();
  }
  // Every keystroke must have changed the channel: the last one left its value.
  ChannelView channel(p.document.working(), p.document.options());
  channel.load(kKindConventional, 5);
  const uint32_t expected = n % 2 ? 145500000u : 146250000u;
  if (n > 0 && channel.frequency != expected) state.SkipWithError("the frequency did not change");
  watch.report(state, 0.1);
}

[[gnu::noinline]] void timedPageScroll(QScrollBar* bar) {
  bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
  Program::settle();
}

void BM_PageScroll(benchmark::State& state) {
  Program& p = program();
  std::unique_ptr<cuiSheet> sheet(p.open());
  sheet->repaint();
  QScrollBar* bar = sheet->grid()->verticalScrollBar();
  Stopwatch watch;
  for (auto _ : state) {
    state.PauseTiming();
    sheet->grid()->setTopRow(sheet->model().firstBodyRow());
    Program::settle();
    state.ResumeTiming();

    watch.start();
    timedPageScroll(bar);
    watch.stop();
    if (sheet->grid()->topRow() <= sheet->model().firstBodyRow()) {
      state.SkipWithError("the page did not scroll");
      break;
    }
  }
  watch.report(state, 0.25);
}

}  // namespace

BENCHMARK(BM_BuildOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenAndFirstPaint)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KeystrokeToRepaint)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PageScroll)->Unit(benchmark::kMillisecond);

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
