// Cloning from the window against the transceiver simulated inside the program (and, at the end,
// against kestrin-sim on a pseudo-terminal): the initial set-up, Clone Read and Clone Write with
// the progress window, and the COM Port Setting dialog.
// With KESTRIN_CLONEWIN_SHOTS=<folder> the tests also save screenshots there.

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTreeWidget>
#include <QProcess>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

#include "app/ComPortDialog.h"
#include "app/CompareWithFile.h"
#include "app/PortCombo.h"
#include "app/PortNote.h"
#include "clone/PortList.h"
#include "app/cuiMenu.h"
#include "app/cuiProgress.h"
#include "app/startup.h"
#include "base/events.h"
#include "base/textcodec.h"
#include "clone/simmemory.h"
#include "clone_shots.h"
#include "clonewin_rig.h"
#include "gtex/celllinks.h"
#include "model/ChannelView.h"
#include "model/memorymap.h"

namespace {
const QString kSim = QString::fromLatin1(SimulatedSerialDevice::kPortName);

void trigger(CloneWinRig& rig, int link) {
  QAction* a = rig.app->mainMenu()->actionFor(link);
  ASSERT_NE(a, nullptr) << link;
  a->trigger();
}

QString resourceLine(cmcGTex& text, const char* name, int n = 0) {
  return fromCp932(text.getLine(name, n));
}
}  // namespace

// First run: the set-up dialog instead of the main window; OK identifies the simulated
// transceiver, and the main window opens with its destination, its option flags and that
// destination's factory image as an untitled, unmodified document.
TEST(InitialSetup, FirstRunAdoptsTheTransceiversDestination) {
  CloneWinRig::Options o;
  o.transceiver.destination = 3;
  o.transceiver.options = 0x08;  // marine
  CloneWinRig rig(o);
  TForm2* setup = CloneWinRig::setupDialog();
  ASSERT_NE(setup, nullptr);
  EXPECT_FALSE(rig.form().isVisible());
  EXPECT_EQ(setup->windowTitle(), "Initial Setup");
  EXPECT_TRUE(setup->Memo1()->toPlainText().startsWith("Welcome to Kestrin"));
  EXPECT_FALSE(setup->Memo1()->toPlainText().contains('#'));
  EXPECT_TRUE(setup->Memo1()->toPlainText().contains("Choose \"Simulated transceiver\""));
  EXPECT_FALSE(setup->Image1()->pixmap().isNull());
  shots::save(setup, "initial-setup.png");

  setup->cbComm()->setEditText(kSim);
  setup->Button1()->click();
  EXPECT_FALSE(setup->isEnabled()) << "disabled while the identification runs";
  ASSERT_TRUE(spinUntil(
      [&] { return CloneWinRig::setupDialog() == nullptr && rig.form().isVisible(); }, 10000));

  EXPECT_TRUE(rig.prompter.log().empty()) << rig.prompter.texts().join("|").toStdString();
  EXPECT_EQ(rig.settings->destinationCode(), 3);
  EXPECT_TRUE(rig.settings->flagA());
  EXPECT_EQ(rig.settings->comPortPath(), kSim);
  EXPECT_EQ(rig.settings->setupState(), indEnviron::kSetupReady);
  Document& d = rig.app->document();
  EXPECT_EQ(d.destination(), 3);
  EXPECT_TRUE(d.isUntitled());
  EXPECT_FALSE(d.isModified());
  EXPECT_TRUE(rig.workingEquals(factoryImage(3)));
  EXPECT_TRUE(rig.form().isEnabled());
  auto* note = rig.form().statusBar()->findChild<PortNote*>();
  ASSERT_NE(note, nullptr);
  EXPECT_TRUE(note->isVisible());
  EXPECT_TRUE(note->text().contains("simulated transceiver"));
}

// A failed identification reports the clone manager's message and leaves the dialog open and
// usable; a text that is no port is refused before anything is sent; Cancel stores no destination
// and opens the main window on the factory image of destination 0.
TEST(InitialSetup, FailureKeepsTheDialogAndCancelOpensTheMainWindow) {
  CloneWinRig::Options o;
  o.transceiver.faults.subCode5 = true;
  CloneWinRig rig(o);
  TForm2* setup = CloneWinRig::setupDialog();
  ASSERT_NE(setup, nullptr);

  setup->cbComm()->setEditText("abc");
  setup->Button1()->click();
  // The resource's notice first; where ports are no COM numbers, what the box takes after it.
  QString notice = resourceLine(rig.text, "GI_AppInd_Opt_ComSel_Notice");
  if (!portlist::portHint().isEmpty()) notice += "\n\n" + portlist::portHint();
  EXPECT_EQ(rig.prompter.texts(), QStringList{notice});
  EXPECT_FALSE(rig.app->cloneManager().IsBusy());

  rig.prompter.clearLog();
  setup->cbComm()->setEditText(kSim);
  setup->Button1()->click();
  ASSERT_TRUE(rig.idle());
  spinFor(20);
  ASSERT_EQ(rig.prompter.log().size(), 1u);
  EXPECT_EQ(rig.prompter.log()[0].message.text,
            rig.app->cloneManager().MessageFor(kCloneIncompatible));
  EXPECT_TRUE(rig.prompter.log()[0].message.text.startsWith(
      "Connected transceiver is not compatible model."));
  EXPECT_EQ(CloneWinRig::setupDialog(), setup);
  EXPECT_TRUE(setup->isEnabled());
  EXPECT_FALSE(rig.form().isVisible());

  setup->Button2()->click();
  ASSERT_TRUE(
      spinUntil([&] { return CloneWinRig::setupDialog() == nullptr && rig.form().isVisible(); }));
  EXPECT_EQ(rig.settings->destinationCode(), 16);
  EXPECT_EQ(rig.settings->setupState(), indEnviron::kSetupNeeded);  // shown again next time
  EXPECT_TRUE(rig.workingEquals(factoryImage(0)));
  EXPECT_TRUE(rig.form().isEnabled());
}

// Clone Read from the menu: the "Cloning" window over the disabled main window, which refuses to
// close and fills as the data arrives; a second Clone Read meanwhile does nothing. At the end the
// transceiver's memory is the document, untitled and modified, with the title updated.
TEST(CloneFromWindow, ReadShowsProgressAndTakesTheMemoryOver) {
  CloneWinRig::Options o;
  o.storedDestination = 0;
  o.storeSimulatorPort = true;
  o.lineSpeedUp = 4;
  CloneWinRig rig(o);
  ASSERT_TRUE(rig.form().isVisible());
  cmcEeprom& radio = rig.sim->transceiver().memory();
  const QByteArray comment = "READ FROM RADIO ";
  radio.writeBlock(memmap::kCloneComment, reinterpret_cast<const uint8_t*>(comment.constData()),
                   memmap::kCloneCommentLength);
  EXPECT_FALSE(rig.workingEquals(radio.data()));
  rig.form().setWindowTitle("stale");  // the read must set it again

  auto* status = rig.form().findChild<QLabel*>("statusPanel1");
  ASSERT_NE(status, nullptr);
  trigger(rig, CL_Menu_Clone_Read);
  EXPECT_EQ(status->text(), "Checking the transceiver on simulator\u2026");
  ASSERT_TRUE(spinUntil([&] { return rig.app->progressWindow() != nullptr; }, 10000));
  cuiProgress* progress = rig.app->progressWindow();
  EXPECT_TRUE(progress->isVisible());
  EXPECT_EQ(progress->windowTitle(), "Cloning");
  EXPECT_TRUE(progress->windowFlags() & Qt::Tool);
  EXPECT_FALSE(progress->windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_EQ(progress->paintArea()->size(), QSize(256, 16));
  EXPECT_EQ(progress->size(), progress->panel()->size() + QSize(32, 32));
  EXPECT_FALSE(rig.form().isEnabled());
  EXPECT_FALSE(rig.form().menuBar()->isEnabled());
  const QRect work = rig.form().screen()->availableGeometry();
  EXPECT_TRUE(work.contains(progress->frameGeometry())) << "kept inside the work area";

  EXPECT_FALSE(progress->close());
  EXPECT_TRUE(progress->isVisible());
  trigger(rig, CL_Menu_Clone_Read);  // busy: refused without a word

  ASSERT_TRUE(spinUntil(
      [&] { return !rig.app->progressWindow() || rig.app->progressWindow()->litCells() >= 16; },
      20000));
  if (rig.app->progressWindow()) {
    EXPECT_TRUE(status->text().startsWith("Reading from the transceiver: ")) << status->text().toStdString();
    spinFor(40);
    shots::save(rig.app->progressWindow(), "progress-halfway.png");
    shots::saveScreen("progress-over-main-window.png");
  }
  ASSERT_TRUE(rig.idle());
  ASSERT_TRUE(
      spinUntil([&] { return rig.app->progressWindow() == nullptr && rig.form().isEnabled(); }));

  EXPECT_TRUE(rig.prompter.log().empty()) << rig.prompter.texts().join("|").toStdString();
  EXPECT_EQ(rig.sim->transceiver().stats().reads, 1);
  Document& d = rig.app->document();
  EXPECT_TRUE(rig.workingEquals(radio.data()));
  EXPECT_TRUE(d.isUntitled());
  EXPECT_TRUE(d.isModified());
  EXPECT_EQ(rig.shownTitle(), "Untitled* - Kestrin");  // a read is unsaved
  EXPECT_EQ(status->text(), "Read from the transceiver: version USA_A_0000 (not saved yet)");
}

namespace {
// Moves the first channel in use up by 25 kHz; returns its index.
int editFirstChannel(Document& d) {
  for (int i = 0; i < 200; ++i) {
    ChannelView view(d.working(), d.options());
    if (!view.load(kKindConventional, i) || !view.inUse) continue;
    view.frequency += 25000;
    view.store();
    d.setModified();
    return i;
  }
  return -1;
}
}  // namespace

// Clone Write of one edited channel: the confirmation defaults to Cancel; after OK exactly that
// channel changes in the transceiver's memory (and its file), with the success message. A write
// the transceiver rejects shows its message and leaves the document and the transceiver as they
// were.
TEST(CloneFromWindow, WriteChangesExactlyTheEditedChannel) {
  for (const bool reject : {false, true}) {
    SCOPED_TRACE(reject ? "rejected" : "accepted");
    CloneWinRig::Options o;
    o.storedDestination = 0;
    o.storeSimulatorPort = true;
    o.transceiver.faults.writeFail = reject;
    CloneWinRig rig(o);
    Document& d = rig.app->document();
    cmcEeprom before;
    before.assign(rig.sim->transceiver().memory());
    const int channel = editFirstChannel(d);
    ASSERT_GE(channel, 0);
    cmcEeprom edited;
    edited.assign(d.working());

    rig.prompter.push(PromptAnswer::Ok);
    trigger(rig, CL_Menu_Clone_Write);
    ASSERT_TRUE(rig.idle());
    ASSERT_TRUE(
        spinUntil([&] { return rig.app->progressWindow() == nullptr && rig.form().isEnabled(); }));

    ASSERT_EQ(rig.prompter.log().size(), 2u) << rig.prompter.texts().join("|").toStdString();
    EXPECT_EQ(rig.prompter.log()[0].message.defaultAnswer, PromptAnswer::Cancel);
    const cmcEeprom& after = rig.sim->transceiver().memory();
    int differences = 0;
    for (int a = 0; a < SimulatedTransceiver::kMemorySize; ++a) {
      if (after.getByte(a) == before.getByte(a)) continue;
      ++differences;
      EXPECT_EQ(a / memmap::kChannelRecordSize, channel) << "address " << a;
    }
    if (reject) {
      EXPECT_EQ(rig.prompter.log()[1].message.text,
                rig.app->cloneManager().MessageFor(kCloneWriteFailed));
      EXPECT_TRUE(rig.prompter.log()[1].message.text.startsWith("Cannot write cloning data."));
      EXPECT_EQ(differences, 0);
      EXPECT_TRUE(d.isModified());
      EXPECT_TRUE(rig.workingEquals(edited.data()));
    } else {
      EXPECT_TRUE(rig.prompter.log()[1].message.text.startsWith("Cloning is succeeded."));
      EXPECT_GT(differences, 0);
      cmcEeprom stored(SimulatedTransceiver::kMemorySize);
      ASSERT_TRUE(simmemory::load(rig.memoryPath, stored, nullptr));
      for (int a = 0; a < SimulatedTransceiver::kMemorySize; ++a)
        ASSERT_EQ(stored.getByte(a), after.getByte(a));
    }
  }
}

// The COM Port Setting dialog: laid out from its font, refuses what is no port in 1..256 with
// the range message (nothing stored), stores " 12 " as 12 and a device path beside it.
TEST(ComPortSetting, RefusesOutOfRangeAndStoresThePort) {
  CloneWinRig::Options o;
  o.storedDestination = 0;
  CloneWinRig rig(o);
  rig.settings->setComPort(5);
  QString outOfRange = resourceLine(rig.text, "GI_AppInd_Opt_ComSel_OutofRange");
  if (!portlist::portHint().isEmpty()) outOfRange += "\n\n" + portlist::portHint();

  struct Case {
    QString text;
    bool accepted;
    int port;
    QString path;
  };
  const Case cases[] = {
      {"0", false, 5, {}},    {"257", false, 5, {}},  {"abc", false, 5, {}},
      {"", false, 5, {}},     {" 12 ", true, 12, {}}, {"/dev/ttyUSB3", true, 12, "/dev/ttyUSB3"},
      {kSim, true, 12, kSim}, {"7", true, 7, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.toStdString());
    rig.prompter.clearLog();
    ComPortDialog dialog(&rig.form(), *rig.settings, rig.text, rig.prompter);
    if (c.text == "0") {
      EXPECT_EQ(dialog.combo()->currentText(), "5");  // the stored port
      EXPECT_EQ(dialog.windowTitle(), "COM Port Setting");
      const int w = QFontMetrics(dialog.font()).height();
      EXPECT_EQ(dialog.notice()->pos(), QPoint(w, w));
      EXPECT_EQ(dialog.width(), dialog.notice()->width() + 2 * w);
      EXPECT_EQ(dialog.cancelButton()->geometry().right(), dialog.notice()->geometry().right());
      EXPECT_EQ(dialog.okButton()->size(), dialog.cancelButton()->size());
      EXPECT_EQ(dialog.cancelButton()->x() - dialog.okButton()->geometry().right() - 1,
                dialog.okButton()->height() / 2);
      EXPECT_TRUE(dialog.okButton()->isDefault());
      dialog.show();
      shots::save(&dialog, "com-port-setting.png");
    }
    dialog.show();
    dialog.combo()->setEditText(c.text);
    dialog.okButton()->click();
    EXPECT_EQ(dialog.result() == QDialog::Accepted, c.accepted);
    EXPECT_EQ(rig.prompter.texts(), c.accepted ? QStringList() : QStringList{outOfRange});
    EXPECT_EQ(rig.settings->comPort(), c.port);
    EXPECT_EQ(rig.settings->comPortPath(), c.path);
  }
}

// The status bar says when the simulated transceiver is the port, also when it was given only for
// the run (--simulator), which stores nothing.
TEST(ComPortSetting, SimulatorForTheRunIsShownAndNotStored) {
  EXPECT_TRUE(parseCommandLine({"kestrin", "--simulator"}).simulator);
  EXPECT_FALSE(parseCommandLine({"kestrin"}).simulator);
  CloneWinRig::Options o;
  o.storedDestination = 0;
  CloneWinRig rig(o);
  auto* note = rig.form().statusBar()->findChild<PortNote*>();
  ASSERT_NE(note, nullptr);
  EXPECT_FALSE(note->isVisible());
  rig.app->cloneManager().SetPortName(kSim);
  rig.bus->send(ev::kRefreshToolbar);
  EXPECT_TRUE(note->isVisible());
  EXPECT_EQ(rig.settings->comPortPath(), QString());
  shots::save(&rig.form(), "main-window-simulator-note.png");
}

// End to end on a real pseudo-terminal: kestrin-sim's device typed into the COM Port Setting
// dialog opened from the menu, then Clone Read from the window.
TEST(CloneFromWindow, ReadFromKestrinSimOnAPseudoTerminal) {
  const QString bin = qEnvironmentVariable("KESTRIN_BIN_DIR",
                                           QCoreApplication::applicationDirPath() + "/../../bin");
  const QString simPath = QDir(bin).filePath("kestrin-sim");
  if (!QFile::exists(simPath)) GTEST_SKIP() << "kestrin-sim is not built";
  QProcess sim;
  sim.start(simPath, {"--echo", "--comment", "PTY RADIO"});
  ASSERT_TRUE(sim.waitForStarted(5000));
  ASSERT_TRUE(sim.waitForReadyRead(5000));
  const QString device = QString::fromLocal8Bit(sim.readLine()).trimmed();
  ASSERT_TRUE(device.startsWith('/')) << device.toStdString();

  CloneWinRig::Options o;
  o.storedDestination = 0;
  CloneWinRig rig(o);
  bool dialogSeen = false;
  QTimer::singleShot(50, [&] {
    auto* dialog = qobject_cast<ComPortDialog*>(QApplication::activeModalWidget());
    if (!dialog) return;
    dialogSeen = true;
    dialog->combo()->lineEdit()->setText(device);
    dialog->okButton()->click();
  });
  trigger(rig, CL_Menu_Port_Usb);
  ASSERT_TRUE(dialogSeen);
  EXPECT_EQ(rig.settings->comPortPath(), device);

  trigger(rig, CL_Menu_Clone_Read);
  ASSERT_TRUE(rig.idle());
  spinFor(20);
  sim.terminate();
  sim.waitForFinished(5000);
  EXPECT_TRUE(rig.prompter.log().empty()) << rig.prompter.texts().join("|").toStdString();
  EXPECT_TRUE(rig.app->document().isModified());
  EXPECT_TRUE(rig.workingEquals(SimulatedTransceiver::blankMemory().data()));
  EXPECT_EQ(rig.sim->traffic().bytesSent, 0) << "the built-in transceiver stayed out of it";
}

// A cable plugged in while the dialog is open shows up at the next drop-down; what was typed
// stays, and choosing an item puts its device path in the box.
TEST(ComPortSetting, EveryDropDownAsksForThePortsAgain) {
  CloneWinRig::Options o;
  o.storedDestination = 0;
  CloneWinRig rig(o);
  ComPortDialog dialog(&rig.form(), *rig.settings, rig.text, rig.prompter);
  std::vector<portlist::SystemPort> ports;
  dialog.combo()->setSource([&] { return portlist::itemsFor(ports, false); });
  dialog.show();
  dialog.combo()->setEditText("4");
  dialog.combo()->showPopup();
  EXPECT_EQ(dialog.combo()->count(), 1);
  EXPECT_EQ(dialog.combo()->itemText(0), kSim);
  dialog.combo()->hidePopup();

  ports.push_back({"ttyUSB0", "/dev/ttyUSB0", "FT232R USB UART", "FTDI", "A50285BI"});
  dialog.combo()->showPopup();
  ASSERT_EQ(dialog.combo()->count(), 2);
  EXPECT_EQ(dialog.combo()->currentText(), "4");
  EXPECT_EQ(dialog.combo()->itemText(1), "/dev/ttyUSB0 (FT232R USB UART, FTDI, serial A50285BI)");
  dialog.combo()->hidePopup();
  emit dialog.combo()->activated(1);
  EXPECT_EQ(dialog.combo()->currentText(), "/dev/ttyUSB0");
}

// "/setup" shows the set-up dialog even with a destination stored, the stored port filled in.
TEST(InitialSetup, ForcedSetupStartsWithTheStoredPort) {
  CloneWinRig::Options o;
  o.storedDestination = 2;
  o.comPort = 7;
  o.arguments = {"/SETUP"};
  CloneWinRig rig(o);
  TForm2* setup = CloneWinRig::setupDialog();
  ASSERT_NE(setup, nullptr);
  EXPECT_FALSE(rig.form().isVisible());
  EXPECT_EQ(rig.settings->comPort(), 7);
  EXPECT_EQ(setup->cbComm()->currentText(), "7");
  EXPECT_TRUE(setup->Memo1()->toPlainText().startsWith("Welcome to Kestrin"));
  setup->close();
  ASSERT_TRUE(spinUntil([&] { return rig.form().isVisible(); }));
  EXPECT_EQ(rig.settings->destinationCode(), 2);
}

// A device that cannot be opened: the message names it and says why, after the usual lines.
TEST(CloneFromWindow, PortThatCannotBeOpenedIsNamedWithItsReason) {
  CloneWinRig::Options o;
  o.storedDestination = 0;
  CloneWinRig rig(o);
  const QString device = rig.dir.filePath("ttyGone");
  rig.settings->setComPortPath(device);
  trigger(rig, CL_Menu_Clone_Read);
  ASSERT_TRUE(rig.idle());
  ASSERT_EQ(rig.prompter.log().size(), 1u);
  const QString text = rig.prompter.log()[0].message.text;
  EXPECT_TRUE(
      text.startsWith(QStringLiteral("Cannot access COM %1.\n\nCheck the following:").arg(device)))
      << text.toStdString();
  EXPECT_TRUE(text.endsWith(QStringLiteral("Serial device %1 was not found.").arg(device)))
      << text.toStdString();
  EXPECT_FALSE(rig.app->document().isModified());
  EXPECT_TRUE(rig.form().isEnabled());
}

// The keyboard alone: the port box has the focus, Enter is OK, Escape is Cancel.
TEST(ComPortSetting, WorksFromTheKeyboard) {
  CloneWinRig::Options o;
  o.storedDestination = 0;
  CloneWinRig rig(o);
  auto press = [](QWidget* w, int key) {
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(w, &down);
    QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(w, &up);
  };
  {
    ComPortDialog dialog(&rig.form(), *rig.settings, rig.text, rig.prompter);
    dialog.show();
    dialog.activateWindow();
    QWidget* focus = dialog.combo()->lineEdit();
    dialog.combo()->setEditText("9");
    press(focus, Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(rig.settings->comPort(), 9);
  }
  ComPortDialog dialog(&rig.form(), *rig.settings, rig.text, rig.prompter);
  dialog.show();
  dialog.combo()->setEditText("11");
  press(dialog.combo()->lineEdit(), Qt::Key_Escape);
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(rig.settings->comPort(), 9);
}

// Verify After Write, on by default in the Clone menu: a transceiver that changes one written
// byte after accepting the write gets a warning naming one field, and the comparison dialog
// lists exactly that field and opens its cell. The progress window stays up through the
// read-back and the document is untouched. Unchecked (and stored so), nothing is read back.
TEST(CloneFromWindow, VerifyAfterWriteFindsTheFieldTheTransceiverChanged) {
  CloneWinRig::Options o;
  o.storedDestination = 0;
  o.storeSimulatorPort = true;
  CloneWinRig rig(o);
  auto* item = rig.form().findChild<QAction*>(QStringLiteral("verifyAfterWrite"));
  ASSERT_NE(item, nullptr);
  EXPECT_TRUE(item->isCheckable());
  EXPECT_TRUE(item->isChecked());
  EXPECT_EQ(item->text(), QStringLiteral("&Verify After Write"));

  Document& d = rig.app->document();
  const int channel = editFirstChannel(d);
  ASSERT_GE(channel, 0);
  SimulatedTransceiver& radio = rig.sim->transceiver();
  radio.config().faults.changeAfterWrite = channel * memmap::kChannelRecordSize;
  cmcEeprom edited;
  edited.assign(d.working());

  rig.prompter.push(PromptAnswer::Ok);
  trigger(rig, CL_Menu_Clone_Write);
  QPointer<cuiProgress> first;
  bool sameWindowInReadBack = false;
  ASSERT_TRUE(spinUntil(
      [&] {
        indCloneMan& man = rig.app->cloneManager();
        if (!first) first = rig.app->progressWindow();
        if (man.IsBusy() && man.Mode() == kCloneModeRead && first &&
            rig.app->progressWindow() == first.data())
          sameWindowInReadBack = true;
        return radio.stats().reads == 1 && !man.IsBusy();
      },
      60000));
  EXPECT_TRUE(sameWindowInReadBack);
  ASSERT_TRUE(
      spinUntil([&] { return rig.app->progressWindow() == nullptr && rig.form().isEnabled(); }));
  EXPECT_EQ(radio.stats().identifications, 3);

  ASSERT_EQ(rig.prompter.log().size(), 2u) << rig.prompter.texts().join("|").toStdString();
  EXPECT_EQ(rig.prompter.log()[1].message.text,
            QStringLiteral("The transceiver does not hold what was written: 1 field of its "
                           "memory differs from the document."));
  EXPECT_EQ(rig.prompter.log()[1].message.icon, PromptIcon::Warning);
  CompareDialog* dialog = rig.form().findChild<CompareDialog*>(QStringLiteral("verifyDifferences"));
  ASSERT_NE(dialog, nullptr);
  ASSERT_EQ(dialog->differences().size(), 1u);
  const FieldDifference& diff = dialog->differences()[0];
  EXPECT_EQ(diff.link, CL_Mch_Freq);
  EXPECT_EQ(diff.index, channel);
  EXPECT_NE(diff.textA, diff.textB);
  EXPECT_EQ(dialog->list()->headerItem()->text(4), QStringLiteral("Transceiver"));
  shots::save(dialog, QStringLiteral("verify-differences.png"));
  ASSERT_TRUE(dialog->goTo(0));
  ASSERT_NE(rig.app->currentSheet(), nullptr);
  const SheetPos cell = rig.app->currentSheet()->currentCell();
  const cmcCellObj& at = rig.app->currentSheet()->model().cellAt(cell.column, cell.row);
  EXPECT_EQ(at.link, CL_Mch_Freq);
  EXPECT_TRUE(rig.workingEquals(edited.data()));
  dialog->close();

  // Off: stored at once, and the next write is not read back.
  item->trigger();
  EXPECT_FALSE(rig.settings->verifyAfterWrite());
  rig.prompter.clearLog();
  rig.prompter.push(PromptAnswer::Ok);
  trigger(rig, CL_Menu_Clone_Write);
  ASSERT_TRUE(spinUntil(
      [&] { return radio.stats().writesAccepted == 2 && !rig.app->cloneManager().IsBusy(); },
      60000));
  ASSERT_TRUE(
      spinUntil([&] { return rig.app->progressWindow() == nullptr && rig.form().isEnabled(); }));
  EXPECT_EQ(radio.stats().reads, 1);
  EXPECT_TRUE(rig.prompter.log().back().message.text.startsWith("Cloning is succeeded."));
}
