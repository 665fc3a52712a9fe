// The memory sheet on screen, timed where the user waits for it: opening the 0-99 page with every
// channel in use and painting it whole; an arrow key, and one keystroke (Enter in the in-place
// editor) that changes a channel's frequency, until its repaint has finished; scrolling one page
// down; opening a drop-down list and the flag-bits dialog. Each is reported as a ratio to a 60 Hz
// frame (16.7 ms) beside its goal. The build alone (real fonts, width store) shows how the
// opening divides. A soak run (BM_Soak) repeats a long session of keys, scrolls, list choices and
// undo steps and reports the growth of resident memory and of the time per keystroke.
//
// The screen is a 1280 x 800 window by default; with --4k it is 3840 x 2160 device pixels at a
// device pixel ratio of 2 (a 1920 x 1080 window at 200 % scaling), where the goals are twice as
// wide. With --glyphs every text is drawn from its glyphs rather than from kept images of it.
// Runs on the offscreen platform unless another one is asked for.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#ifdef _WIN32
#include <windows.h>
// windows.h first
#include <psapi.h>
#endif
#include <memory>
#include <vector>
#ifndef _WIN32
#include <unistd.h>
#endif

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
#include "sheet/ui/CellPainter.h"
#include "sheet/ui/DocumentUndo.h"
#include "sheet/ui/ScreenMeasure.h"
#include "sheet/ui/SheetWidthStore.h"
#include "sheet/ui/cuiFBitsR.h"
#include "sheet/ui/cuiFlector.h"
#include "sheet/ui/cuiGrid.h"
#include "sheet/ui/cuiSheet.h"

namespace {

constexpr double kFrameSeconds = 1.0 / 60.0;
constexpr const char* kMemoryPage = "[St_ColCut]GI_Sheet_MemoryCH,0,0";
constexpr const char* kCommonPage = "[St_Common]GI_Sheet_Common,7";

// The screen measured: set from the command line before the application starts.
bool g_fourK = false;
QSize windowSize() { return g_fourK ? QSize(1920, 1080) : QSize(1280, 800); }
// The goals of the 1280 x 800 screen; the 4K screen has twice as much time.
double goal(double small) { return g_fourK ? 2 * small : small; }

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
// in use, and a window of the measured size for the sheet.
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

    window.resize(windowSize());
    window.show();
    QApplication::processEvents();
  }

  cuiSheet* open(const char* page = kMemoryPage) {
    cuiSheet* sheet = cuiSheet::open(page, services, &window);
    sheet->setGeometry(window.rect());
    sheet->show();
    return sheet;
  }
  // Paints whatever is pending, now, and deletes what was let go (the program's event loop does
  // that; outside one, processEvents leaves it).
  static void settle() {
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  cmcGTex text;
  cmcCellParser parser{text};
  Document document{factoryImage, &text};
  DocumentSheetEnvironment environment{document.options(), &document.working()};
  ScriptedPrompter prompter;
  cmcEvMan bus;
  std::unique_ptr<FieldCatalogue> catalogue;
  ScreenMeasure measure;
  QTemporaryDir settingsDir;
  indEnviron settings{indEnviron::kMutexName,
                      indEnviron::kKeyPath,
                      indEnviron::kKeyPath,
                      QStringList{"bench"},
                      ScreenSize{windowSize().width(), windowSize().height()},
                      EnvironPlace{settingsDir.path(), settingsDir.path()}};
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
  watch.report(state, goal(0.25));
}

// The timed sections are functions of their own, so a profiler can collect exactly them:
// valgrind --tool=callgrind --collect-atstart=no --toggle-collect='*timedKeystroke*' ...
// Until the sheet's cells have been painted: a new sheet is laid out from the event loop, and the
// window's repaint of it may wait for a later pass of the loop, so it is asked for here.
[[gnu::noinline]] cuiSheet* timedOpen(Program& p) {
  cuiSheet* sheet = p.open();
  Program::settle();
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
  watch.report(state, goal(0.25));
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
  watch.report(state, goal(0.05));
}

[[gnu::noinline]] void timedArrowKey(QWidget* grid, int key) {
  sendKey(grid, key);
  Program::settle();
}

// Down and Up in turn on the frequency column, each until its repaint has finished.
void BM_ArrowKey(benchmark::State& state) {
  Program& p = program();
  std::unique_ptr<cuiSheet> sheet(p.open());
  sheet->repaint();
  sheet->grid()->setFocus();
  sheet->selectCell(CT_Conv, CL_Mch_Freq, 5);
  Program::settle();
  int n = 0;
  Stopwatch watch;
  for (auto _ : state) {
    const SheetPos before = sheet->currentCell();
    watch.start();
    timedArrowKey(sheet->grid(), n++ % 2 ? Qt::Key_Up : Qt::Key_Down);
    watch.stop();
    if (sheet->currentCell() == before) {
      state.SkipWithError("the arrow did not move");
      break;
    }
  }
  watch.report(state, goal(0.05));
}

[[gnu::noinline]] void timedPageScroll(QScrollBar* bar) {
  bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
  Program::settle();
}

// One page down from the top. `firstView`: as if the page had never been shown, without the
// images of texts kept from earlier paints.
void measurePageScroll(benchmark::State& state, bool firstView) {
  Program& p = program();
  std::unique_ptr<cuiSheet> sheet(p.open());
  sheet->repaint();
  QScrollBar* bar = sheet->grid()->verticalScrollBar();
  Stopwatch watch;
  for (auto _ : state) {
    state.PauseTiming();
    sheet->grid()->setTopRow(sheet->model().firstBodyRow());
    Program::settle();
    if (firstView) CellPainter::clearTextImages();
    state.ResumeTiming();

    watch.start();
    timedPageScroll(bar);
    watch.stop();
    if (sheet->grid()->topRow() <= sheet->model().firstBodyRow()) {
      state.SkipWithError("the page did not scroll");
      break;
    }
  }
  watch.report(state, goal(0.1));
}

void BM_PageScroll(benchmark::State& state) { measurePageScroll(state, false); }
void BM_PageScrollFirstView(benchmark::State& state) { measurePageScroll(state, true); }

[[gnu::noinline]] QWidget* timedPopupOpen(cuiSheet* sheet) {
  sendKey(sheet->grid(), Qt::Key_Return, QStringLiteral("\r"));
  Program::settle();
  return sheet->openPopupWindow();
}

// Enter on a cell that opens a window of its own, until the window has been painted; the window
// is closed again outside the timed section.
void measurePopupOpen(benchmark::State& state, const char* page, int link, int index,
                      const char* what) {
  Program& p = program();
  std::unique_ptr<cuiSheet> sheet(p.open(page));
  sheet->repaint();
  sheet->grid()->setFocus();
  Stopwatch watch;
  for (auto _ : state) {
    state.PauseTiming();
    if (!sheet->selectPosition(sheet->model().findSelectableCell(link, index))) {
      state.SkipWithError("no such cell");
      break;
    }
    Program::settle();
    state.ResumeTiming();

    watch.start();
    QWidget* window = timedPopupOpen(sheet.get());
    watch.stop();
    if (!window) {
      state.SkipWithError(what);
      break;
    }
    state.PauseTiming();
    window->close();
    Program::settle();
    state.ResumeTiming();
  }
  watch.report(state, goal(0.1));
}

// The DUP list of channel 5.
void BM_DropDownListOpen(benchmark::State& state) {
  measurePopupOpen(state, kMemoryPage, CL_Mch_Dup, 5, "Enter opened no drop-down list");
}

// The bank links of the common settings.
void BM_FlagBitsDialogOpen(benchmark::State& state) {
  measurePopupOpen(state, kCommonPage, CL_Common_BankLink_A_J, 0,
                   "Enter opened no flag-bits dialog");
}

long residentKib() {
#ifdef _WIN32
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
  return static_cast<long>(counters.WorkingSetSize / 1024);
#else
  long pages = 0;
  long resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
#endif
}

// A long session on the memory sheet: 20,000 keystrokes (arrows around channel 5, and now and
// then its frequency typed and committed), 2,000 page scrolls, 500 choices in the DUP list and 500
// undo or redo steps, interleaved. Reports the resident memory after it minus after the first
// 1,000 operations (goal <= 1 MiB), and the time per keystroke in the last thousand against the
// first thousand (goal: no worse).
void BM_Soak(benchmark::State& state) {
  Program& p = program();
  constexpr int kKeys = 20000;
  constexpr int kScrolls = 2000;
  constexpr int kChoices = 500;
  constexpr int kUndoSteps = 500;
  constexpr int kTotal = kKeys + kScrolls + kChoices + kUndoSteps;
  // Round trips, so that the first and the last thousand keys do the same work.
  const int arrows[] = {Qt::Key_Down, Qt::Key_Down, Qt::Key_Right, Qt::Key_Down,
                        Qt::Key_Up,   Qt::Key_Left, Qt::Key_Up,    Qt::Key_Up};
  for (auto _ : state) {
    std::unique_ptr<cuiSheet> sheet(p.open());
    sheet->repaint();
    sheet->grid()->setFocus();
    sheet->selectCell(CT_Conv, CL_Mch_Freq, 5);
    Program::settle();
    QScrollBar* bar = sheet->grid()->verticalScrollBar();
    std::vector<double> keyTimes;
    keyTimes.reserve(kKeys);
    long rssAfterWarmUp = 0;
    int keys = 0, scrolls = 0, choices = 0, undoSteps = 0, typed = 0;
    bool ok = true;
    for (int op = 0; op < kTotal && ok; ++op) {
      if (op == 1000) rssAfterWarmUp = residentKib();
      // Spread the rarer operations evenly through the keystrokes.
      const int slot = op % 46;
      if (slot < 4 && scrolls < kScrolls) {
        // Two pages down, then two back up.
        bar->triggerAction(slot < 2 ? QAbstractSlider::SliderPageStepAdd
                                    : QAbstractSlider::SliderPageStepSub);
        Program::settle();
        ++scrolls;
      } else if (slot == 4 && choices < kChoices) {
        const int top = bar->value();
        // Down in the list and back up on the same channel: the data ends as it began.
        sheet->selectCell(CT_Conv, CL_Mch_Dup, (choices / 2) % 100);
        sendKey(sheet->grid(), Qt::Key_Return, QStringLiteral("\r"));
        Program::settle();
        auto* list = qobject_cast<cuiFlector*>(sheet->openPopupWindow());
        if (!list) {
          state.SkipWithError("Enter opened no drop-down list");
          ok = false;
          break;
        }
        sendKey(list->sheet()->grid(), choices % 2 ? Qt::Key_Up : Qt::Key_Down);
        sendKey(list->sheet()->grid(), Qt::Key_Return, QStringLiteral("\r"));
        Program::settle();
        // Back to where the keys were, the view as it was: otherwise the choices on channels
        // further down leave the view drifting and the later keys scroll where the first ones
        // never did, and the two thousands would not compare the same work.
        sheet->selectCell(CT_Conv, CL_Mch_Freq, 5);
        bar->setValue(top);
        Program::settle();
        ++choices;
      } else if (slot == 5 && undoSteps < kUndoSteps) {
        if (undoSteps % 2 == 0 && p.undo.canUndo())
          p.undo.undo();
        else if (p.undo.canRedo())
          p.undo.redo();
        sheet->refreshAll();
        Program::settle();
        ++undoSteps;
      } else if (keys < kKeys) {
        const double start = processSeconds();
        if (keys % 100 == 99 && typed < kKeys) {
          // A typed frequency, committed: its characters count as keystrokes of their own.
          sheet->selectCell(CT_Conv, CL_Mch_Freq, 5);
          const QString value = typed++ % 2 ? QStringLiteral("145.5") : QStringLiteral("146.25");
          for (QChar c : value) {
            QWidget* target = sheet->openEditor() ? static_cast<QWidget*>(sheet->openEditor())
                                                  : static_cast<QWidget*>(sheet->grid());
            sendKey(target, c.unicode(), QString(c));
          }
          if (QLineEdit* editor = sheet->openEditor())
            sendKey(editor, Qt::Key_Return, QStringLiteral("\r"));
          Program::settle();
          keys += int(value.size()) + 1;
          const double each = (processSeconds() - start) / double(value.size() + 1);
          for (int i = 0; i <= value.size(); ++i) keyTimes.push_back(each);
        } else {
          sendKey(sheet->grid(), arrows[keys % 8]);
          Program::settle();
          ++keys;
          keyTimes.push_back(processSeconds() - start);
        }
      }
    }
    if (!ok) break;
    const long rssAtEnd = residentKib();
    auto sum = [&](size_t from, size_t to) {
      double total = 0;
      for (size_t i = from; i < to && i < keyTimes.size(); ++i) total += keyTimes[i];
      return total;
    };
    const double first = sum(0, 1000) / 1000.0;
    const double last = sum(keyTimes.size() - 1000, keyTimes.size()) / 1000.0;
    state.counters["rss_growth_kib"] = double(rssAtEnd - rssAfterWarmUp);
    state.counters["rss_growth_of_limit"] = double(rssAtEnd - rssAfterWarmUp) / 1024.0;
    state.counters["key_first_1000_ms"] = first * 1e3;
    state.counters["key_last_1000_ms"] = last * 1e3;
    state.counters["key_last_to_first"] = first > 0 ? last / first : 0;
    state.counters["keys"] = double(keys);
    state.counters["scrolls"] = double(scrolls);
    state.counters["choices"] = double(choices);
    state.counters["undo_steps"] = double(undoSteps);
  }
}

}  // namespace

BENCHMARK(BM_BuildOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenAndFirstPaint)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ArrowKey)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KeystrokeToRepaint)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PageScroll)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PageScrollFirstView)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DropDownListOpen)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FlagBitsDialogOpen)->Unit(benchmark::kMillisecond);
// About a minute.
BENCHMARK(BM_Soak)->Unit(benchmark::kSecond)->Iterations(1);

namespace {
// Whether the program's own option `flag` was given; it is taken out of the arguments that go on
// to Qt and the benchmark library.
bool takeFlag(int& argc, char** argv, const char* flag) {
  bool found = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], flag) != 0) continue;
    found = true;
    for (int j = i; j + 1 < argc; ++j) argv[j] = argv[j + 1];
    --argc;
    --i;
  }
  return found;
}
}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // --4k: 3840 x 2160 device pixels at 200 % scaling.
  g_fourK = takeFlag(argc, argv, "--4k");
  // --glyphs: every text drawn from its glyphs, as before texts were kept as images.
  const bool glyphs = takeFlag(argc, argv, "--glyphs");
  if (g_fourK) qputenv("QT_SCALE_FACTOR", "2");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  if (glyphs) CellPainter::setTextImages(false);
  theProgram = std::make_unique<Program>();
  benchmark::RunSpecifiedBenchmarks();
  theProgram.reset();
  benchmark::Shutdown();
  return 0;
}
