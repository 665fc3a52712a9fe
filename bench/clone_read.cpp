// A full clone read against kestrin-sim pacing its output at the line's byte rate, at 38400 and
// at 9600 baud, compared with the physical limit: the bytes the protocol must move at those line
// rates plus the waits the protocol prescribes. Run: bin/bench_clone_read [--quick]
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>
#include <cstdio>
#include <optional>

#include "clone/cloneconfig.h"
#include "clone/cmcCloneDrv.h"
#include "model/memorymap.h"

namespace {
struct Run {
  const char* name;
  bool highSpeed;
  bool echo;
};

// Bytes on the line for one clone read of the whole clone range.
constexpr int kScriptBytes = 20 + 12;                 // preamble and speed-change frame
constexpr int kRequestBytes = 12 + 10;                // preamble and read request
constexpr int kDataFrames = 197;                      // 6304 bytes in frames of 32
constexpr int kTransceiverBytes = kDataFrames * 78 + 17;  // data frames and the end frame
// Two input drains (after the reopen for the speed change and at the clone speed) and the pause
// after the speed change.
constexpr double kPrescribedWaits = 2 * 0.100 + 0.200;

double physicalLimit(int scriptBaud, int cloneBaud) {
  return kPrescribedWaits + kScriptBytes / (scriptBaud / 10.0) + (kRequestBytes + kTransceiverBytes) / (cloneBaud / 10.0);
}

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
}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QString sim = QCoreApplication::applicationDirPath() + "/kestrin-sim";
  const bool quick = app.arguments().contains("--quick");

  std::vector<Run> runs{{"38400 baud", true, false}, {"9600 baud", false, false}};
  if (!quick) runs.push_back({"38400 baud, echo cable", true, true});

  std::printf("%-24s %10s %10s %8s\n", "clone read", "measured", "limit", "ratio");
  bool allWithin = true;
  for (const Run& run : runs) {
    QProcess process;
    QStringList args{"--pace", "--speeds", "9600"};
    if (run.echo) args << "--echo";
    process.start(sim, args);
    if (!process.waitForStarted(5000) || !process.waitForReadyRead(5000)) {
      std::fprintf(stderr, "cannot start %s (build the kestrin-sim target first)\n", qPrintable(sim));
      return 2;
    }
    const QString device = QString::fromLocal8Bit(process.readLine()).trimmed();

    cmcCloneDrv engine;
    engine.SetCodes(cloneconfig::kModelCode, cloneconfig::kRequestSubCode);
    engine.SetImageSize(memmap::kImageSize);
    cloneconfig::Settings settings;
    settings.portName = device;
    settings.transType = run.echo ? 1 : 3;  // 9600 with or without echo
    settings.highSpeed = run.highSpeed;
    cloneconfig::configure(engine, kCloneModeRead, settings);
    std::optional<int> status;
    QElapsedTimer t;
    t.start();
    engine.StartRead(cloneconfig::readRanges(), [&](void*, CloneResult& r) { status = r.status; });
    waitFor([&] { return status.has_value(); }, 60000);
    const double measured = t.nsecsElapsed() / 1e9;
    process.terminate();
    process.waitForFinished(5000);
    if (status != kCloneOk) {
      std::fprintf(stderr, "%s: clone read ended with status %d\n", run.name, status.value_or(-1));
      return 1;
    }
    const double limit = physicalLimit(9600, run.highSpeed ? 38400 : 9600);
    const double ratio = measured / limit;
    allWithin = allWithin && ratio <= 1.10;
    std::printf("%-24s %9.3fs %9.3fs %8.3f\n", run.name, measured, limit, ratio);
  }
  std::printf("limit: %d transceiver bytes + %d request bytes at the clone speed, %d script bytes at 9600 baud,\n"
              "       plus %.0f ms of prescribed waits; target ratio <= 1.10: %s\n",
              kTransceiverBytes, kRequestBytes, kScriptBytes, kPrescribedWaits * 1000, allWithin ? "met" : "NOT met");
  return allWithin ? 0 : 1;
}
