// A full clone read against kestrin-sim pacing its output at the line's byte rate, at 38400 and
// at 9600 baud, compared with the physical limit: the bytes the protocol must move at those line
// rates plus the waits the protocol prescribes. Two views: the engine alone (one read), and
// `kestrin-cli read` end to end, from process start to the saved file (two identifications, the
// read, the save). Run: bin/bench_clone_read [--quick] [--repeat N]
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <optional>

#include "clone/cloneconfig.h"
#include "clone/cmcCloneDrv.h"
#include "files/indEnviron.h"
#include "model/memorymap.h"

namespace {
struct Run {
  const char* name;
  bool highSpeed;
  bool echo;
};

// Bytes on the line for one clone read of the whole clone range.
constexpr int kScriptBytes = 20 + 12;                     // preamble and speed-change frame
constexpr int kRequestBytes = 12 + 10;                    // preamble and read request
constexpr int kDataFrames = 197;                          // 6304 bytes in frames of 32
constexpr int kTransceiverBytes = kDataFrames * 78 + 17;  // data frames and the end frame
// Two input drains (after the reopen for the speed change and at the clone speed) and the pause
// after the speed change.
constexpr double kPrescribedWaits = 2 * 0.100 + 0.200;

// One identification: its request and the 52-byte reply at the identification speed, after the
// 200 ms pause and the 100 ms drain. The tool identifies twice before it reads.
constexpr int kIdentifyBytes = 10 + 52;
constexpr double kIdentifyWaits = 0.200 + 0.100;
constexpr int kIdentifications = 2;

double byteTime(int bytes, int baud) { return bytes / (baud / 10.0); }

double readLimit(int scriptBaud, int cloneBaud) {
  return kPrescribedWaits + byteTime(kScriptBytes, scriptBaud) +
         byteTime(kRequestBytes + kTransceiverBytes, cloneBaud);
}

double toolLimit(int identifyBaud, int cloneBaud) {
  return kIdentifications * (kIdentifyWaits + byteTime(kIdentifyBytes, identifyBaud)) +
         readLimit(identifyBaud, cloneBaud);
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

struct Sim {
  QProcess process;
  QString device;
  bool start(const QString& program, bool echo) {
    QStringList args{"--pace", "--speeds", "9600"};
    if (echo) args << "--echo";
    process.start(program, args);
    if (!process.waitForStarted(5000)) return false;
    while (!process.canReadLine() && process.state() == QProcess::Running)
      process.waitForReadyRead(100);
    device = QString::fromLocal8Bit(process.readLine()).trimmed();
    return !device.isEmpty();
  }
  ~Sim() {
    process.terminate();
    if (!process.waitForFinished(5000)) process.kill();
    process.waitForFinished(2000);
  }
};

// The engine alone: one clone read; seconds, or a negative value on failure.
double engineRead(const QString& simProgram, const Run& run) {
  Sim sim;
  if (!sim.start(simProgram, run.echo)) return -2;
  cmcCloneDrv engine;
  engine.SetCodes(cloneconfig::kModelCode, cloneconfig::kRequestSubCode);
  engine.SetImageSize(memmap::kImageSize);
  cloneconfig::Settings settings;
  settings.portName = sim.device;
  settings.transType = run.echo ? 1 : 3;  // 9600 with or without echo
  settings.highSpeed = run.highSpeed;
  cloneconfig::configure(engine, kCloneModeRead, settings);
  std::optional<int> status;
  QElapsedTimer t;
  t.start();
  engine.StartRead(cloneconfig::readRanges(), [&](void*, CloneResult& r) { status = r.status; });
  waitFor([&] { return status.has_value(); }, 60000);
  const double measured = t.nsecsElapsed() / 1e9;
  if (status != kCloneOk) {
    std::fprintf(stderr, "%s: clone read ended with status %d\n", run.name, status.value_or(-1));
    return -1;
  }
  return measured;
}

// kestrin-cli read from process start to the saved file; seconds, or negative on failure.
double toolRead(const QString& binDir, const Run& run) {
  Sim sim;
  if (!sim.start(binDir + "/kestrin-sim", run.echo)) return -2;
  QTemporaryDir dir;
  {
    indEnviron env(QStringLiteral("kestrin-bench-settings"),
                   QString::fromLatin1(indEnviron::kKeyPath), QString(), QStringList(),
                   ScreenSize{}, EnvironPlace{dir.path(), dir.path()});
    env.setTransType(run.echo ? 1 : 3);
    env.setComSpeedHigh(run.highSpeed ? 1 : 0);
    env.setDestinationCode(0);  // the simulator's, so no question is asked
    env.setComPort(1);
    env.save();
  }
  const QString output = dir.filePath("read.qev");
  QProcess cli;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("KESTRIN_SETTINGS_DIR"), dir.path());
  cli.setProcessEnvironment(environment);
  QElapsedTimer t;
  t.start();
  cli.start(binDir + "/kestrin-cli", {"read", "--port", sim.device, "-o", output, "--yes"});
  cli.closeWriteChannel();
  const bool ended = cli.waitForFinished(60000);
  const double measured = t.nsecsElapsed() / 1e9;
  if (!ended || cli.exitStatus() != QProcess::NormalExit || cli.exitCode() != 0 ||
      QFileInfo(output).size() == 0) {
    std::fprintf(stderr, "%s: kestrin-cli read failed: %s\n", run.name,
                 cli.readAllStandardError().constData());
    return -1;
  }
  return measured;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QString binDir = QCoreApplication::applicationDirPath();
  const bool quick = app.arguments().contains("--quick");
  int repeat = 1;
  const qsizetype at = app.arguments().indexOf("--repeat");
  if (at >= 0 && at + 1 < app.arguments().size())
    repeat = std::max(1, app.arguments()[at + 1].toInt());

  std::vector<Run> runs{{"38400 baud", true, false}, {"9600 baud", false, false}};
  if (!quick) runs.push_back({"38400 baud, echo cable", true, true});

  // The best of `repeat` runs: the machine's other load only ever adds time.
  auto best = [&](const std::function<double()>& once) {
    double out = -1;
    for (int i = 0; i < repeat; ++i) {
      const double s = once();
      if (s < 0) return s;
      out = out < 0 ? s : std::min(out, s);
    }
    return out;
  };

  bool allWithin = true;
  std::printf("%-30s %10s %10s %8s\n", "engine: one clone read", "measured", "limit", "ratio");
  for (const Run& run : runs) {
    const double measured = best([&] { return engineRead(binDir + "/kestrin-sim", run); });
    if (measured < 0) return measured < -1 ? 2 : 1;
    const double limit = readLimit(9600, run.highSpeed ? 38400 : 9600);
    allWithin = allWithin && measured / limit <= 1.05;
    std::printf("%-30s %9.3fs %9.3fs %8.3f\n", run.name, measured, limit, measured / limit);
  }
  std::printf("%-30s %10s %10s %8s\n", "kestrin-cli read, end to end", "measured", "limit",
              "ratio");
  for (const Run& run : runs) {
    const double measured = best([&] { return toolRead(binDir, run); });
    if (measured < 0) return measured < -1 ? 2 : 1;
    const double limit = toolLimit(9600, run.highSpeed ? 38400 : 9600);
    allWithin = allWithin && measured / limit <= 1.05;
    std::printf("%-30s %9.3fs %9.3fs %8.3f\n", run.name, measured, limit, measured / limit);
  }
  std::printf(
      "limit: a read moves %d transceiver bytes + %d request bytes at the clone speed and %d "
      "script bytes at\n"
      "       9600 baud, with %.0f ms of prescribed waits; the tool adds %d identifications of %d "
      "bytes at 9600\n"
      "       baud and %.0f ms of waits each. Target ratio <= 1.05: %s\n",
      kTransceiverBytes, kRequestBytes, kScriptBytes, kPrescribedWaits * 1000, kIdentifications,
      kIdentifyBytes, kIdentifyWaits * 1000, allWithin ? "met" : "NOT met");
  return allWithin ? 0 : 1;
}
