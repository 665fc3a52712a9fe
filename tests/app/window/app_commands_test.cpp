// Every command of the main menu and the toolbar, in every state of the window: no sheet shown,
// a sheet shown, and the initial set-up showing (main window hidden).
#include <gtest/gtest.h>

#include <QDialog>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <QToolBar>
#include <QWidget>

#include "app/cuiHtmlHelp.h"
#include "app/cuiToolBar.h"
#include "support/AppRig.h"
#include "clone/indCloneMan.h"

namespace {

enum class State { NoSheet, Sheet, SetupShowing };

// Every item and button that carries a command.
QList<QAction*> commandActions(AppRig& rig) {
  QList<QAction*> actions;
  for (QAction* a : rig.app->mainMenu()->actions()) {
    if (!a->isSeparator() && !a->menu() && rig.app->mainMenu()->cellOf(a)) actions << a;
  }
  for (QToolBar* row : rig.app->toolBar()->rows()) {
    for (QAction* a : row->actions()) {
      if (!row->widgetForAction(a) || !a->text().isEmpty()) actions << a;
    }
  }
  return actions;
}

// Closes what a command left open so that the next one starts from the same state.
void tidyUp(AppRig& rig, State state) {
  spinUntil([&] { return !rig.app->cloneManager().IsBusy(); }, 5000);
  rig.settle(20);
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible()) d->close();
  }
  if (rig.app->help() && rig.app->help()->helpWindow()) rig.app->help()->helpWindow()->close();
  rig.settle(20);
  if (state != State::SetupShowing && !rig.form().isVisible()) rig.form().show();
  if (state == State::NoSheet) rig.app->closeSheet();
}

class EveryCommand : public ::testing::TestWithParam<State> {};

TEST_P(EveryCommand, RunsWithoutACrash) {
  const State state = GetParam();
  AppRig::Options o;
  o.setupHook = state == State::SetupShowing;
  if (state == State::SetupShowing) o.destination = 16;  // first run
  AppRig rig(o);
  // No serial port to find: clone commands end with their message.
  rig.settings->setComPort(256);
  rig.app->cloneManager().SetPortName(rig.dir.filePath("no-such-port"));
  if (state == State::NoSheet) rig.app->closeSheet();
  if (state == State::Sheet) {
    ASSERT_NE(rig.app->currentSheet(), nullptr);
  }
  if (state == State::SetupShowing) {
    ASSERT_FALSE(rig.form().isVisible());
  }

  // Modal dialogs (the COM port setting) are cancelled as soon as they show.
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [] {
    if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) d->reject();
  });
  closer.start(20);

  const QList<QAction*> actions = commandActions(rig);
  ASSERT_GE(actions.size(), 30);
  for (int round = 0; round < 2; ++round) {
    for (QAction* action : actions) {
      SCOPED_TRACE(action->text().toStdString());
      // Questions are answered No, then Cancel; dialogs cancelled.
      rig.prompter.push(round == 0 ? PromptAnswer::No : PromptAnswer::Cancel);
      action->trigger();
      tidyUp(rig, state);
    }
    rig.setChannel(1, 146000000);  // the second round with unsaved changes
  }
  if (state == State::SetupShowing) {
    // New, Open and Save do nothing while the set-up dialog is up.
    // (Save As alone asks for a file.)
    for (const auto& entry : rig.chooser.log()) EXPECT_TRUE(entry.save);
    EXPECT_TRUE(rig.app->document().isUntitled());
    EXPECT_FALSE(rig.form().isVisible());
  }
}

INSTANTIATE_TEST_SUITE_P(States, EveryCommand,
                         ::testing::Values(State::NoSheet, State::Sheet, State::SetupShowing),
                         [](const auto& info) {
                           switch (info.param) {
                             case State::NoSheet:
                               return std::string("NoSheet");
                             case State::Sheet:
                               return std::string("Sheet");
                             default:
                               return std::string("SetupShowing");
                           }
                         });

TEST(CloneCommands, ReadWithoutATransceiverReportsAndReenablesTheWindow) {
  AppRig rig;
  rig.app->cloneManager().SetPortName(rig.dir.filePath("no-such-port"));
  rig.click(CL_Menu_Clone_Read);
  ASSERT_TRUE(spinUntil([&] { return !rig.app->cloneManager().IsBusy(); }, 5000));
  rig.settle();
  EXPECT_FALSE(rig.prompter.log().empty());
  EXPECT_TRUE(rig.form().isEnabled());
  EXPECT_TRUE(rig.app->document().isUntitled());
}

}  // namespace
