// The desktop program: the five application-wide objects in their order, the single-instance
// rule with the hand-over of a file argument, and the main window.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <cstdio>

#ifdef Q_OS_WIN
// clang-format off
#include <windows.h>
#include <psapi.h>
// clang-format on
#endif

#include "app/DirectIconStyle.h"
#include "app/InstanceHandOver.h"
#include "app/TForm1.h"
#include "app/indMain.h"
#include "app/startup.h"
#include "base/cmcEvMan.h"
#include "base/fatal.h"
#include "clone/SimulatedSerialDevice.h"
#include "clone/indCloneMan.h"
#include "files/indEnviron.h"
#include "gtex/cmcGTex.h"
#include "model/version.h"
#include "print/PrintPdf.h"
#include "resources/embedded_text.h"

namespace {

// The resident memory of this process in kilobytes, for the start-up measurement.
long residentKilobytes() {
#ifdef Q_OS_WIN
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return -1;
  return static_cast<long>(counters.WorkingSetSize / 1024);
#endif
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').first().toLong();
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  // --print-pdf writes pages without any window.
  if (const std::optional<int> code = runPrintPdfCommand(argc, argv)) return *code;

  // --version needs no display.
  for (int i = 1; i < argc; ++i) {
    if (QByteArray(argv[i]) == "--version") {
      QCoreApplication core(argc, argv);
      cmcGTex text;
      const EmbeddedText main = mainResourceText();
      text.setSource(main.lines, main.count);
      std::printf("%s\n",
                  qPrintable(versionLine(QStringLiteral("kestrin"), programVersionTexts(text))));
      return 0;
    }
  }

  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("kestrin"));
  if (DirectIconStyle* style = DirectIconStyle::replacing(QApplication::style()))
    QApplication::setStyle(style);
  const StartupOptions options = parseCommandLine(QApplication::arguments());

  setFatalPresenter([](const QString& caption, const QString& text) {
    QMessageBox::critical(nullptr, caption, text);
  });

  // 1. The settings store, which also holds the single-instance lock.
  QScreen* screen = QGuiApplication::primaryScreen();
  const ScreenSize screenSize =
      screen ? ScreenSize{screen->size().width(), screen->size().height()} : ScreenSize{};
  const QString settingsDir = qEnvironmentVariable("KESTRIN_SETTINGS_DIR");
  indEnviron settings(QString::fromLatin1(indEnviron::kMutexName),
                      QString::fromLatin1(indEnviron::kKeyPath),
                      QString::fromLatin1(indEnviron::kKeyPath), options.environArguments,
                      screenSize, EnvironPlace{settingsDir, settingsDir});
  QString handOverError;
  const QString socketName = InstanceHandOver::socketName(settings.lockFilePath(), &handOverError);
  if (!settings.isFirstInstance()) {
    // A file given to a second start goes to the running instance; otherwise nothing happens.
    if (!options.file.isEmpty() &&
        !InstanceHandOver::send(socketName, options.file, &handOverError)) {
      std::fprintf(stderr, "kestrin: %s was not handed to the running Kestrin: %s\n",
                   qPrintable(options.file), qPrintable(handOverError));
      return 1;
    }
    return 0;
  }

  // 2. and 3. The main resource text and the help-topic map.
  cmcGTex text;
  const EmbeddedText mainText = mainResourceText(settings.displayLanguage());
  text.setSource(mainText.lines, mainText.count);
  cmcHelpGTex help;
  const EmbeddedText helpText = helpTopicMapText();
  help.setSource(helpText.lines, helpText.count);

  // 4. The event bus, before the application object that subscribes to it.
  cmcEvMan bus;

  // 5. The application object.
  indMain app(AppObjects{&settings, &text, &help, &bus}, AppSeams{});
  app.acceptHandOvers(socketName, handOverError);
  if (options.simulator)
    app.cloneManager().SetPortName(QString::fromLatin1(SimulatedSerialDevice::kPortName));
  app.start(options.file);

  // Start-up measurement: the time to the first painted main window and the resident memory.
  if (qEnvironmentVariableIsSet("KESTRIN_STARTUP_PROBE") && app.form()) {
    app.form()->firstPainted = [] {
      std::printf("painted rss_kb=%ld\n", residentKilobytes());
      std::fflush(stdout);
      QCoreApplication::exit(0);
    };
  }

  application.exec();
  return 0;
}
