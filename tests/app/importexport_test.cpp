// File > Import... and Export... in the real main window, with the dialogs answered by scripts.

#include "app/ImportExport.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QUndoStack>
#include <vector>

#include "../base/spin.h"
#include "app/TForm1.h"
#include "app/cuiMenu.h"
#include "app/cuiTree.h"
#include "app/indMain.h"
#include "base/cmcEvMan.h"
#include "base/filechooser.h"
#include "base/prompter.h"
#include "files/channelcsv.h"
#include "files/indEnviron.h"
#include "gtex/cmcGTex.h"
#include "model/ChannelView.h"
#include "model/cmcEeprom.h"
#include "resources/embedded_text.h"
#include "sheet/ui/DocumentUndo.h"
#include "sheet/ui/cuiSheet.h"
#include "support/TestWindow.h"

namespace {

constexpr char kMemory0[] = "[St_ColCut]GI_Sheet_MemoryCH,0,0";
constexpr char kMemory1[] = "[St_ColCut]GI_Sheet_MemoryCH,1,100";
constexpr char kScanEdges[] = "[St_ColCut]GI_Sheet_ScanEdge,2";
constexpr char kCall[] = "[St_ColCut]GI_Sheet_CallCh,3";
constexpr char kCommon[] = "[St_Common]GI_Sheet_Common,7";
constexpr int kLastCallChannel = 206;

class ImportExportWindow : public ::testing::Test, public TestWindow {
 protected:
  ImportExportWindow()
      : TestWindow([](indEnviron& first, const QString& folder) {
          first.setCurrentDirectory(folder);
        }) {
    QDir(dir.path()).mkdir("lists");
    const CsvSeparators s =
        CsvSeparators::resolve(app->formats().decimalSeparator, app->formats().listSeparator);
    list = s.list;
    decimal = s.decimal;
  }
  void show(const char* call) {
    app->openSheet(call);
    ASSERT_NE(app->currentSheet(), nullptr);
    ASSERT_EQ(app->currentSheet()->callString(), call);
  }
  QAction* fileCommand(const QString& caption) const {
    for (QAction* a : app->form()->menuBar()->actions().first()->menu()->actions())
      if (a->text() == caption) return a;
    return nullptr;
  }
  void setChannel(int index, uint32_t hz) {
    ChannelView view(app->document().working(), app->document().options());
    view.load(kKindConventional, index);
    view.inUse = true;
    view.frequency = hz;
    view.commit();
  }
  ChannelFields channel(int index) {
    ChannelView view(app->document().working(), app->document().options());
    view.load(kKindConventional, index);
    return view.fields();
  }
  std::vector<ChannelFields> allChannels() {
    std::vector<ChannelFields> all;
    for (int i = 0; i <= kLastCallChannel; ++i) all.push_back(channel(i));
    return all;
  }
  QByteArray image() const {
    const cmcEeprom& w = app->document().working();
    return QByteArray(reinterpret_cast<const char*>(w.data()), w.size());
  }
  // A channel list in the window's separators: "|" stands for the list separator and "."
  // for the decimal character; lines end with CR LF.
  QString writeList(const char* name, const QByteArray& lines) {
    QByteArray contents = lines;
    contents.replace('.', decimal).replace('|', list).replace("\n", "\r\n");
    const QString path = dir.filePath(QStringLiteral("lists/") + name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(contents);
    return path;
  }
  static QByteArray header() {
    QByteArray h;
    for (int c = 0; c < csvtext::kColumnCount; ++c)
      h += (c ? "|" : "") + QByteArray(csvtext::columnName(c));
    return h + "\n";
  }
  QString warning(const char* key) { return QString::fromLatin1(text.getSectionText(key)); }

  char list = ',';
  char decimal = '.';
};

// The scan-edge sheet exports the header and six lines numbered 00 to 05 through the save dialog
// of channel lists, and the file's directory becomes the current directory.
TEST_F(ImportExportWindow, ExportOfTheScanEdgesWritesSixNumberedLines) {
  show(kScanEdges);
  const QString path = dir.filePath("lists/edges.csv");
  chooser.setNextFileName(path);
  QAction* exportCommand = fileCommand("&Export...");
  ASSERT_NE(exportCommand, nullptr);
  app->mainMenu()->refresh();
  ASSERT_TRUE(exportCommand->isEnabled());
  exportCommand->trigger();

  ASSERT_EQ(chooser.log().size(), 1u);
  const ScriptedFileChooser::Entry& asked = chooser.log().front();
  EXPECT_TRUE(asked.save);
  EXPECT_EQ(asked.request.defaultExtension, "csv");
  EXPECT_EQ(asked.request.filter,
            "CSV files (*.csv)|*.csv|Common channel list (*.csv)|*.csv|All files (*.*)|*.*");
  EXPECT_EQ(asked.request.initialDirectory, dir.path());
  EXPECT_EQ(asked.request.proposedName, "Program Scan Edge.csv");

  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QList<QByteArray> lines = file.readAll().split('\n');
  ASSERT_EQ(lines.size(), 8);  // header, six channels, nothing after the last CR LF
  EXPECT_EQ(lines[0], header().replace('|', list).replace('\n', '\r'));
  for (int n = 0; n < 6; ++n) {
    EXPECT_TRUE(lines[n + 1].startsWith(QByteArray::number(n).rightJustified(2, '0') + list))
        << lines[n + 1].constData();
    EXPECT_TRUE(lines[n + 1].endsWith('\r'));
  }
  EXPECT_TRUE(lines[7].isEmpty());
  EXPECT_TRUE(prompter.log().empty());
  EXPECT_EQ(app->document().currentDirectory(), dir.filePath("lists"));
  EXPECT_EQ(settings->currentDirectory(), dir.filePath("lists"));
  EXPECT_FALSE(app->document().isModified());
}

TEST_F(ImportExportWindow, ExportThatCannotCreateItsFileSaysSoAndNamesIt) {
  show(kCall);
  const QString path = dir.filePath("no such folder/call.csv");
  chooser.setNextFileName(path);
  app->exportChannels();
  ASSERT_EQ(prompter.log().size(), 1u);
  EXPECT_EQ(prompter.log()[0].message.text,
            "File error.\n\nCannot open the file.\n\n" + QDir::toNativeSeparators(path));
  EXPECT_EQ(prompter.log()[0].message.icon, PromptIcon::Warning);
  EXPECT_EQ(prompter.log()[0].message.caption, warning("GI_Sys_AppTitle"));
  EXPECT_FALSE(QFile::exists(path));
  EXPECT_EQ(app->document().currentDirectory(), dir.path());
}

// Three lines into channels 100 to 199: a good one, one with a seven-letter name (corrected)
// and one whose frequency is not a number (read as blank). The group is cleared first, every
// other channel stays as it was, and the reports follow the confirmation in their order.
TEST_F(ImportExportWindow, ImportAfterOkRewritesOnlyItsGroupAndReports) {
  setChannel(5, 146500000);
  setChannel(150, 147000000);
  app->document().markSaved();
  show(kMemory1);
  const std::vector<ChannelFields> before = allChannels();
  const int opened = app->sheetsOpened();

  const QString path = writeList(
      "three.csv",
      header() +
          "00|145.500000|OFF|OFF|0.000000|OFF|5kHz|FM|ON|RPT|OFF|High|TONE|88.5Hz|88.5Hz|023|BOTH "
          "N|OFF\n"
          "07|146.000000|DUP-|OFF|0.600000|OFF|10kHz|FM|ON|ABCDEFG|SKIP|Low|OFF|88.5Hz|88.5Hz|023|"
          "BOTH N|OFF\n"
          "12|abc|OFF|OFF|0.000000|OFF|5kHz|FM|OFF||OFF|High|OFF|88.5Hz|88.5Hz|023|BOTH N|OFF\n");
  chooser.setNextFileName(path);
  prompter.push(PromptAnswer::Ok);
  QAction* importCommand = fileCommand("&Import...");
  ASSERT_NE(importCommand, nullptr);
  app->mainMenu()->refresh();  // as the File menu does when it opens
  importCommand->trigger();

  ASSERT_EQ(chooser.log().size(), 1u);
  EXPECT_FALSE(chooser.log()[0].save);
  EXPECT_EQ(chooser.log()[0].request.defaultExtension, "csv");
  EXPECT_EQ(chooser.log()[0].request.initialDirectory, dir.path());

  ASSERT_EQ(prompter.log().size(), 3u) << prompter.texts().join(" / ").toStdString();
  const PromptMessage& confirm = prompter.log()[0].message;
  EXPECT_EQ(confirm.text, "Import from the file.\nCurrent sheet will be cleared.\nAre you sure?");
  EXPECT_EQ(confirm.buttons, PromptButtons::OkCancel);
  EXPECT_EQ(confirm.icon, PromptIcon::Warning);
  EXPECT_EQ(prompter.log()[1].message.text, warning("GI_Mess_Import_Discard"));
  EXPECT_EQ(prompter.log()[2].message.text, warning("GI_Mess_Import_Correct"));

  const std::vector<ChannelFields> after = allChannels();
  for (int i = 0; i <= kLastCallChannel; ++i) {
    if (i >= 100 && i < 200) {
      EXPECT_EQ(after[i].inUse, i == 100 || i == 107) << "channel " << i;
    } else {
      EXPECT_TRUE(after[i] == before[i]) << "channel " << i;
    }
  }
  EXPECT_EQ(after[100].frequency, 145500000u);
  EXPECT_EQ(after[100].toneMode, 1);
  EXPECT_EQ(QByteArray(after[100].name.data(), 6), "RPT   ");
  EXPECT_EQ(after[107].frequency, 146000000u);
  EXPECT_EQ(after[107].duplex, 1);
  EXPECT_EQ(after[107].offset, 600000u);
  EXPECT_EQ(QByteArray(after[107].name.data(), 6), "ABCDEF");

  EXPECT_TRUE(app->document().isModified());
  EXPECT_EQ(app->undo()->stack()->count(), 1);
  EXPECT_EQ(app->document().currentDirectory(), dir.filePath("lists"));
  EXPECT_EQ(settings->currentDirectory(), dir.filePath("lists"));
  // Event 32 builds the same sheet again.
  ASSERT_TRUE(spinUntil([&] { return app->sheetsOpened() > opened; }));
  ASSERT_NE(app->currentSheet(), nullptr);
  EXPECT_EQ(app->currentSheet()->callString(), kMemory1);
}

// Undo takes back the whole import, byte for byte, and the document is as saved again; redo
// brings it back.
TEST_F(ImportExportWindow, UndoAfterAnImportRestoresTheImage) {
  setChannel(0, 146500000);
  app->document().markSaved();
  show(kMemory0);
  const QByteArray saved = image();
  chooser.setNextFileName(writeList("one.csv", header() + "03|145.000000\n"));
  app->importChannels();
  const QByteArray imported = image();
  ASSERT_NE(imported, saved);
  ASSERT_FALSE(channel(0).inUse);
  ASSERT_TRUE(channel(3).inUse);
  ASSERT_EQ(app->undo()->stack()->count(), 1);

  app->undo()->undo();
  EXPECT_EQ(image(), saved);
  EXPECT_FALSE(app->document().isModified());
  app->undo()->redo();
  EXPECT_EQ(image(), imported);
  EXPECT_TRUE(app->document().isModified());
}

// What must leave the document alone: Cancel at the confirmation, a header without
// "Frequency", a file that cannot be read. The error boxes name the file.
TEST_F(ImportExportWindow, CancelledOrFailedImportsChangeNothing) {
  struct Case {
    const char* name;
    const char* contents;  // nullptr: no such file
    PromptAnswer confirmation;
    const char* errorKey;  // nullptr: no box after the confirmation
  };
  const Case cases[] = {
      {"cancel.csv", "CH No|Frequency\n00|145.000000\n", PromptAnswer::Cancel, nullptr},
      {"nofreq.csv", "CH No|Name|Dup\n00|ABC|OFF\n", PromptAnswer::Ok, "GI_Mess_Import_TitleErr"},
      {"missing.csv", nullptr, PromptAnswer::Ok, "GI_Mess_Import_OpenErr"},
  };
  setChannel(120, 147000000);
  app->document().markSaved();
  show(kMemory1);
  const QByteArray before = image();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    prompter.clearLog();
    const QString path = c.contents ? writeList(c.name, c.contents)
                                    : dir.filePath(QStringLiteral("lists/") + c.name);
    chooser.setNextFileName(path);
    prompter.push(c.confirmation);
    const int opened = app->sheetsOpened();
    app->importChannels();

    ASSERT_EQ(prompter.log().size(), c.errorKey ? 2u : 1u);
    if (c.errorKey) {
      const PromptMessage& error = prompter.log()[1].message;
      EXPECT_EQ(error.text, warning(c.errorKey) + "\n\n" + QDir::toNativeSeparators(path));
      EXPECT_TRUE(error.text.startsWith("File error.\n\n"));
      EXPECT_EQ(error.icon, PromptIcon::Warning);
    }
    EXPECT_EQ(image(), before);
    EXPECT_FALSE(app->document().isModified());
    EXPECT_EQ(app->undo()->stack()->count(), 0);
    EXPECT_EQ(app->document().currentDirectory(), dir.path());
    spinFor(30);
    EXPECT_EQ(app->sheetsOpened(), opened);  // no reopening either
  }
}

// Import and Export are on exactly for the four channel-group sheets, in the File menu and on
// the nodes' popup menus; elsewhere the commands do nothing at all.
TEST_F(ImportExportWindow, CommandsAreOnOnlyForTheChannelGroupSheets) {
  const struct {
    const char* call;
    bool enabled;
  } cases[] = {
      {kMemory0, true},
      {kMemory1, true},
      {kScanEdges, true},
      {kCall, true},
      {kCommon, false},
      {"[St_Common]GI_Sheet_Common,9", false},
      {"[St_ColCut]GI_Sheet_Func,8,0", false},
      {"GI_Sheet_BankName,5", false},
      {"GI_Sheet_DTMF_Memory,6", false},
  };
  QAction* importCommand = fileCommand("&Import...");
  QAction* exportCommand = fileCommand("&Export...");
  ASSERT_NE(importCommand, nullptr);
  ASSERT_NE(exportCommand, nullptr);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.call);
    show(c.call);
    app->mainMenu()->refresh();
    EXPECT_EQ(importCommand->isEnabled(), c.enabled);
    EXPECT_EQ(exportCommand->isEnabled(), c.enabled);
    EXPECT_EQ(app->importAvailable(), c.enabled);
    EXPECT_EQ(app->exportAvailable(), c.enabled);
  }

  show(kCommon);
  const QByteArray before = image();
  app->importChannels();
  app->exportChannels();
  EXPECT_TRUE(chooser.log().empty());
  EXPECT_TRUE(prompter.log().empty());
  EXPECT_EQ(image(), before);
}

// A right-click on another node opens that node's sheet before its popup menu shows, so the
// menu's Import and Export act on the group the user pointed at.
TEST_F(ImportExportWindow, NodePopupActsOnTheNodeRightClicked) {
  cuiTree* tree = app->tree();
  ASSERT_NE(tree, nullptr);
  QTreeWidgetItem* common = tree->findNode(kCommon);
  QTreeWidgetItem* call = tree->findNode(kCall);
  ASSERT_TRUE(common && call);
  tree->control()->setCurrentItem(common);
  ASSERT_TRUE(spinUntil(
      [&] { return app->currentSheet() && app->currentSheet()->callString() == kCommon; }));
  EXPECT_TRUE(tree->popupMenu()->isEmpty());  // the common settings have no node popup

  tree->control()->setCurrentItem(call);
  emit tree->control()->customContextMenuRequested(tree->control()->visualItemRect(call).center());
  ASSERT_NE(app->currentSheet(), nullptr);
  EXPECT_EQ(app->currentSheet()->callString(), kCall);
  const QList<QAction*> items = tree->popupMenu()->actions();
  ASSERT_EQ(items.size(), 2);
  EXPECT_EQ(items[0]->text(), "Import...");
  EXPECT_EQ(items[1]->text(), "Export...");
  EXPECT_TRUE(items[0]->isEnabled());
  EXPECT_TRUE(items[1]->isEnabled());

  const QString shot = qEnvironmentVariable("KESTRIN_SCREENSHOT_DIR");
  if (!shot.isEmpty()) {
    spinFor(100);
    // The whole screen: the popup is a window of its own.
    if (QScreen* screen = QGuiApplication::primaryScreen())
      screen->grabWindow(0).save(shot + "/tree-popup.png");
  }
  tree->popupMenu()->hide();

  const QString path = dir.filePath("lists/call.csv");
  chooser.setNextFileName(path);
  items[1]->trigger();
  ASSERT_EQ(chooser.log().size(), 1u);
  EXPECT_EQ(chooser.log()[0].request.proposedName, "CALL CH.csv");
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll().count('\n'), 2);  // the header and the call channel
}

TEST(ImportExportGroups, SheetsAndTheirChannelGroups) {
  EXPECT_EQ(channelGroupOfSheet(kMemory0), ChannelGroup::Memory0);
  EXPECT_EQ(channelGroupOfSheet(kMemory1), ChannelGroup::Memory1);
  EXPECT_EQ(channelGroupOfSheet(kScanEdges), ChannelGroup::ScanEdges);
  EXPECT_EQ(channelGroupOfSheet(kCall), ChannelGroup::Call);
  EXPECT_FALSE(channelGroupOfSheet("[St_ColCut]GI_Sheet_MarineCH,4").has_value());
  EXPECT_FALSE(channelGroupOfSheet("[St_ColCut]GI_Sheet_Func,10,1").has_value());
  EXPECT_FALSE(channelGroupOfSheet("GI_Sheet_TopPage").has_value());
}

}  // namespace

// The common layout: a file type of the export dialog, and an import told by its header, put
// in through the catalogue as one undo step, with the row report in a box of its own.
TEST_F(ImportExportWindow, CommonLayoutIsAFileTypeAndItsImportReportsEveryRow) {
  setChannel(2, 146940000);
  show(kMemory0);
  const QString path = dir.filePath("lists/common.csv");
  chooser.setNextFileName(path);
  chooser.setNextFilter(1);
  app->exportChannels();
  ASSERT_EQ(chooser.log().size(), 1u);
  EXPECT_EQ(chooser.log()[0].request.filter,
            "CSV files (*.csv)|*.csv|Common channel list (*.csv)|*.csv|All files (*.*)|*.*");
  QFile exported(path);
  ASSERT_TRUE(exported.open(QIODevice::ReadOnly));
  const QByteArray written = exported.readAll();
  EXPECT_TRUE(written.startsWith("Location,Name,Frequency,Duplex,")) << written.constData();
  EXPECT_TRUE(written.contains("\r\n2,") && written.contains(",146.940000,")) << written.constData();
  EXPECT_TRUE(prompter.log().empty());

  show(kMemory1);
  const QString list = dir.filePath("lists/directory.csv");
  {
    QFile file(list);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("\xEF\xBB\xBF" "Location,Name,Frequency,Duplex,Offset\r\n"
               "6,Far,446.000000,,0\r\n"
               "5,Home,146.520000,-,0.6\r\n");
  }
  chooser.setNextFileName(list);
  prompter.push(PromptAnswer::Ok);
  app->importChannels();
  ASSERT_EQ(prompter.log().size(), 1u) << prompter.texts().join(" / ").toStdString();
  QPlainTextEdit* report = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (!report) report = w->findChild<QPlainTextEdit*>(QStringLiteral("importReportText"));
  ASSERT_NE(report, nullptr);
  EXPECT_EQ(report->toPlainText(),
            "1 of 2 rows taken.\n"
            "Line 3, Location 5: channel 100\n"
            "Line 2, Location 6: not taken: 446.000000 MHz is outside the transceiver's range "
            "(136.000000 to 174.000000 MHz)");
  EXPECT_EQ(channel(100).frequency, 146520000u);
  EXPECT_EQ(channel(100).duplex, 1);
  EXPECT_EQ(channel(100).offset, 600000u);
  EXPECT_EQ(QByteArray(channel(100).name.data(), 6), "HOME  ");
  EXPECT_TRUE(channel(2).inUse);  // another group
  EXPECT_EQ(app->undo()->stack()->count(), 1);
  EXPECT_TRUE(app->document().isModified());
  report->window()->close();
}
