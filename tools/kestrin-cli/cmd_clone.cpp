#include "cmd_clone.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTextStream>
#include <cstdio>
#include <memory>
#include <optional>

#include "base/cmcEvMan.h"
#include "base/prompter.h"
#include "base/textcodec.h"
#include "cliargs.h"
#include "cliprompter.h"
#include "cmd_diff.h"
#include "clone/clonecommands.h"
#include "clone/indCloneMan.h"
#include "files/cmcQevFile.h"
#include "files/filecommands.h"
#include "files/indEnviron.h"
#include "files/savefile.h"
#include "gtex/cellmarkup.h"
#include "gtex/cmcGTex.h"
#include "model/catalogue.h"
#include "model/destinations.h"
#include "model/document.h"
#include "files/rawnames.h"
#include "resources/factory/factory_images.h"
#include "savesignals.h"
#include "session/CloneSession.h"
#include "session/Workspace.h"
#include "sheet/core/ImageCompare.h"

namespace {

// The command-line tool keeps its own instance lock, so it runs beside the program's window.
const QString kCliMutexName = QStringLiteral("Zelk Kestrin CLI Exclusive Mutex");

QTextStream& err() {
  static QTextStream stream(stderr);
  return stream;
}

QTextStream& out() {
  static QTextStream stream(stdout);
  return stream;
}

struct Options {
  QString port;
  QString output;
  QStringList files;
  QString settingsDir;
  bool yes = false;
  std::optional<bool> verify;  // write: --verify / --no-verify; unset: the stored setting
  QString error;
};

Options parse(const QStringList& args) {
  Options o;
  ArgReader r(args);
  while (r.next()) {
    const QString& a = r.current();
    auto value = [&](const QString& name) -> QString {
      const std::optional<QString> v = r.value();
      if (!v) o.error = QStringLiteral("%1 needs a value").arg(name);
      return v.value_or(QString());
    };
    if (r.is(QStringLiteral("--port"), true)) {
      o.port = value(QStringLiteral("--port"));
    } else if (r.is(QStringLiteral("-o"))) {
      o.output = value(QStringLiteral("-o"));
    } else if (r.is(QStringLiteral("--output"), true)) {
      o.output = value(QStringLiteral("--output"));
    } else if (r.is(QStringLiteral("--settings"), true)) {
      o.settingsDir = value(QStringLiteral("--settings"));
    } else if (r.is(QStringLiteral("--yes")) || r.is(QStringLiteral("-y"))) {
      o.yes = true;
    } else if (r.is(QStringLiteral("--verify")) || r.is(QStringLiteral("--no-verify"))) {
      o.verify = a == QLatin1String("--verify");
    } else if (a.startsWith(QLatin1Char('-')) && a.size() > 1) {
      o.error = QStringLiteral("unknown option %1").arg(a);
    } else {
      o.files << a;
    }
    if (!o.error.isEmpty()) break;
  }
  if (o.settingsDir.isEmpty()) o.settingsDir = qEnvironmentVariable("KESTRIN_SETTINGS_DIR");
  return o;
}

Status usageError(const QString& command, const QString& why) {
  return Status::usage(QStringLiteral("%1: %2 (see --help)").arg(command, why));
}

// A progress bar of the clone window's 32 cells, redrawn in place on a terminal.
class ProgressBar {
 public:
  ProgressBar() : enabled_(isatty(STDERR_FILENO) != 0) {}
  ~ProgressBar() { end(); }
  void show(int transferred, int total) {
    if (!enabled_ || total <= 0) return;
    const int lit = indCloneMan::LitCells(transferred, total);
    std::fprintf(stderr, "\rCloning [%s%s] %5d/%d bytes", QByteArray(lit, '#').constData(),
                 QByteArray(indCloneMan::kProgressCells - lit, '.').constData(), transferred,
                 total);
    std::fflush(stderr);
    drawn_ = true;
  }
  void end() {
    if (drawn_) std::fputc('\n', stderr);
    drawn_ = false;
  }

 private:
  bool enabled_;
  bool drawn_ = false;
};

// Everything a clone command works with: the settings, the workspace (resource text, document,
// field catalogue for the setting check), the application's clone rules, the clone manager and
// the commands on top. The tool's own part is the progress bar and the verify report.
class CliClone : public CloneFrontEnd {
 public:
  explicit CliClone(const Options& o)
      : env_(kCliMutexName, QString::fromLatin1(indEnviron::kKeyPath), QString(), QStringList(),
             ScreenSize{}, EnvironPlace{o.settingsDir, o.settingsDir}),
        prompter_(o.yes),
        workspace_(WorkspaceSetup{&prompter_}),
        session_(workspace_, env_, *this),
        manager_(env_, workspace_.text(), prompter_, &bus_),
        commands_(manager_, session_, prompter_, workspace_.text()) {
    Document& document = workspace_.document();
    document.setDestination(env_.destinationCode());
    document.setOptionBits(session_.storedOptionBits());
    document.newDocument();
    if (!o.port.isEmpty()) manager_.SetPortName(o.port);
    session_.setVerifyAfterWrite(o.verify);
    manager_.SetProgress([this](int done, int total) { bar_.show(done, total); });
  }

  // Runs one command to its end.
  CloneOutcome run(void (CloneCommands::*command)(CloneCommands::Done)) {
    std::optional<CloneOutcome> outcome;
    QEventLoop loop;
    (commands_.*command)([&](const CloneOutcome& o) {
      outcome = o;
      loop.quit();
    });
    if (!outcome) loop.exec();
    bar_.end();
    return *outcome;
  }

  Document& document() { return workspace_.document(); }
  FileCommands& files() { return workspace_.files(); }
  const QByteArray& cloneInformation() const { return session_.cloneInformation(); }
  // A destination switch made by an opened file is kept in the settings.
  void adoptDocumentDestination() { env_.setDestinationCode(document().destination()); }

  // Differences go to stdout as `diff` prints them (document first, transceiver second); the
  // summary to stderr.
  void verifyFinished(const VerifyReport& report) override {
    bar_.end();
    if (report.kind == VerifyReport::kEqual) {
      err() << "kestrin-cli: write: verified: the transceiver's memory holds what was written"
            << Qt::endl;
      return;
    }
    if (report.kind != VerifyReport::kDifferent) return;
    const std::vector<FieldDifference> differences = compareImages(
        report.written, report.readBack, document().destination(),
        document().options().optionBits(), factoryImage, workspace_.text(), workspace_.parser());
    printFieldDifferences(differences, false);
    std::fflush(stdout);
    const size_t n = differences.size();
    const size_t bytes = report.differingAddresses.size();
    err() << "kestrin-cli: write: verify failed: " << n << " field" << (n == 1 ? "" : "s")
          << " of the transceiver's memory differ" << (n == 1 ? "s" : "")
          << " from the document (" << bytes << " byte" << (bytes == 1 ? "" : "s") << ")"
          << Qt::endl;
  }

 private:
  indEnviron env_;
  CliPrompter prompter_;
  cmcEvMan bus_;
  Workspace workspace_;
  CloneSession session_;
  indCloneMan manager_;
  CloneCommands commands_;
  ProgressBar bar_;
};

// Timers need an application object; the tool's main may not have made one.
std::unique_ptr<QCoreApplication> ensureApplication() {
  if (QCoreApplication::instance()) return nullptr;
  static int argc = 1;
  static char name[] = "kestrin-cli";
  static char* argv[] = {name, nullptr};
  return std::make_unique<QCoreApplication>(argc, argv);
}

// The reason of a failure is the last line on stderr; a status message has said it already.
Status statusOf(const CloneOutcome& o) {
  if (o.succeeded()) return {};
  if (o.kind == CloneOutcome::kCancelled)
    return Status::failed(
        QStringLiteral("not done: a question was answered Cancel (--yes answers OK)"));
  if (o.kind == CloneOutcome::kBusy)
    return Status::failed(QStringLiteral("another clone operation runs"));
  return {kExitFailed, {}};
}

}  // namespace

QString cliCloneUsage() {
  return QStringLiteral(
      "Cloning with the transceiver (these commands take only the options below):\n"
      "  kestrin-cli info  [--port P] [--yes]              identify the transceiver, print its "
      "clone information\n"
      "  kestrin-cli read  [--port P] -o FILE.qev [--yes]  read the transceiver into a new QEV "
      "file\n"
      "  kestrin-cli write [--port P] FILE.qev [--yes] [--verify|--no-verify]\n"
      "                                                    write a QEV file to the transceiver;\n"
      "                                                    --verify reads it back and prints the\n"
      "                                                    fields that differ as diff does (exit 1)\n"
      "                                                    (default: Clone > Verify After Write)\n"
      "    --port P        serial device (a path such as /dev/ttyUSB0, or a COM number); default: "
      "the stored port\n"
      "    --yes           answer OK to the questions (another destination, the write "
      "confirmation)\n"
      "    --settings DIR  settings directory (default: the user's; also KESTRIN_SETTINGS_DIR)\n");
}

Status cliCloneInfo(const QStringList& args) {
  const Options o = parse(args);
  if (!o.error.isEmpty()) return usageError(QStringLiteral("info"), o.error);
  if (o.verify) return usageError(QStringLiteral("info"), QStringLiteral("--verify is for write"));
  if (!o.files.isEmpty())
    return usageError(QStringLiteral("info"), QStringLiteral("unexpected %1").arg(o.files[0]));
  auto app = ensureApplication();
  CliClone clone(o);
  const CloneOutcome outcome = clone.run(&CloneCommands::cloneInformation);
  // The information is the point of the command: it is printed whenever the transceiver answered
  // properly, also when the user kept another destination.
  const bool identified =
      outcome.kind == CloneOutcome::kSucceeded || outcome.kind == CloneOutcome::kCancelled;
  if (!identified || clone.cloneInformation().size() != CloneInfo::kSize) return {kExitFailed, {}};
  CloneInfo info;
  std::copy_n(reinterpret_cast<const uint8_t*>(clone.cloneInformation().constData()),
              CloneInfo::kSize, info.bytes.begin());
  auto line = [](const char* label, const QByteArray& value) {
    out() << label << fromCp932(value) << '\n';
  };
  line("SERIAL NO. : ", cloneInfoSerialText(info));
  line("Comment : ", cloneInfoCommentText(info));
  line("Destination : ", cloneInfoDestinationText(info));
  line("Marine : ", cloneInfoOptionText(info.optionBits() & DestinationOptions::kMarineBit));
  line("FM narrow : ", cloneInfoOptionText(info.optionBits() & DestinationOptions::kFmNarrowBit));
  line("Rx expansion : ",
       cloneInfoOptionText(info.optionBits() & DestinationOptions::kRxExpansionBit));
  line("High power : ", cloneInfoOptionText(info.optionBits() & DestinationOptions::kHighPowerBit));
  out().flush();
  return {};
}

Status cliCloneRead(const QStringList& args) {
  const Options o = parse(args);
  if (!o.error.isEmpty()) return usageError(QStringLiteral("read"), o.error);
  if (o.verify) return usageError(QStringLiteral("read"), QStringLiteral("--verify is for write"));
  if (o.output.isEmpty())
    return usageError(QStringLiteral("read"), QStringLiteral("-o FILE.qev is required"));
  if (!o.files.isEmpty())
    return usageError(QStringLiteral("read"), QStringLiteral("unexpected %1").arg(o.files[0]));
  // A file that cannot be made is found out before the radio is read, not after.
  rawnames::OutputPath out(o.output);
  if (out.path().isEmpty() || !SafeFileWriter::canWrite(out.path())) {
    return Status::failed(
        QStringLiteral("read: cannot create %1 (Cannot open the file.)").arg(o.output));
  }
  auto app = ensureApplication();
  CliClone clone(o);
  const CloneOutcome outcome = clone.run(&CloneCommands::cloneRead);
  if (!outcome.succeeded()) return statusOf(outcome);
  // Saved as File Save saves (conformed, repaired, through a temporary file that replaces the
  // target only when complete).
  FileCommands& files = clone.files();
  const int saved = [&] {
    SaveSignalGuard guard;
    const int code = files.saveFile(out.path());
    return code == 0 && !out.finish() ? int(kQevFileAccess) : code;
  }();
  if (saved != 0) {
    return Status::failed(
        QStringLiteral("read: cannot save %1 (file result %2)").arg(o.output).arg(saved));
  }
  return {};
}

Status cliCloneWrite(const QStringList& args) {
  const Options o = parse(args);
  if (!o.error.isEmpty()) return usageError(QStringLiteral("write"), o.error);
  if (o.files.size() != 1)
    return usageError(QStringLiteral("write"), QStringLiteral("one FILE.qev is required"));
  auto app = ensureApplication();
  CliClone clone(o);

  // Opened as File Open opens: every check of the file, then the destination question when the
  // file was made for another destination.
  FileCommands& files = clone.files();
  const QString readable = rawnames::readPath(o.files[0]);
  if (readable.isEmpty() || files.openFile(readable) != 0) {
    return Status::failed(QStringLiteral("write: cannot open %1 (file result %2)")
                              .arg(o.files[0])
                              .arg(files.lastFileResult()));
  }
  clone.adoptDocumentDestination();

  const CloneOutcome outcome = clone.run(&CloneCommands::cloneWrite);
  // A write that was not confirmed by its read-back fails the command.
  if (outcome.succeeded() && (outcome.verify == VerifyReport::kDifferent ||
                              outcome.verify == VerifyReport::kFailed))
    return {kExitFailed, {}};
  return statusOf(outcome);
}
