// The main window as start-up builds it: the set-up decision, its place on the screen, title,
// menus, toolbar and the About box.
#include <gtest/gtest.h>

#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <climits>

#include "app/PortNote.h"
#include "clone/PortList.h"
#include "app/cuiToolBar.h"
#include "app/startup.h"
#include "support/AppRig.h"
#include "base/events.h"
#include "clone/indCloneMan.h"
#include "model/cmcEeprom.h"

namespace {

// First run, "/setup" in any spelling, and complete settings.
struct SetupCase {
  const char* name;
  int destination;
  QStringList arguments;
  bool setupFirst;
};

class StartupDecision : public ::testing::TestWithParam<SetupCase> {};

TEST_P(StartupDecision, SetupDialogOrMainWindow) {
  const SetupCase& c = GetParam();
  AppRig::Options o;
  o.destination = c.destination;
  o.arguments = parseCommandLine(QStringList{"kestrin"} + c.arguments).environArguments;
  o.setupHook = true;
  AppRig rig(o);
  EXPECT_EQ(rig.setupShown, c.setupFirst);
  EXPECT_EQ(rig.form().isVisible(), !c.setupFirst);
  EXPECT_EQ(initialSetupFirst(rig.settings->setupState()), c.setupFirst);
}

INSTANTIATE_TEST_SUITE_P(Cases, StartupDecision,
                         ::testing::Values(SetupCase{"firstRun", 16, {}, true},
                                           SetupCase{"slashSetup", 0, {"/SETUP"}, true},
                                           SetupCase{"dashSetup", 0, {"--Setup"}, true},
                                           SetupCase{"complete", 0, {}, false},
                                           SetupCase{"fileOnly", 0, {"x.qev"}, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(StartupOptions, CommandLine) {
  const StartupOptions o = parseCommandLine({"kestrin", "/SeTuP", "a.qev"});
  EXPECT_TRUE(o.forcedSetup);
  EXPECT_TRUE(o.file.endsWith("/a.qev"));
  EXPECT_TRUE(o.environArguments.contains("/setup"));
  EXPECT_FALSE(parseCommandLine({"kestrin"}).forcedSetup);
  EXPECT_TRUE(parseCommandLine({"kestrin", "--version"}).version);
}

// The idle status names the port a clone would use and the open data's version.
TEST(MainWindow, IdleNoteNamesPortAndVersion) {
  EXPECT_EQ(IdleNote::textFor("", 3, 0),
            "Port: " + portlist::comNumberText(3) + "    Version: USA_A_0000");
#ifndef Q_OS_WIN
  EXPECT_EQ(portlist::comNumberText(99), "COM 99 (/dev/ttyS98)");  // what the number means here
#endif
  EXPECT_EQ(IdleNote::textFor("/dev/ttyUSB0", 3, 16), "Port: /dev/ttyUSB0");
  EXPECT_EQ(IdleNote::textFor("", 0, 16), "Port: none");
  AppRig rig;
  auto* note = rig.form().statusBar()->findChild<IdleNote*>();
  ASSERT_NE(note, nullptr);
  EXPECT_TRUE(note->isVisible());
  EXPECT_TRUE(note->text().startsWith("Port: ")) << note->text().toStdString();
}

// In a narrow window the notes on the right step aside while the first panel explains a typed
// value, and come back once it is gone; the simulated transceiver is named once, not twice.
TEST(MainWindow, StatusNotesGiveWayToTheFirstPanel) {
  EXPECT_EQ(IdleNote::textFor("Simulated transceiver", 3, 0), "Version: USA_A_0000");
  AppRig rig;
  rig.app->cloneManager().SetPortName("Simulated transceiver");
  rig.bus->send(ev::kRefreshToolbar);
  auto* first = rig.form().statusBar()->findChild<QLabel*>("statusPanel1");
  auto* port = rig.form().statusBar()->findChild<PortNote*>();
  auto* idle = rig.form().statusBar()->findChild<IdleNote*>();
  ASSERT_TRUE(first && port && idle);
  QString note = "Typed 145.5125: stored as 145.512500 MHz, snapped to the 6.25 kHz channel step";
  // Narrow, but with room for the note alone: fonts differ in width from system to system (Wine's
  // stand-in is wider), and the window cannot grow beyond the screen.
  while (first->fontMetrics().horizontalAdvance(note) > 700) note.chop(1);
  rig.form().resize(800, 600);
  rig.settle();
  ASSERT_GT(port->width(), 0);
  ASSERT_GT(idle->width(), 0);
  rig.app->showPassingStatus(note);
  rig.settle();
  ASSERT_EQ(first->text(), note);
  EXPECT_GE(first->width(), first->fontMetrics().horizontalAdvance(note));
  EXPECT_EQ(idle->width(), 0);
  first->clear();
  rig.settle();
  EXPECT_GT(port->width(), 0);
  EXPECT_GT(idle->width(), 0);
}

TEST(MainWindow, NewDocumentTitleMinimumSizeAndLayout) {
  AppRig rig;
  EXPECT_EQ(rig.shownTitle(), "Untitled - Kestrin");
  rig.app->document().setModified();
  EXPECT_EQ(rig.shownTitle(), "Untitled* - Kestrin");
  rig.app->document().markSaved();
  EXPECT_EQ(rig.shownTitle(), "Untitled - Kestrin");
  EXPECT_EQ(rig.form().minimumSize(), QSize(400, 200));
  rig.form().resize(100, 50);
  EXPECT_GE(rig.form().width(), 400);
  EXPECT_GE(rig.form().height(), 200);
  EXPECT_EQ(rig.app->splitter()->handleWidth(), 3);
  // The stored tree pane width (200 by default), widened where a caption would be cut.
  EXPECT_GE(rig.app->splitter()->sizes().first(), 200);
  auto* tree = rig.form().findChild<QTreeWidget*>();
  ASSERT_NE(tree, nullptr);
  tree->expandAll();
  const QFontMetrics metrics(tree->font());
  for (QTreeWidgetItemIterator it(tree); *it; ++it) {
    const QRect r = tree->visualItemRect(*it);
    EXPECT_LE(r.left() + tree->iconSize().width() + metrics.horizontalAdvance((*it)->text(0)),
              tree->viewport()->width())
        << (*it)->text(0).toStdString();
  }
  // The status bar's second panel is square.
  rig.form().resize(800, 600);
  rig.settle();
  const QLabel* second = rig.app->statusBar()->findChild<QLabel*>("statusPanel2");
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->width(), rig.app->statusBar()->height());
  // The top menus: File, the Edit menu of undo and redo, then the described ones.
  QStringList top;
  for (QAction* a : rig.form().menuBar()->actions()) top << a->text();
  EXPECT_EQ(top, QStringList({"&File", "&Edit", "&View", "COM &Port", "&Clone", "&Help"}));
}

TEST(MainWindow, OffScreenPositionIsPulledIntoTheWorkArea) {
  AppRig::Options o;
  o.seed = [](indEnviron& e) { e.setWindowRect(WindowRect{5000, 4000, 640, 480}); };
  AppRig rig(o);
  const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
  const QRect g = rig.form().geometry();
  EXPECT_LE(g.left(), work.right() + 1 - 16);
  EXPECT_LE(g.top(), work.bottom() + 1 - 16);
  EXPECT_GE(g.top(), work.top());
  EXPECT_EQ(g.size(), QSize(640, 480));
}

// Whatever was stored (a larger monitor, a typing error, the ends of the integer range), the
// window fits the work area and its title bar can be reached.
TEST(MainWindow, AStoredRectangleOfAnySizeGivesAWindowThatFits) {
  const WindowRect cases[] = {
      {0, 0, 99999999, 99999999},
      {50, 40, 3800, 2100},
      {2600, 100, 800, 600},
      {INT_MAX, INT_MIN, INT_MAX, INT_MAX},
      {INT_MIN, INT_MAX, INT_MIN, INT_MIN},
  };
  for (const WindowRect& stored : cases) {
    SCOPED_TRACE(testing::Message() << stored.left << "," << stored.top << " " << stored.width
                                    << "x" << stored.height);
    AppRig::Options o;
    o.seed = [stored](indEnviron& e) { e.setWindowRect(stored); };
    AppRig rig(o);
    const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
    // The frame with its title bar too, once the window manager has put it around.
    EXPECT_TRUE(spinUntil([&] { return work.contains(rig.form().frameGeometry()); }, 3000));
    const QRect f = rig.form().frameGeometry();
    EXPECT_TRUE(work.contains(f)) << f.x() << "," << f.y() << " " << f.width() << "x" << f.height();
    const QRect g = rig.form().geometry();
    EXPECT_GE(g.width(), 400);
    EXPECT_GE(g.height(), 200);
  }
}

TEST(MainWindow, CloseStoresWindowAndTreeWidth) {
  AppRig rig;
  rig.form().setGeometry(30, 40, 700, 500);
  rig.app->splitter()->setSizes({150, 550});
  rig.settle();
  ASSERT_TRUE(rig.form().close());
  EXPECT_EQ(rig.settings->windowRect(), (WindowRect{30, 40, 700, 500}));
  EXPECT_EQ(rig.settings->splitterV(), rig.app->leftPanel()->width());
}

TEST(Menus, ShortcutTextsOfTheResourceText) {
  for (const char* text : {"Ctrl+N", "Alt+F4", "F1", "Enter", "Del", "Ins", "Ctrl+Up",
                           "Shift+Enter", "Ctrl+Down", "Ctrl+C", "Ctrl+V"}) {
    EXPECT_FALSE(shortcutFromText(text).isEmpty()) << text;
  }
  EXPECT_EQ(shortcutFromText("Enter"), QKeySequence(Qt::Key_Return));
  EXPECT_EQ(shortcutFromText("Del"), QKeySequence(Qt::Key_Delete));
  EXPECT_EQ(shortcutFromText("Shift+Enter"), QKeySequence(Qt::SHIFT | Qt::Key_Return));
}

TEST(Menus, BuiltWithDepthSeparatorsAndShortcuts) {
  AppRig rig;
  QMenu* file = rig.form().menuBar()->actions().first()->menu();
  ASSERT_NE(file, nullptr);
  QStringList items;
  for (QAction* a : file->actions()) items << (a->isSeparator() ? "-" : a->text());
  EXPECT_EQ(items.mid(0, 4), QStringList({"&New", "&Open...", "&Save", "Save &As..."}));
  const int import = int(items.indexOf("&Import..."));
  ASSERT_GT(import, 4);
  EXPECT_EQ(items[import - 1], "-");
  EXPECT_EQ(items[import + 1], "&Export...");
  EXPECT_EQ(items.last(), "E&xit");
  EXPECT_EQ(rig.menuAction(CL_Menu_File_New)->shortcut(), QKeySequence("Ctrl+N"));
  EXPECT_EQ(rig.menuAction(CL_Menu_File_Exit)->shortcut(), QKeySequence("Alt+F4"));
  EXPECT_EQ(rig.menuAction(CL_Help_Contents)->shortcut(), QKeySequence("F1"));
  EXPECT_EQ(rig.menuAction(CL_Menu_File_Print_Current)->shortcut(), QKeySequence("Ctrl+P"));
  EXPECT_EQ(rig.menuAction(CL_Menu_File_Print_All)->shortcut(), QKeySequence("Ctrl+Shift+P"));
  // Print opens a submenu of two items.
  QAction* current = rig.menuAction(CL_Menu_File_Print_Current);
  ASSERT_NE(current, nullptr);
  QMenu* print = qobject_cast<QMenu*>(current->parent());
  ASSERT_NE(print, nullptr);
  EXPECT_EQ(print->title(), "&Print");
  EXPECT_EQ(print->actions().size(), 2);
  // The adjust command is hidden while its flag is 0; import without a dialog is disabled.
  rig.app->mainMenu()->refresh();
  EXPECT_FALSE(rig.menuAction(CL_Menu_File_Import)->isEnabled());
}

TEST(Menus, FontSizeCheckMovesAfterAClickAndTheSheetComesBack) {
  AppRig rig;
  rig.app->mainMenu()->refresh();
  EXPECT_TRUE(rig.menuAction(CL_Menu_View_FontSize, 100)->isChecked());
  EXPECT_FALSE(rig.menuAction(CL_Menu_View_FontSize, 150)->isChecked());
  const QByteArray shown = rig.shownCall();
  ASSERT_FALSE(shown.isEmpty());
  rig.click(CL_Menu_View_FontSize, 150);
  EXPECT_EQ(rig.settings->fontSizePercentage(), 150);
  EXPECT_TRUE(rig.menuAction(CL_Menu_View_FontSize, 150)->isChecked());
  EXPECT_FALSE(rig.menuAction(CL_Menu_View_FontSize, 100)->isChecked());
  // The sheet was closed for the new font; the main timer opens it again.
  ASSERT_TRUE(spinUntil([&] { return rig.shownCall() == shown; }));
}

TEST(Menus, RecentFilesDoubleAmpersandsAndHideEmptyEntries) {
  AppRig::Options o;
  o.seed = [](indEnviron& e) {
    e.recent().append("/data/Tom & Jerry.qev");
    e.recent().append("/data/b.qev");
  };
  AppRig rig(o);
  rig.app->mainMenu()->refresh();
  QAction* first = rig.menuAction(CL_Menu_File_Recent, 0);
  EXPECT_EQ(first->text(), "&1 /data/Tom && Jerry.qev");
  EXPECT_TRUE(first->isEnabled());
  EXPECT_EQ(rig.menuAction(CL_Menu_File_Recent, 1)->text(), "&2 /data/b.qev");
  QAction* third = rig.menuAction(CL_Menu_File_Recent, 2);
  EXPECT_FALSE(third->isEnabled());
  EXPECT_FALSE(third->isVisible());
  // With no recent files at all no greyed entry is left.
  rig.settings->recent().clear();
  rig.app->mainMenu()->refresh();
  EXPECT_FALSE(rig.menuAction(CL_Menu_File_Recent, 0)->isVisible());
  EXPECT_FALSE(rig.menuAction(CL_Menu_File_Recent, 1)->isVisible());
}

// A recent file that is gone is named, and removed from the list only when the user says so.
TEST(Menus, MissingRecentFileIsNamedAndOfferedForRemoval) {
  AppRig::Options o;
  o.seed = [](indEnviron& e) {
    e.recent().append("/nowhere/gone.qev");
    e.recent().append("/nowhere/other.qev");
  };
  AppRig rig(o);
  rig.app->mainMenu()->refresh();
  rig.prompter.push(PromptAnswer::No);
  rig.click(CL_Menu_File_Recent, 0);
  ASSERT_EQ(rig.prompter.log().size(), 1u);
  const QString text = rig.prompter.texts().last();
  EXPECT_TRUE(text.startsWith("File error.")) << text.toStdString();
  EXPECT_TRUE(text.contains(QDir::toNativeSeparators("/nowhere/gone.qev"))) << text.toStdString();
  EXPECT_EQ(rig.settings->recent().count(), 2);
  rig.prompter.push(PromptAnswer::Yes);
  rig.click(CL_Menu_File_Recent, 0);
  EXPECT_EQ(rig.settings->recent().count(), 1);
  EXPECT_EQ(rig.settings->recent().path(0), "/nowhere/other.qev");
  EXPECT_EQ(rig.menuAction(CL_Menu_File_Recent, 0)->text(), "&1 /nowhere/other.qev");
  EXPECT_TRUE(rig.app->document().isUntitled());
}

TEST(Menus, ClickOnAnItemRemovedByARebuildDoesNothing) {
  AppRig rig;
  QAction* stale = rig.menuAction(CL_Menu_View_ToolBar);
  const int before = rig.settings->toolbarVisible();
  rig.app->mainMenu()->build();
  rig.app->mainMenu()->click(stale);
  EXPECT_EQ(rig.settings->toolbarVisible(), before);
}

TEST(Toolbar, ButtonsSeparatorsAndVisibility) {
  AppRig rig;
  cuiToolBar* bar = rig.app->toolBar();
  // New, Open, Save, -, Read, Write, Info, then ten separators.
  EXPECT_EQ(bar->buttonCount(), 17);
  EXPECT_EQ(bar->separatorCount(), 11);
  QToolBar* row = bar->rows().first();
  const QAction* last = row->actions().last();
  EXPECT_EQ(row->widgetForAction(const_cast<QAction*>(last))->width(), 8);
  EXPECT_EQ(bar->actionFor(CL_Menu_Clone_Info)->toolTip(), "Clone Info.");
  EXPECT_FALSE(bar->actionFor(CL_Menu_File_New)->icon().isNull());

  EXPECT_TRUE(row->isVisible());
  rig.click(CL_Menu_View_ToolBar);
  EXPECT_FALSE(row->isVisible());
  EXPECT_EQ(rig.settings->toolbarVisible(), 0);
  EXPECT_FALSE(rig.menuAction(CL_Menu_View_ToolBar)->isChecked());
  rig.click(CL_Menu_View_ToolBar);
  EXPECT_TRUE(row->isVisible());
  EXPECT_TRUE(rig.menuAction(CL_Menu_View_ToolBar)->isChecked());
}

TEST(AboutBox, VersionYearAndMainWindowDisabledWhileShown) {
  AppRig::Options o;
  o.versionFile = "KESTRIN\r\n2.15\r\n2031\r\n";
  AppRig rig(o);
  rig.click(CL_Help_About);
  QDialog* about = rig.app->aboutDialog();
  ASSERT_NE(about, nullptr);
  EXPECT_TRUE(about->isVisible());
  // The main window takes no input while the box shows.
  EXPECT_EQ(QApplication::activeModalWidget(), about);
  EXPECT_EQ(about->windowTitle(), "About Kestrin");
  const QString label = about->findChild<QLabel*>("aboutLabel")->text();
  EXPECT_TRUE(label.startsWith("Kestrin  Version 2.15\n")) << label.toStdString();
  EXPECT_TRUE(label.contains("Copyright (C) 2031 Zelk Inc.")) << label.toStdString();
  // The close query refuses while the About box is up.
  EXPECT_FALSE(rig.form().close());
  about->findChild<QPushButton*>()->click();
  rig.settle();
  EXPECT_EQ(rig.app->aboutDialog(), nullptr);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_TRUE(rig.form().close());
}

}  // namespace
