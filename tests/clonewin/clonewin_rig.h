#pragma once

#include <QApplication>
#include <QPointer>
#include <QTemporaryDir>
#include <QWindow>
#include <chrono>
#include <functional>
#include <memory>

#include "../base/spin.h"
#include "app/TForm1.h"
#include "app/TForm2.h"
#include "app/indMain.h"
#include "base/cmcEvMan.h"
#include "base/prompter.h"
#include "clone/SimulatedSerialDevice.h"
#include "clone/SystemSerialDevice.h"
#include "clone/indCloneMan.h"
#include "files/indEnviron.h"
#include "gtex/cmcGTex.h"
#include "resources/embedded_text.h"
#include "resources/factory/factory_images.h"

// The five application-wide objects and the real application object over a temporary settings
// folder, with scripted message boxes. The serial port is the program's own: the built-in
// simulated transceiver sits behind it, its memory in the temporary folder; nothing above the
// serial device is replaced.
struct CloneWinRig {
  struct Options {
    int storedDestination = 16;  // 16: first run, nothing stored
    bool storeSimulatorPort = false;
    int comPort = 0;        // stored when not 0
    QStringList arguments;  // the command line after the program's name
    SimulatedTransceiver::Config transceiver;
    int lineSpeedUp = 10;  // the simulated line runs this many times faster than a real one
    bool start = true;
  };

  QTemporaryDir dir;
  std::unique_ptr<indEnviron> settings;
  cmcGTex text;
  cmcHelpGTex help;
  std::unique_ptr<cmcEvMan> bus;
  ScriptedPrompter prompter;
  std::unique_ptr<indMain> app;
  SimulatedSerialDevice* sim = nullptr;
  QString memoryPath;

  CloneWinRig() : CloneWinRig(Options()) {}
  explicit CloneWinRig(const Options& o) {
    const EnvironPlace place{dir.path(), dir.path()};
    const ScreenSize screen{1400, 900};
    if (o.storedDestination < 16 || o.storeSimulatorPort || o.comPort) {
      indEnviron first(QString::fromLatin1(indEnviron::kMutexName),
                       QString::fromLatin1(indEnviron::kKeyPath), QString(), {"kestrin"}, screen,
                       place);
      first.setDestinationCode(o.storedDestination);
      if (o.storeSimulatorPort)
        first.setComPortPath(QString::fromLatin1(SimulatedSerialDevice::kPortName));
      if (o.comPort) first.setComPort(o.comPort);
      first.save();
    }
    settings = std::make_unique<indEnviron>(QString::fromLatin1(indEnviron::kMutexName),
                                            QString::fromLatin1(indEnviron::kKeyPath), QString(),
                                            QStringList{"kestrin"} + o.arguments, screen, place);
    const EmbeddedText main = mainResourceText();
    text.setSource(main.lines, main.count);
    const EmbeddedText map = helpTopicMapText();
    help.setSource(map.lines, map.count);
    bus = std::make_unique<cmcEvMan>();
    AppSeams seams;
    seams.prompter = &prompter;
    seams.programDirectory = dir.path();
    app = std::make_unique<indMain>(AppObjects{settings.get(), &text, &help, bus.get()},
                                    std::move(seams));

    SimulatedSerialDevice::Options so;
    memoryPath = dir.filePath(QStringLiteral("data/simulated-transceiver.qev"));
    so.memoryPath = memoryPath;
    so.factory = &factoryImage;
    so.transceiver = o.transceiver;
    if (o.lineSpeedUp > 1) {
      const int64_t start = steadyNs();
      const int k = o.lineSpeedUp;
      so.clock = [start, k] { return start + (steadyNs() - start) * k; };
    }
    auto device = std::make_unique<SimulatedSerialDevice>(std::move(so));
    sim = device.get();
    systemDevice()->setSimulator(std::move(device));
    if (o.start) {
      app->start();
      spinFor(30);
    }
  }
  ~CloneWinRig() {
    // Found first and deleted after: deleting one may take other top-level windows with it.
    QList<QPointer<QWidget>> setupDialogs;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->objectName() == QLatin1String("Form2")) setupDialogs << w;
    for (const QPointer<QWidget>& w : setupDialogs) delete w.data();
    // Windows the application let go of with deleteLater unsubscribe from the bus when deleted.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    app.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    bus.reset();
    settings.reset();
  }

  static int64_t steadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
  SystemSerialDevice* systemDevice() {
    return static_cast<SystemSerialDevice*>(app->cloneManager().engine().Port().device());
  }
  TForm1& form() { return *app->form(); }
  // The title as the window system shows it, with Qt's mark of unsaved changes resolved.
  QString shownTitle() {
    return form().windowHandle() ? form().windowHandle()->title() : QString();
  }
  // The set-up dialog while it is open.
  static TForm2* setupDialog() {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* f = qobject_cast<TForm2*>(w); f && f->isVisible()) return f;
    return nullptr;
  }
  bool idle(int ms = 30000) {
    return spinUntil([&] { return !app->cloneManager().IsBusy(); }, ms);
  }
  // The clone range of the working image against bytes of the clone range.
  bool workingEquals(const uint8_t* bytes) {
    const cmcEeprom& w = app->document().working();
    for (int a = 0; a < kFactoryImageSize; ++a)
      if (w.getByte(a) != bytes[a]) return false;
    return true;
  }
};
