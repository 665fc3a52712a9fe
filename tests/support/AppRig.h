#pragma once

// The whole desktop program as the window tests drive it: its application-wide objects over a
// temporary settings folder, scripted message boxes and file dialogs, and the real main window.
// A test target that uses it links kestrin_app.

#include <QWindow>
#include <QAction>
#include <QApplication>
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <ostream>

#include "../base/spin.h"
#include "app/TForm1.h"
#include "app/cuiMenu.h"
#include "app/indMain.h"
#include "base/cmcEvMan.h"
#include "base/filechooser.h"
#include "base/prompter.h"
#include "files/indEnviron.h"
#include "gtex/cmcGTex.h"
#include "model/ChannelView.h"
#include "resources/embedded_text.h"
#include "sheet/ui/DocumentUndo.h"

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QByteArray& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

// Scripted answers; `whileShown` runs as if the box were on screen (before the answer).
class RigPrompter : public ScriptedPrompter {
 public:
  PromptAnswer ask(const PromptMessage& message) override {
    if (whileShown) whileShown(message);
    return ScriptedPrompter::ask(message);
  }
  std::function<void(const PromptMessage&)> whileShown;
};

// The five application-wide objects and the application object over a temporary settings
// folder, with scripted message boxes and file dialogs. The main window is real.
struct AppRig {
  struct Options {
    int destination = 0;  // stored before start-up; 16 leaves the settings unset
    bool flagsAC = true;
    QStringList arguments;
    std::function<void(indEnviron&)> seed;  // further stored values
    bool start = true;
    bool setupHook = false;  // stand-in for the set-up dialog: the main window stays hidden
    QByteArray versionFile;  // contents of the version file beside the program, if any
  };

  QTemporaryDir dir;
  std::unique_ptr<indEnviron> settings;
  cmcGTex text;
  cmcHelpGTex help;
  std::unique_ptr<cmcEvMan> bus;
  RigPrompter prompter;
  ScriptedFileChooser chooser;
  std::unique_ptr<indMain> app;
  bool setupShown = false;

  AppRig() : AppRig(Options()) {}
  explicit AppRig(const Options& o) {
    const EnvironPlace place{dir.path(), dir.path()};
    const ScreenSize screen{1400, 900};
    if (o.destination < 16 || o.seed) {
      indEnviron first(QString::fromLatin1(indEnviron::kMutexName),
                       QString::fromLatin1(indEnviron::kKeyPath), QString(), {"kestrin"}, screen,
                       place);
      first.setDestinationCode(o.destination);
      first.setFlags(o.flagsAC, false, o.flagsAC, false);
      if (o.seed) o.seed(first);
      first.save();
    }
    settings = std::make_unique<indEnviron>(QString::fromLatin1(indEnviron::kMutexName),
                                            QString::fromLatin1(indEnviron::kKeyPath), QString(),
                                            QStringList{"kestrin"} + o.arguments, screen, place);
    if (!o.versionFile.isEmpty()) {
      QFile file(dir.filePath("KESTRIN.dat"));
      if (file.open(QIODevice::WriteOnly)) file.write(o.versionFile);
    }
    const EmbeddedText main = mainResourceText();
    text.setSource(main.lines, main.count);
    const EmbeddedText map = helpTopicMapText();
    help.setSource(map.lines, map.count);
    bus = std::make_unique<cmcEvMan>();
    AppSeams seams;
    seams.prompter = &prompter;
    seams.chooser = &chooser;
    seams.programDirectory = dir.path();
    app = std::make_unique<indMain>(AppObjects{settings.get(), &text, &help, bus.get()},
                                    std::move(seams));
    if (o.setupHook) app->setInitialSetup([this] { setupShown = true; });
    if (o.start) {
      app->start();
      // The main timer opens the selected node's sheet once the window shows.
      if (app->form()->isVisible()) spinUntil([this] { return app->currentSheet() != nullptr; });
      settle();
    }
  }
  ~AppRig() {
    app.reset();
    bus.reset();
    settings.reset();
  }

  // Lets the posted work run: deferred sheet openings, the tree's change delay, deletions.
  void settle(int ms = 30) {
    spinFor(ms);
    // Deletions asked for outside any event loop (the test body) wait for the outermost one.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  TForm1& form() { return *app->form(); }
  // The title as the window system shows it, with Qt's mark of unsaved changes resolved.
  QString shownTitle() { return form().windowHandle() ? form().windowHandle()->title() : QString(); }
  QByteArray shownCall() const {
    return app->currentSheet() ? app->currentSheet()->callString() : QByteArray();
  }
  QAction* menuAction(int link, int index = -1) { return app->mainMenu()->actionFor(link, index); }
  // Clicks a main-menu item as the user would.
  void click(int link, int index = -1) {
    QAction* a = menuAction(link, index);
    if (a) a->trigger();
  }

  // Puts a channel at `hz` in the working image (in use), FM or FM narrow (mode 1).
  void setChannel(int index, uint32_t hz, int mode = 0) {
    Document& d = app->document();
    ChannelView view(d.working(), d.options());
    view.load(kKindConventional, index);
    view.inUse = true;
    view.frequency = hz;
    view.mode = mode;
    view.store();
    d.setModified();
  }
};
