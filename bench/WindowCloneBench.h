// The clone commands run from the window against the transceiver simulated inside the program,
// with the "Cloning" window painting, measured against the limit the line sets: the bytes on the
// line at their speeds plus the waits the protocol prescribes (the 100 ms input drain at every
// opening of the port and the 200 ms pause after the script that starts each operation of the
// engine). One benchmark program per command includes this once.
#pragma once

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "app/TForm1.h"
#include "app/cuiMenu.h"
#include "app/indMain.h"
#include "base/cmcEvMan.h"
#include "base/prompter.h"
#include "clone/SimulatedSerialDevice.h"
#include "clone/SystemSerialDevice.h"
#include "clone/indCloneMan.h"
#include "files/indEnviron.h"
#include "gtex/celllinks.h"
#include "gtex/cmcGTex.h"
#include "resources/embedded_text.h"
#include "resources/factory/factory_images.h"

namespace {
constexpr double kDrainSeconds = 0.100;
constexpr double kScriptPauseSeconds = 0.200;

bool waitFor(const std::function<bool()>& done, int ms) {
  QElapsedTimer t;
  t.start();
  QTimer wake;
  wake.start(2);
  while (!done()) {
    if (t.elapsed() > ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  }
  return true;
}

// One clone command of the main menu and how to tell that it ended well.
struct WindowCloneCommand {
  const char* title;                              // the heading of the table
  const char* name;                               // in the message when it does not end cleanly
  int link;                                       // the menu item
  int operations;                                 // engine operations beside the identifications
  std::function<void(ScriptedPrompter&)> answer;  // the questions it will ask
  std::function<bool(indMain&, const ScriptedPrompter&)> finished;
  std::function<bool(const ScriptedPrompter&, SimulatedSerialDevice&)> clean;
};

struct Result {
  bool ok = false;
  double measured = 0;
  double limit = 0;
  int progressBeats = 0;
};

Result cloneFromWindow(const WindowCloneCommand& command, bool highSpeed) {
  Result r;
  QTemporaryDir dir;
  const EnvironPlace place{dir.path(), dir.path()};
  {
    indEnviron first(QString::fromLatin1(indEnviron::kMutexName),
                     QString::fromLatin1(indEnviron::kKeyPath), QString(), {"kestrin"},
                     ScreenSize{1400, 900}, place);
    first.setDestinationCode(0);
    first.setComPortPath(QString::fromLatin1(SimulatedSerialDevice::kPortName));
    first.setComSpeedHigh(highSpeed ? 1 : 0);
    first.setTransType(0);
    first.save();
  }
  auto settings = std::make_unique<indEnviron>(
      QString::fromLatin1(indEnviron::kMutexName), QString::fromLatin1(indEnviron::kKeyPath),
      QString(), QStringList{"kestrin"}, ScreenSize{1400, 900}, place);
  cmcGTex text;
  const EmbeddedText main = mainResourceText();
  text.setSource(main.lines, main.count);
  cmcHelpGTex help;
  const EmbeddedText map = helpTopicMapText();
  help.setSource(map.lines, map.count);
  auto bus = std::make_unique<cmcEvMan>();
  ScriptedPrompter prompter;
  AppSeams seams;
  seams.prompter = &prompter;
  seams.programDirectory = dir.path();
  auto app = std::make_unique<indMain>(AppObjects{settings.get(), &text, &help, bus.get()},
                                       std::move(seams));
  SimulatedSerialDevice::Options so;
  so.memoryPath = dir.filePath("simulated-transceiver.qev");
  so.factory = &factoryImage;
  auto device = std::make_unique<SimulatedSerialDevice>(std::move(so));
  SimulatedSerialDevice* sim = device.get();
  static_cast<SystemSerialDevice*>(app->cloneManager().engine().Port().device())
      ->setSimulator(std::move(device));
  app->start();
  waitFor([&] { return app->form() && app->form()->isVisible(); }, 5000);
  waitFor([] { return false; }, 200);  // let the first sheet settle

  int lastLit = -1;
  QTimer watch;  // counts the progress window's repaints of new cells
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (cuiProgress* p = app->progressWindow(); p && p->litCells() != lastLit) {
      lastLit = p->litCells();
      ++r.progressBeats;
    }
  });
  watch.start(5);

  QAction* action = app->mainMenu()->actionFor(command.link);
  if (command.answer) command.answer(prompter);
  QElapsedTimer t;
  int identifications = 0;
  cmcEvHook hook(*bus, [&](const cmcEvent& e) {
    if (e.code == 41) ++identifications;
    if (e.code >= 41 && e.code <= 43 && qEnvironmentVariableIsSet("KESTRIN_BENCH_TRACE"))
      std::printf("    event %d at %.3f s (line busy so far %.3f s, %d openings)\n", e.code,
                  t.nsecsElapsed() / 1e9, sim->traffic().lineNs / 1e9, sim->traffic().opens);
  });
  t.start();
  action->trigger();
  const bool finished = waitFor([&] { return command.finished(*app, prompter); }, 120000);
  r.measured = t.nsecsElapsed() / 1e9;
  const SimulatedSerialDevice::Traffic& traffic = sim->traffic();
  const int operations = identifications + command.operations;
  r.limit = traffic.lineNs / 1e9 + traffic.opens * kDrainSeconds + operations * kScriptPauseSeconds;
  r.ok = finished && command.clean(prompter, *sim);
  if (!r.ok)
    std::fprintf(stderr, "%s did not finish cleanly: %s\n", command.name,
                 qPrintable(prompter.texts().join(" | ")));
  std::printf("  %d bytes sent, %d answered, line busy %.3f s; %d openings, %d operations\n",
              int(traffic.bytesSent), int(traffic.bytesAnswered), traffic.lineNs / 1e9,
              traffic.opens, operations);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  app.reset();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  return r;
}

int runWindowCloneBench(int argc, char** argv, const WindowCloneCommand& command) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  const bool quick = application.arguments().contains("--quick");
  std::printf("%-28s %10s %10s %8s %8s\n", command.title, "measured", "limit", "ratio", "repaints");
  bool allWithin = true;
  for (const bool high : quick ? std::vector<bool>{true} : std::vector<bool>{true, false}) {
    const Result r = cloneFromWindow(command, high);
    if (!r.ok) return 1;
    const double ratio = r.measured / r.limit;
    allWithin = allWithin && ratio <= 1.05;
    std::printf("%-28s %9.3fs %9.3fs %8.3f %8d\n", high ? "38400 baud" : "9600 baud", r.measured,
                r.limit, ratio, r.progressBeats);
  }
  std::printf(
      "limit: bytes on the line at their speeds + 100 ms per opening of the port + 200 ms after\n"
      "       the script of each engine operation; target ratio <= 1.05: %s\n",
      allWithin ? "met" : "NOT met");
  return allWithin ? 0 : 1;
}
}  // namespace
