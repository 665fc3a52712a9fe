#pragma once

// The program's main window as the GUI tests drive it: settings in a temporary folder (the first
// destination with radio options A and C stored), the program's own resource text and help-topic
// map, the event bus, a scripted prompter and file chooser, and the window started and showing
// its first sheet. A test target that uses it links kestrin_app.

#include <QCoreApplication>
#include <QEvent>
#include <QTemporaryDir>
#include <functional>
#include <memory>

#include "../base/spin.h"
#include "app/indMain.h"
#include "base/cmcEvMan.h"
#include "base/filechooser.h"
#include "base/prompter.h"
#include "files/indEnviron.h"
#include "gtex/cmcGTex.h"
#include "resources/embedded_text.h"

class TestWindow {
 public:
  // `prepare` adds to the stored settings (given the temporary folder) before the window starts.
  explicit TestWindow(const std::function<void(indEnviron&, const QString&)>& prepare = {}) {
    const EnvironPlace place{dir.path(), dir.path()};
    const ScreenSize screen{1400, 900};
    {
      indEnviron first(QString::fromLatin1(indEnviron::kMutexName),
                       QString::fromLatin1(indEnviron::kKeyPath), QString(), {"kestrin"}, screen,
                       place);
      first.setDestinationCode(0);
      first.setFlags(true, false, true, false);
      if (prepare) prepare(first, dir.path());
      first.save();
    }
    settings = std::make_unique<indEnviron>(QString::fromLatin1(indEnviron::kMutexName),
                                            QString::fromLatin1(indEnviron::kKeyPath), QString(),
                                            QStringList{"kestrin"}, screen, place);
    const EmbeddedText main = mainResourceText();
    text.setSource(main.lines, main.count);
    const EmbeddedText map = helpTopicMapText();
    help.setSource(map.lines, map.count);
    AppSeams seams;
    seams.prompter = &prompter;
    seams.chooser = &chooser;
    seams.programDirectory = dir.path();
    app =
        std::make_unique<indMain>(AppObjects{settings.get(), &text, &help, &bus}, std::move(seams));
    app->start();
    spinUntil([this] { return app->currentSheet() != nullptr; });
  }
  ~TestWindow() {
    app.reset();
    // Sheets closed with deleteLater unsubscribe from the bus when they go: before it does.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;

  QTemporaryDir dir;
  std::unique_ptr<indEnviron> settings;
  cmcGTex text;
  cmcHelpGTex help;
  cmcEvMan bus;
  ScriptedPrompter prompter;
  ScriptedFileChooser chooser;
  std::unique_ptr<indMain> app;
};
