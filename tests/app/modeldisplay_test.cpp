// The root node of the tree names the model after every rebuild of the tree, not only the first.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTreeWidget>

#include "../base/spin.h"
#include "app/cuiTree.h"
#include "app/indMain.h"
#include "base/cmcEvMan.h"
#include "base/filechooser.h"
#include "base/prompter.h"
#include "files/indEnviron.h"
#include "gtex/cmcGTex.h"
#include "resources/embedded_text.h"

namespace {

TEST(ModelDisplay, RootNodeKeepsTheModelNameWhenTheTreeIsRebuilt) {
  QTemporaryDir dir;
  const EnvironPlace place{dir.path(), dir.path()};
  const ScreenSize screen{1400, 900};
  {
    indEnviron first(QString::fromLatin1(indEnviron::kMutexName),
                     QString::fromLatin1(indEnviron::kKeyPath), QString(), {"kestrin"}, screen,
                     place);
    first.setDestinationCode(0);
    first.setFlags(true, false, true, false);
    first.save();
  }
  indEnviron settings(QString::fromLatin1(indEnviron::kMutexName),
                      QString::fromLatin1(indEnviron::kKeyPath), QString(), {"kestrin"}, screen,
                      place);
  cmcGTex text;
  const EmbeddedText main = mainResourceText();
  text.setSource(main.lines, main.count);
  cmcHelpGTex help;
  const EmbeddedText map = helpTopicMapText();
  help.setSource(map.lines, map.count);
  cmcEvMan bus;
  ScriptedPrompter prompter;
  ScriptedFileChooser chooser;
  {
    AppSeams seams;
    seams.prompter = &prompter;
    seams.chooser = &chooser;
    seams.programDirectory = dir.path();
    indMain app(AppObjects{&settings, &text, &help, &bus}, std::move(seams));
    app.start();
    spinUntil([&] { return app.currentSheet() != nullptr; });
    auto rootText = [&] { return app.tree()->control()->topLevelItem(0)->text(0); };
    ASSERT_EQ(rootText(), "Osprel");

    // A destination switch, as after a clone identification.
    app.cloneSession().changeDestination(1, true);
    EXPECT_EQ(rootText(), "Osprel");
    app.optionFlagAChanged();
    EXPECT_EQ(rootText(), "Osprel");
  }
  // Sheets closed with deleteLater unsubscribe from the bus when they go: before it does.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace
