// The File commands from the window: the save prompt guarding New, Open and Exit, the open and
// save dialogs, the destination question, and a file handed over by a second start.
#include <gtest/gtest.h>

#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QTreeWidget>
#include <cstdio>
#include <cstring>
#include <memory>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

#include "app/InstanceHandOver.h"
#include "app/cuiTree.h"
#include "support/AppRig.h"
#include "gtex/celllinks.h"
#include "sheet/ui/DocumentUndo.h"
#include "sheet/ui/cuiSheet.h"

namespace {

// A data file of destination `code`, written by the program itself.
QString writeDataFile(AppRig& rig, const QString& name, int code) {
  const QString path = rig.dir.filePath(name);
  Document& d = rig.app->document();
  const int before = d.destination();
  d.setDestination(code);
  d.newDocument();
  rig.setChannel(3, 146520000);
  EXPECT_EQ(rig.app->files().saveFile(path), 0);
  d.setDestination(before);
  d.newDocument();
  rig.app->undo()->clear();
  return path;
}

QStringList shownTexts(const AppRig& rig) { return rig.prompter.texts(); }

TEST(SavePrompt, NewAsksAndCancelKeepsTheChanges) {
  AppRig rig;
  rig.setChannel(3, 146520000);
  rig.prompter.push(PromptAnswer::Cancel);
  rig.click(CL_Menu_File_New);
  EXPECT_EQ(shownTexts(rig), QStringList({"Save changes to Untitled?"}));
  EXPECT_TRUE(rig.app->document().isModified());
  // No drops them.
  rig.prompter.push(PromptAnswer::No);
  rig.click(CL_Menu_File_New);
  EXPECT_FALSE(rig.app->document().isModified());
  EXPECT_EQ(rig.app->document().working().getByte(0),
            rig.app->document().defaultImage().getByte(0));
}

TEST(SavePrompt, NewAnsweredYesSavesThroughTheSaveDialog) {
  AppRig rig;
  rig.setChannel(3, 146520000);
  const QString path = rig.dir.filePath("kept.qev");
  const QString directory = rig.app->document().currentDirectory();
  rig.prompter.push(PromptAnswer::Yes);
  rig.chooser.setNextFileName(path);
  rig.click(CL_Menu_File_New);
  ASSERT_EQ(rig.chooser.log().size(), 1u);
  const ScriptedFileChooser::Entry& asked = rig.chooser.log().front();
  EXPECT_TRUE(asked.save);
  EXPECT_EQ(asked.request.proposedName, "Untitled");
  EXPECT_EQ(asked.request.initialDirectory, directory);
  EXPECT_EQ(asked.request.defaultExtension, "qev");
  EXPECT_EQ(asked.request.filter, "Data files (*.qev)|*.qev|All files (*.*)|*.*");
  EXPECT_TRUE(QFile::exists(path));
  EXPECT_EQ(rig.settings->recent().path(0), path);
  EXPECT_TRUE(rig.app->document().isUntitled());  // New followed the save
}

TEST(SavePrompt, ReopeningTheOpenFileAsksGenericallyAndOffersSaveAs) {
  AppRig rig;
  const QString path = writeDataFile(rig, "same.qev", 0);
  ASSERT_EQ(rig.app->openFileByPath(path), 0);
  EXPECT_EQ(rig.shownTitle(), "same.qev - Kestrin");
  rig.setChannel(4, 146000000);
  rig.prompter.push(PromptAnswer::Yes);
  rig.chooser.setNextFileName(path);  // the open dialog; the Save As dialog that follows cancels
  rig.click(CL_Menu_File_Open);
  ASSERT_GE(rig.chooser.log().size(), 2u);
  EXPECT_FALSE(rig.chooser.log()[0].save);
  EXPECT_EQ(rig.chooser.log()[0].request.initialDirectory, rig.dir.path());
  EXPECT_TRUE(rig.chooser.log()[1].save);  // Save As, not a silent overwrite
  EXPECT_EQ(shownTexts(rig).last(), "Save changes?");
  EXPECT_TRUE(rig.app->document().isModified());
}

TEST(SaveFile, AChannelClearedBySavingShowsEmptyOnTheOpenSheet) {
  AppRig rig;
  DestinationOptions radio = rig.app->document().options();
  radio.rxExpansion = false;  // so 150 MHz is a receive-only frequency
  rig.app->document().setOptions(radio);
  QTreeWidgetItem* memory = rig.app->tree()->findNode("[St_ColCut]GI_Sheet_MemoryCH,0,0");
  ASSERT_NE(memory, nullptr);
  memory->parent()->setExpanded(true);
  rig.app->tree()->control()->setCurrentItem(memory);
  ASSERT_TRUE(spinUntil([&] { return rig.shownCall() == "[St_ColCut]GI_Sheet_MemoryCH,0,0"; }));
  rig.setChannel(10, 150000000);
  cuiSheet* sheet = rig.app->currentSheet();
  sheet->refreshAll();
  ASSERT_TRUE(sheet->selectCell(CT_Conv, CL_Mch_Freq, 10));
  const SheetPos cell = sheet->currentCell();
  ASSERT_TRUE(sheet->model().displayText(cell.column, cell.row).startsWith("150"))
      << sheet->model().displayText(cell.column, cell.row).toStdString();

  rig.prompter.push(PromptAnswer::Ok);
  ASSERT_EQ(rig.app->files().saveFile(rig.dir.filePath("cleared.qev")), 0);
  rig.settle();
  ASSERT_EQ(rig.prompter.log().size(), 1u);
  EXPECT_TRUE(rig.prompter.log()[0].message.text.contains(": 10."));
  EXPECT_EQ(rig.app->currentSheet(), sheet);
  EXPECT_EQ(sheet->model().displayText(cell.column, cell.row).trimmed(), "");
  EXPECT_FALSE(rig.app->document().isModified());

  // The clearing is one step that Undo takes back; the document then differs from its file.
  ASSERT_TRUE(rig.app->undo()->canUndo());
  rig.app->undo()->undo();
  rig.settle();
  EXPECT_TRUE(sheet->model().displayText(cell.column, cell.row).startsWith("150"));
  EXPECT_TRUE(rig.app->document().isModified());
}

TEST(SavePrompt, ExitAsksAndCancelKeepsTheWindow) {
  AppRig rig;
  rig.setChannel(3, 146520000);
  rig.prompter.push(PromptAnswer::Cancel);
  rig.click(CL_Menu_File_Exit);
  EXPECT_TRUE(rig.form().isVisible());
  EXPECT_EQ(shownTexts(rig), QStringList({"Save changes to Untitled?"}));
  rig.prompter.push(PromptAnswer::No);
  rig.click(CL_Menu_File_Exit);
  EXPECT_FALSE(rig.form().isVisible());
}

TEST(OpenFile, AnotherDestinationAnsweredNoKeepsOursAndLeavesTheDocumentUntitledAndModified) {
  AppRig rig;
  const QString path = writeDataFile(rig, "usa.qev", 1);
  rig.prompter.push(PromptAnswer::No);
  rig.chooser.setNextFileName(path);
  rig.click(CL_Menu_File_Open);
  ASSERT_FALSE(shownTexts(rig).isEmpty());
  EXPECT_TRUE(shownTexts(rig).last().startsWith("Settings don't match with data file's version."));
  Document& d = rig.app->document();
  EXPECT_EQ(d.destination(), 0);
  EXPECT_EQ(rig.settings->destinationCode(), 0);
  EXPECT_TRUE(d.isUntitled());
  EXPECT_TRUE(d.isModified());
  EXPECT_EQ(rig.shownTitle(), "Untitled* - Kestrin");
  EXPECT_EQ(rig.settings->recent().path(0), path);
}

TEST(OpenFile, AnotherDestinationAnsweredYesSwitchesAndRebuildsTheTree) {
  AppRig rig;
  const QString path = writeDataFile(rig, "usa.qev", 1);
  rig.prompter.push(PromptAnswer::Yes);
  ASSERT_EQ(rig.app->openFileByPath(path), 0);
  EXPECT_EQ(rig.app->document().destination(), 1);
  EXPECT_EQ(rig.settings->destinationCode(), 1);
  EXPECT_EQ(rig.app->document().currentFile(), path);
  EXPECT_FALSE(rig.app->document().isModified());
  EXPECT_NE(rig.app->tree(), nullptr);
  EXPECT_TRUE(spinUntil([&] { return rig.app->currentSheet() != nullptr; }));
}

TEST(OpenFile, ABrokenFileIsRefusedAndTheDocumentStays) {
  AppRig rig;
  const QString path = rig.dir.filePath("broken.qev");
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("not a data file\n");
  f.close();
  rig.chooser.setNextFileName(path);
  rig.click(CL_Menu_File_Open);
  ASSERT_FALSE(shownTexts(rig).isEmpty());
  EXPECT_TRUE(shownTexts(rig).last().startsWith("File error."))
      << shownTexts(rig).last().toStdString();
  EXPECT_TRUE(rig.app->document().isUntitled());
  EXPECT_EQ(rig.settings->recent().count(), 0);
}

// Starts the real program a second time with `path`, as the user does; it hands the file to the
// running instance (this test, holding the instance lock of the same settings folder) and ends.
// Returns its exit code (-1 when it did not end).
int startSecondInstance(AppRig& rig, const QString& path) {
  QProcess second;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("KESTRIN_SETTINGS_DIR", rig.dir.path());
  env.insert("QT_QPA_PLATFORM", "offscreen");
  second.setProcessEnvironment(env);
  second.start(qEnvironmentVariable("KESTRIN_BIN_DIR") + "/kestrin", {path});
  if (!second.waitForStarted(5000)) return -1;
  const bool ended = spinUntil([&] { return second.state() == QProcess::NotRunning; }, 15000);
  const QByteArray err = second.readAllStandardError();
  if (!err.isEmpty()) std::fprintf(stderr, "second instance: %s\n", err.constData());
  if (!ended) {
    second.kill();
    second.waitForFinished(3000);
    return -1;
  }
  return second.exitCode();
}

void listen(AppRig& rig) {
  QString error;
  const QString socket = InstanceHandOver::socketName(rig.settings->lockFilePath(), &error);
  ASSERT_FALSE(socket.isEmpty()) << error.toStdString();
  rig.app->acceptHandOvers(socket);
}

TEST(HandOver, AFileGivenToASecondInstanceOpensInTheFirst) {
  AppRig rig;
  const QString path = writeDataFile(rig, "handed.qev", 0);
  listen(rig);
  rig.form().showMaximized();
  EXPECT_EQ(startSecondInstance(rig, path), 0);
  EXPECT_TRUE(spinUntil([&] { return rig.app->document().currentFile() == path; }, 10000));
  EXPECT_EQ(rig.shownTitle(), "handed.qev - Kestrin");
  // Brought to the front as it was, not un-maximised.
  EXPECT_TRUE(rig.form().isMaximized());
}

// While the window is busy (a question open, a clone run holding it) a handed-over file waits;
// it opens once the window is free, after the question it would otherwise have stacked on.
TEST(HandOver, AFileHandedOverWhileTheWindowIsBusyWaits) {
  struct Case {
    const char* name;
    std::function<void(AppRig&, const std::function<void()>&)> busyWhile;
  };
  const Case cases[] = {
      {"a Save changes? box",
       [](AppRig& rig, const std::function<void()>& during) {
         rig.setChannel(5, 146000000);
         rig.prompter.push(PromptAnswer::Cancel);
         auto shown = std::make_shared<bool>(false);
         rig.prompter.whileShown = [&rig, during, shown](const PromptMessage&) {
           if (*shown) return;  // the questions after this one are answered at once
           *shown = true;
           // The box is modal while it shows, as the real one is.
           QDialog box(&rig.form());
           box.setModal(true);
           box.show();
           during();
         };
         rig.click(CL_Menu_File_New);
       }},
      {"the window disabled by a clone run",
       [](AppRig& rig, const std::function<void()>& during) {
         rig.form().setEnabled(false);
         during();
         rig.form().setEnabled(true);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AppRig rig;
    const QString path = writeDataFile(rig, "handed.qev", 0);
    listen(rig);
    const QString before = rig.app->document().currentFile();
    int promptsDuring = -1;
    c.busyWhile(rig, [&] {
      EXPECT_EQ(startSecondInstance(rig, path), 0);
      spinFor(200);  // several ticks of the main timer
      EXPECT_EQ(rig.app->document().currentFile(), before);
      EXPECT_EQ(rig.app->queuedFiles(), QStringList{path});
      promptsDuring = int(rig.prompter.log().size());
    });
    EXPECT_LE(promptsDuring, 1) << "no second question while the first is open";
    // Free again: the file opens (after its own save question, answered No).
    rig.prompter.push(PromptAnswer::No);
    EXPECT_TRUE(spinUntil([&] { return rig.app->document().currentFile() == path; }, 5000));
    EXPECT_TRUE(rig.app->queuedFiles().isEmpty());
  }
}

// The socket is not where another user could take it first, and the running instance holds
// no connection that sends too much or nothing at all.
TEST(HandOver, TheSocketIsPrivateAndBounded) {
  QTemporaryDir dir;
  QString error;
  const QString name = InstanceHandOver::socketName(dir.filePath("x.lock"), &error);
  ASSERT_FALSE(name.isEmpty()) << error.toStdString();
  const QFileInfo folder(QFileInfo(name).absolutePath());
  EXPECT_NE(folder.absoluteFilePath(), QFileInfo(QDir::tempPath()).absoluteFilePath());
#ifdef Q_OS_UNIX  // a Windows pipe name is no file in a folder
  EXPECT_FALSE(folder.permissions() & (QFile::WriteGroup | QFile::WriteOther));
#endif

  InstanceHandOver server(name);
  ASSERT_TRUE(server.listening()) << server.errorString().toStdString();
  server.setIdleTimeout(150);
  QStringList received;
  QObject::connect(&server, &InstanceHandOver::fileReceived,
                   [&](const QString& path) { received << path; });

  // Silent connections are dropped after the idle time; too many at once are refused.
  std::vector<std::unique_ptr<QLocalSocket>> idle;
  for (int i = 0; i < InstanceHandOver::kMaxConnections + 4; ++i) {
    idle.push_back(std::make_unique<QLocalSocket>());
    idle.back()->connectToServer(name);
  }
  spinFor(50);
  EXPECT_LE(server.openConnections(), InstanceHandOver::kMaxConnections);
  EXPECT_TRUE(spinUntil([&] { return server.openConnections() == 0; }, 3000));

  // Megabytes without a line end are cut off, not kept.
  QLocalSocket flood;
  flood.connectToServer(name);
  ASSERT_TRUE(flood.waitForConnected(1000));
  const QByteArray chunk(64 * 1024, 'a');
  for (int i = 0; i < 32 && flood.state() == QLocalSocket::ConnectedState; ++i) {
    flood.write(chunk);
    spinFor(5);
  }
  EXPECT_TRUE(spinUntil([&] { return flood.state() != QLocalSocket::ConnectedState; }, 3000));
  EXPECT_TRUE(received.isEmpty());

  // A plain hand-over still works after all that.
  QLocalSocket good;
  good.connectToServer(name);
  ASSERT_TRUE(good.waitForConnected(1000));
  good.write("/some/file.qev\n");
  EXPECT_TRUE(spinUntil([&] { return !received.isEmpty(); }, 3000));
  EXPECT_EQ(received, QStringList{"/some/file.qev"});
}

#ifdef Q_OS_UNIX
// A socket file left behind by a run that crashed is taken over; the file goes with the running
// instance, and a later start is then told that nobody listens.
TEST(HandOver, AStaleSocketIsTakenOverAndRemovedAtTheEnd) {
  QTemporaryDir dir;
  QString error;
  const QString name = InstanceHandOver::socketName(dir.filePath("stale.lock"), &error);
  ASSERT_FALSE(name.isEmpty()) << error.toStdString();
  {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, QFile::encodeName(name).constData(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);  // the file stays, with nobody behind it
  }
  ASSERT_TRUE(QFileInfo::exists(name));
  EXPECT_FALSE(InstanceHandOver::send(name, QStringLiteral("/a.qev"), &error, 1000));
  EXPECT_TRUE(error.startsWith("the running instance does not listen")) << error.toStdString();
  {
    InstanceHandOver server(name);
    ASSERT_TRUE(server.listening()) << server.errorString().toStdString();
    QStringList received;
    QObject::connect(&server, &InstanceHandOver::fileReceived,
                     [&](const QString& path) { received << path; });
    QLocalSocket client;
    client.connectToServer(name);
    ASSERT_TRUE(client.waitForConnected(1000));
    client.write("/b.qev\n");
    EXPECT_TRUE(spinUntil([&] { return !received.isEmpty(); }, 3000));
    EXPECT_EQ(received, QStringList{"/b.qev"});
  }
  EXPECT_FALSE(QFileInfo::exists(name));
}
#endif

TEST(HandOver, ASecondInstanceWithoutAFileEndsSilently) {
  AppRig rig;
  QProcess second;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("KESTRIN_SETTINGS_DIR", rig.dir.path());
  env.insert("QT_QPA_PLATFORM", "offscreen");
  second.setProcessEnvironment(env);
  second.start(qEnvironmentVariable("KESTRIN_BIN_DIR") + "/kestrin", {});
  ASSERT_TRUE(second.waitForFinished(10000));
  EXPECT_EQ(second.exitCode(), 0);
  EXPECT_TRUE(rig.prompter.log().empty());
}

}  // namespace
