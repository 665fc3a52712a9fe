#include "files/filecommands.h"

#include <gtest/gtest.h>

#include <QtGlobal>
#ifdef Q_OS_UNIX
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <csignal>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

#include "base/cmcEvMan.h"
#include "base/prompter.h"
#include "files/cmcQevFile.h"
#include "files/etcdata.h"
#include "files/indEnviron.h"
#include "files/qevdocument.h"
#include "gtex/cmcGTex.h"
#include "model/ChannelView.h"
#include "model/document.h"
#include "model/memorymap.h"
#include "model/numbering.h"
#include "resources/embedded_text.h"
#include "resources/factory/factory_images.h"

namespace {

using A = PromptAnswer;
constexpr int kUSA_A = 0;
constexpr int kEUR_A = 4;

// Stands in for the platform's file dialogs: answers from a queue and records what it was asked.
class ScriptedChooser : public FileChooser {
 public:
  QString chooseOpenPath(const FileDialogRequest& r) override { return next(r, false); }
  QString chooseSavePath(const FileDialogRequest& r) override { return next(r, true); }
  std::deque<QString> answers;  // an empty text cancels
  std::vector<std::pair<bool, FileDialogRequest>> asked;

 private:
  QString next(const FileDialogRequest& r, bool save) {
    asked.emplace_back(save, r);
    if (answers.empty()) return {};
    QString a = answers.front();
    answers.pop_front();
    return a;
  }
};

#ifdef Q_OS_UNIX
// Runs `body` in a forked child and gives its exit status (-1 when it did not exit normally).
int inChild(const std::function<int()>& body) {
  const pid_t pid = fork();
  if (pid == 0) std::_Exit(body());
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}
#endif

QByteArray readAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(bytes);
}

// A program with its document, settings, event bus and file commands, at destination EUR_A.
class FileCommandsTest : public ::testing::Test {
 protected:
  FileCommandsTest() {
    const EmbeddedText main = mainResourceText();
    text.setSource(main.lines, main.count);
    settings = std::make_unique<indEnviron>(
        indEnviron::kMutexName, indEnviron::kKeyPath, indEnviron::kKeyPath, QStringList{"kestrin"},
        ScreenSize{}, EnvironPlace{dir.filePath("cfg"), dir.filePath("lock")});
    settings->setDestinationCode(kEUR_A);
    doc.setDestination(kEUR_A);
    doc.newDocument();
    doc.setCurrentDirectory(dir.path());
    commands = std::make_unique<FileCommands>(doc, prompter, text, settings.get(), &bus);
    commands->setChooser(&chooser);
    FileCommandHooks hooks;
    hooks.closeSheet = [this] { events.push_back(-1); };
    hooks.modelDisplayChanged = [this] { ++modelDisplayChanges; };
    hooks.warningCheck = [this] { ++warningChecks; };
    commands->setHooks(hooks);
  }

  QString path(const char* name) const { return dir.filePath(name); }

  void edit(int channel = 7, uint32_t hz = 145500000) {
    ChannelView v(doc.working(), doc.options());
    v.load(kKindConventional, channel);
    v.inUse = true;
    v.frequency = hz;
    v.commit();
  }

  // A saved file of another program at `destination` with an auto-repeater setting that only
  // the USA destinations keep.
  QString foreignFile(const char* name, int destination) {
    Document other(factoryImage, &text);
    other.setDestination(destination);
    other.newDocument();
    other.working().setByte(memmap::kMainSettings + memmap::settings::kAutoRepeater, 2);
    ScriptedPrompter quiet;
    FileCommands save(other, quiet, text);
    EXPECT_EQ(save.saveFile(path(name)), 0);
    return path(name);
  }

  // What a failed command must leave alone.
  struct Snapshot {
    QByteArray working, saved;
    QString file, directory;
    bool modified;
    QStringList recent;
    int destination;
  };
  Snapshot snapshot() {
    Snapshot s{
        QByteArray(reinterpret_cast<const char*>(doc.working().data()), doc.working().size()),
        QByteArray(reinterpret_cast<const char*>(doc.savedImage().data()), doc.savedImage().size()),
        doc.currentFile(),
        doc.currentDirectory(),
        doc.isModified(),
        {},
        doc.destination()};
    for (int i = 0; i < settings->recent().count(); ++i) s.recent << settings->recent().path(i);
    return s;
  }
  void expectUnchanged(const Snapshot& before) {
    const Snapshot now = snapshot();
    EXPECT_EQ(now.working, before.working);
    EXPECT_EQ(now.saved, before.saved);
    EXPECT_EQ(now.file, before.file);
    EXPECT_EQ(now.directory, before.directory);
    EXPECT_EQ(now.modified, before.modified);
    EXPECT_EQ(now.recent, before.recent);
    EXPECT_EQ(now.destination, before.destination);
  }

  QTemporaryDir dir;
  cmcGTex text;
  std::unique_ptr<indEnviron> settings;
  Document doc{factoryImage, &text};
  ScriptedPrompter prompter;
  ScriptedChooser chooser;
  cmcEvMan bus;
  std::vector<int> events;  // event codes in order; -1 for a closed sheet
  cmcEvHook hook{bus, [this](const cmcEvent& e) { events.push_back(e.code); }};
  std::unique_ptr<FileCommands> commands;
  int modelDisplayChanges = 0;
  int warningChecks = 0;
};

TEST_F(FileCommandsTest, SaveOfAnUntitledDocumentGoesThroughSaveAsAndNamesTheDocument) {
  edit();
  ASSERT_TRUE(doc.isModified());
  settings->recent().addFirst(path("older.qev"));
  chooser.answers = {path("club.qev")};

  EXPECT_EQ(commands->save(), 0);

  ASSERT_EQ(chooser.asked.size(), 1u);
  const auto& [save, request] = chooser.asked[0];
  EXPECT_TRUE(save);
  EXPECT_EQ(request.proposedName, "Untitled");
  EXPECT_EQ(request.initialDirectory, dir.path());
  EXPECT_EQ(request.defaultExtension, "qev");
  EXPECT_EQ(request.filter, "Data files (*.qev)|*.qev|All files (*.*)|*.*");

  EXPECT_EQ(doc.currentFile(), path("club.qev"));
  EXPECT_FALSE(doc.isModified());
  EXPECT_TRUE(doc.savedImage().equals(doc.working()));
  EXPECT_EQ(doc.title(), "club.qev - Kestrin");
  EXPECT_EQ(settings->recent().path(0), path("club.qev"));
  EXPECT_EQ(settings->recent().path(1), path("older.qev"));
  EXPECT_EQ(settings->currentDirectory(), dir.path());
  EXPECT_EQ(warningChecks, 1);
  EXPECT_EQ(events.front(), ev::kCommitEditor);
  EXPECT_TRUE(prompter.log().empty());

  // The file carries the destination with no options, and reads back as the working image.
  const QList<QByteArray> lines = readAll(path("club.qev")).split('\n');
  ASSERT_EQ(lines.size(), 1 + 3 + 197 + 1 + 1);
  EXPECT_EQ(lines[0], "32510004\r");
  EXPECT_EQ(lines[3], QByteArray("#EtcData=") +
                          QByteArray::number(packEtcData(kEUR_A, false, false, false, false), 16)
                              .toUpper()
                              .rightJustified(6, '0') +
                          "\r");
  cmcEeprom back(memmap::kImageSize);
  cmcQevFile reader;
  reader.Configure(back);
  reader.setModelCode(kQevModelCode);
  reader.setSubCode(kQevSubCode);
  reader.setMapRevHook([](int v) { return v == 1; });
  reader.setEtcDataHook([](int v, int& d) {
    d = (v >> 18) & 0x1F;
    return true;
  });
  ASSERT_EQ(reader.Read(path("club.qev"), qevCloneRanges()), 0);
  EXPECT_TRUE(back.equals(doc.working()));
}

TEST_F(FileCommandsTest, SavingAsksBeforeClearingChannelsTheDestinationCannotTransmitOn) {
  // 146.5 and 150 MHz are outside the European amateur band and no receive expansion is set.
  edit(5, 146500000);
  edit(10, 150000000);
  edit(7, 145500000);  // a good channel is neither named nor touched
  {
    ChannelView callChannel(doc.working(), doc.options());
    callChannel.load(kKindConventional, numbering::kCallChannel);
    callChannel.frequency = 150000000;
    callChannel.commit();
  }
  const QString file = path("repaired.qev");
  writeAll(file, "old content");

  // Cancel: nothing is written and the document stays exactly as it was.
  prompter.push(A::Cancel);
  const Snapshot before = snapshot();
  events.clear();
  EXPECT_NE(commands->saveFile(file), 0);
  expectUnchanged(before);
  EXPECT_EQ(readAll(file), "old content");
  ASSERT_EQ(prompter.log().size(), 1u);
  const PromptMessage& asked = prompter.log()[0].message;
  EXPECT_EQ(asked.caption, "Kestrin");
  EXPECT_EQ(asked.text,
            "Some channels cannot be used with this transceiver's version and will be cleared "
            "when the file is saved: 5, 10, CALL.\nSave anyway?");
  EXPECT_EQ(asked.buttons, PromptButtons::OkCancel);
  EXPECT_EQ(asked.icon, PromptIcon::Warning);
  EXPECT_EQ(asked.defaultAnswer, A::Ok);
  EXPECT_EQ(std::count(events.begin(), events.end(), ev::kRefreshAllSheets), 0);

  // Ok (also the default the command-line tool takes): the channels are cleared in the file and
  // in the document, and the sheets are told to repaint.
  int dataChanges = 0;
  FileCommandHooks hooks;
  hooks.dataChanged = [&] { ++dataChanges; };
  commands->setHooks(hooks);
  events.clear();
  ASSERT_EQ(commands->saveFile(file), 0);
  EXPECT_EQ(std::count(events.begin(), events.end(), ev::kRefreshAllSheets), 1);
  EXPECT_EQ(dataChanges, 1);
  EXPECT_FALSE(doc.isModified());
  QevOpenResult back = openQevFile(file, doc.working().size(), &prompter, &text);
  ASSERT_EQ(back.code, kQevOk);
  EXPECT_TRUE(back.image.equals(doc.working()));
  for (cmcEeprom* image : {&doc.working(), &back.image}) {
    ChannelView v(*image, doc.options());
    v.load(kKindConventional, 5);
    EXPECT_FALSE(v.inUse);
    v.load(kKindConventional, 10);
    EXPECT_FALSE(v.inUse);
    v.load(kKindConventional, 7);
    EXPECT_TRUE(v.inUse);
    EXPECT_EQ(v.frequency, 145500000u);
  }

  // A clean image saves without a question and without a repaint.
  prompter.clearLog();
  events.clear();
  dataChanges = 0;
  ASSERT_EQ(commands->saveFile(file), 0);
  EXPECT_TRUE(prompter.log().empty());
  EXPECT_EQ(std::count(events.begin(), events.end(), ev::kRefreshAllSheets), 0);
  EXPECT_EQ(dataChanges, 0);
}

// The repair reaches the document only with the file written, and then as one change that the
// window can undo.
TEST_F(FileCommandsTest, AFailedSaveKeepsTheChannelsItWouldHaveCleared) {
  edit(5, 146500000);  // outside the European amateur band
  cmcEeprom before;
  before.assign(doc.working());
  int recorded = 0;
  FileCommandHooks hooks;
  hooks.recordChange = [&](const std::function<void()>& apply) {
    ++recorded;
    apply();
  };
  commands->setHooks(hooks);

  EXPECT_NE(commands->saveFile(path("no/such/folder/club.qev")), 0);
  EXPECT_TRUE(doc.working().equals(before));
  EXPECT_TRUE(doc.isModified());
  EXPECT_EQ(recorded, 0);

  ASSERT_EQ(commands->saveFile(path("club.qev")), 0);
  EXPECT_EQ(recorded, 1);
  ChannelView v(doc.working(), doc.options());
  v.load(kKindConventional, 5);
  EXPECT_FALSE(v.inUse);
  EXPECT_FALSE(doc.isModified());
}

// A check line that no longer fits the data is questioned, naming the file; the default opens
// it. A file without one, or with one that fits, opens without a word.
TEST_F(FileCommandsTest, ACheckLineThatDoesNotFitIsQuestioned) {
  const QString saved = foreignFile("saved.qev", kEUR_A);
  const QByteArray good = readAll(saved);
  const qsizetype at = good.indexOf("#CD=");
  ASSERT_GT(at, 0);
  QByteArray damaged = good;
  damaged[at + 4] = damaged[at + 4] == '0' ? '1' : '0';
  const QByteArray missing = good.left(at) + good.mid(good.indexOf('\n', at) + 1);
  const struct {
    const char* name;
    QByteArray bytes;
    std::optional<A> answer;  // the answer to the question; none when nothing may be asked
    bool opens;
  } cases[] = {
      {"fits", good, std::nullopt, true},
      {"missing", missing, std::nullopt, true},
      {"damaged, opened anyway", damaged, A::Ok, true},
      {"damaged, not opened", damaged, A::Cancel, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    doc.newDocument();
    prompter.clearLog();
    const QString file = path("check.qev");
    writeAll(file, c.bytes);
    if (c.answer) prompter.push(*c.answer);
    const Snapshot before = snapshot();
    EXPECT_EQ(commands->openFile(file), c.opens ? 0 : 1);
    if (c.answer) {
      ASSERT_EQ(prompter.log().size(), 1u);
      const PromptMessage& asked = prompter.log()[0].message;
      EXPECT_EQ(asked.text, "The check line of " + QDir::toNativeSeparators(file) +
                                " does not match its contents: the file may be damaged.\n"
                                "Open it anyway?");
      EXPECT_EQ(asked.buttons, PromptButtons::OkCancel);
      EXPECT_EQ(asked.defaultAnswer, A::Ok);
    } else {
      EXPECT_TRUE(prompter.log().empty());
    }
    if (c.opens)
      EXPECT_EQ(doc.currentFile(), file);
    else
      expectUnchanged(before);
  }
}

#ifdef Q_OS_UNIX
// What is not a regular file is refused before it is opened: a FIFO would block until a writer
// came, a device may never end.
TEST_F(FileCommandsTest, OnlyRegularFilesAreRead) {
  const QString fifo = path("fifo.qev");
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  for (const QString& input : {fifo, dir.path(), QStringLiteral("/dev/zero")}) {
    SCOPED_TRACE(input.toStdString());
    prompter.clearLog();
    const Snapshot before = snapshot();
    EXPECT_EQ(commands->openFile(input), 1);
    EXPECT_EQ(commands->lastFileResult(), kQevFileOpen);
    EXPECT_EQ(prompter.texts(), QStringList{"File error.\n\nCannot open the file."});
    expectUnchanged(before);
    EXPECT_EQ(verifyQevCheckLine(input).status, QevCheckLine::Unreadable);
  }
}
#endif

TEST_F(FileCommandsTest, ChangedChannelsAreNamedAsTheSheetsShowThem) {
  cmcEeprom a;
  a.assign(doc.defaultImage());
  const DestinationOptions& options = doc.options();
  struct Case {
    int kind, index;
    const char* label;
  };
  const Case cases[] = {{kKindConventional, 0, "0"},      {kKindConventional, 199, "199"},
                        {kKindConventional, 200, "1A"},   {kKindConventional, 205, "3B"},
                        {kKindConventional, 206, "CALL"}, {kKindFunction, 0, "F-1"},
                        {kKindFunction, 1, "F-2"}};
  for (const Case& c : cases) {
    cmcEeprom b;
    b.assign(a);
    ChannelView v(b, options);
    v.load(c.kind, c.index);
    v.frequency = v.frequency == 145000000 ? 145500000 : 145000000;
    v.commit();
    EXPECT_EQ(changedChannelLabels(a, b, options), QStringList{c.label}) << c.label;
  }
  EXPECT_TRUE(changedChannelLabels(a, a, options).isEmpty());
}

TEST_F(FileCommandsTest, OpenOfAFileOfTheSameDestinationTakesItOverAsSaved) {
  const QString file = foreignFile("same.qev", kEUR_A);
  settings->recent().addFirst(path("SAME.QEV"));  // the same file in other letter case
  events.clear();

  EXPECT_EQ(commands->openFile(file), 0);

  EXPECT_TRUE(prompter.log().empty());
  EXPECT_EQ(doc.currentFile(), file);
  EXPECT_FALSE(doc.isModified());
  EXPECT_EQ(doc.currentDirectory(), dir.path());
  EXPECT_EQ(settings->currentDirectory(), dir.path());
  EXPECT_EQ(settings->recent().count(), 1);
  EXPECT_EQ(settings->recent().path(0), file);
  EXPECT_EQ(doc.destination(), kEUR_A);
  // The data is conformed to the destination on the way in.
  EXPECT_EQ(doc.working().getByte(memmap::kMainSettings + memmap::settings::kAutoRepeater),
            doc.defaultImage().getByte(memmap::kMainSettings + memmap::settings::kAutoRepeater));
  EXPECT_EQ(events, (std::vector<int>{ev::kCommitEditor, -1, ev::kDataOrSheetChanged}));
}

TEST_F(FileCommandsTest, OpenOfAnotherDestinationAnsweredYesSwitchesTheProgram) {
  const QString file = foreignFile("usa.qev", kUSA_A);
  doc.clipboard().capture(doc.working(), doc.options(), kKindConventional, 0, 2);
  prompter.push(A::Yes);

  EXPECT_EQ(commands->openFile(file), 0);

  ASSERT_EQ(prompter.log().size(), 1u);
  const PromptMessage& q = prompter.log()[0].message;
  EXPECT_EQ(q.caption, "Kestrin");
  EXPECT_EQ(q.text,
            "Settings don't match with data file's version.\n"
            "Some settings will be changed to suit to the data file.\nAre you sure?");
  EXPECT_EQ(q.buttons, PromptButtons::YesNoCancel);
  EXPECT_EQ(q.icon, PromptIcon::Warning);
  EXPECT_EQ(q.defaultAnswer, A::No);

  EXPECT_EQ(doc.destination(), kUSA_A);
  EXPECT_EQ(settings->destinationCode(), kUSA_A);
  EXPECT_EQ(modelDisplayChanges, 1);
  EXPECT_FALSE(doc.clipboard().canPaste(kKindConventional));
  EXPECT_EQ(doc.currentFile(), file);
  EXPECT_FALSE(doc.isModified());
  // A USA setting survives because the program is now a USA one.
  EXPECT_EQ(doc.working().getByte(memmap::kMainSettings + memmap::settings::kAutoRepeater), 2);
}

TEST_F(FileCommandsTest, OpenOfAnotherDestinationAnsweredNoAdaptsTheDataAndLeavesItUntitled) {
  const QString file = foreignFile("usa.qev", kUSA_A);
  const int repeater = memmap::kMainSettings + memmap::settings::kAutoRepeater;
  ASSERT_NE(doc.defaultImage().getByte(repeater), 2);
  prompter.push(A::No);

  EXPECT_EQ(commands->openFile(file), 0);

  EXPECT_EQ(doc.destination(), kEUR_A);
  EXPECT_EQ(settings->destinationCode(), kEUR_A);
  EXPECT_EQ(modelDisplayChanges, 0);
  EXPECT_TRUE(doc.isUntitled());
  EXPECT_TRUE(doc.isModified());
  EXPECT_TRUE(commands->lastOpenAdapted());
  EXPECT_EQ(doc.working().getByte(repeater), doc.defaultImage().getByte(repeater));
  EXPECT_EQ(settings->recent().path(0), file);
  EXPECT_EQ(settings->currentDirectory(), dir.path());
}

TEST_F(FileCommandsTest, OpenOfAnotherDestinationCancelledChangesNothing) {
  const QString file = foreignFile("usa.qev", kUSA_A);
  doc.setCurrentDirectory("/elsewhere");
  const Snapshot before = snapshot();
  prompter.push(A::Cancel);
  EXPECT_EQ(commands->openFile(file), 1);
  expectUnchanged(before);
  EXPECT_EQ(settings->currentDirectory(), QString());
}

// The command-line tool opens without questions.
TEST_F(FileCommandsTest, DestinationPoliciesThatDoNotAsk) {
  using P = FileCommands::DestinationPolicy;
  struct Case {
    const char* name;
    P policy;
    int fileDestination;
    int destination;
    bool adapted;
  } cases[] = {
      {"adopt the file's", P::AdoptFile, kUSA_A, kUSA_A, false},
      {"adapt the data", P::AdaptData, kUSA_A, kEUR_A, true},
      {"a file naming none is taken as it comes", P::AdoptFile, 16, kEUR_A, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    doc.setDestination(kEUR_A);
    const QString file = foreignFile("other.qev", c.fileDestination);
    commands->setDestinationPolicy(c.policy);
    EXPECT_EQ(commands->openFile(file), 0);
    EXPECT_TRUE(prompter.log().empty());
    EXPECT_EQ(commands->lastFileDestination(), c.fileDestination);
    EXPECT_EQ(doc.destination(), c.destination);
    EXPECT_EQ(doc.isUntitled(), c.adapted);
    EXPECT_EQ(doc.isModified(), c.adapted);
    doc.markSaved();
  }
}

// Files refused by the checks after reading: one message each, and the document as it was.
TEST_F(FileCommandsTest, RefusedFilesLeaveTheDocumentAsItWas) {
  const QByteArray good = readAll(foreignFile("good.qev", kEUR_A));
  const int versionLine = 4 + 0x1880 / 32;
  ASSERT_TRUE(good.split('\n')[versionLine].startsWith("0000188020"));
  auto withLine = [&](int index, const QByteArray& replacement) {
    QList<QByteArray> lines = good.split('\n');
    lines[index] = replacement;
    return lines.join('\n');
  };
  QByteArray badVersion = good.split('\n')[versionLine];
  badVersion.replace(10, 2, "02");
  QByteArray badModel = good.split('\n')[versionLine];
  badModel.replace(10 + 2 * 8, 2, "39");  // first model code character '3' becomes '9'
  struct Case {
    const char* name;
    QByteArray content;
    const char* message;
    int code;
  } cases[] = {
      {"version byte 2", withLine(versionLine, badVersion), "File error.\n\nIllegal data.", 8},
      {"model code", withLine(versionLine, badModel), "File error.\n\nIllegal data.", 8},
      {"missing line", withLine(4 + 5, ""), "File error.\n\nIllegal data.", 6},
      {"line left out", withLine(4 + 8, "").replace("\n\n", "\n"),
       "File error.\n\nThere is not enough data.", 7},
      {"sub code", "32510005" + good.mid(8), "File error.\n\nIllegal data.", 4},
  };
  edit();
  doc.setCurrentFile(path("mine.qev"));
  settings->recent().addFirst(path("mine.qev"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeAll(path("bad.qev"), c.content);
    prompter.clearLog();
    prompter.push(A::No);
    const Snapshot before = snapshot();
    EXPECT_EQ(commands->openFile(path("bad.qev")), 1);
    EXPECT_EQ(commands->lastFileResult(), c.code);
    ASSERT_EQ(prompter.log().size(), 2u);  // the save prompt, then the error
    EXPECT_EQ(prompter.log()[1].message.text, c.message);
    EXPECT_EQ(prompter.log()[1].message.icon, PromptIcon::Warning);
    expectUnchanged(before);
  }
}

#ifdef Q_OS_UNIX
// The disk fills up part-way through the save (a file-size limit, set in a child process so
// that it stays there).
TEST_F(FileCommandsTest, AFailedSaveKeepsTheOldFileAndTheDocumentModified) {
  ASSERT_EQ(commands->saveFile(path("kept.qev")), 0);
  const QByteArray old = readAll(path("kept.qev"));
  edit();
  settings->recent().addFirst(path("other.qev"));

  const int faults = inChild([&] {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{3000, 3000};
    setrlimit(RLIMIT_FSIZE, &limit);
    int bad = 0;
    if (commands->save() != kQevFileAccess) bad |= 1;
    if (prompter.texts() != QStringList{"File error.\n\nCannot access the file."}) bad |= 2;
    if (!doc.isModified() || !doc.savedImage().differs(doc.working())) bad |= 4;
    if (doc.currentFile() != path("kept.qev")) bad |= 8;
    if (settings->recent().path(0) != path("other.qev")) bad |= 16;
    // A failed save inside the save prompt cancels the command that asked.
    prompter.push(A::Yes);
    if (commands->newDocument() || !doc.isModified()) bad |= 32;
    return bad;
  });

  EXPECT_EQ(faults, 0);
  EXPECT_EQ(readAll(path("kept.qev")), old);
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"kept.qev"});
}
#endif

TEST_F(FileCommandsTest, SavePromptAnswers) {
  struct Case {
    const char* name;
    A answer;
    bool untitled;
    bool proceeds;
    bool savedToFile;
    size_t dialogs;
  } cases[] = {
      {"Yes saves over the current file", A::Yes, false, true, true, 0},
      {"No drops the changes", A::No, false, true, false, 0},
      {"Cancel stops New", A::Cancel, false, false, false, 0},
      {"Yes on an untitled document asks for a name", A::Yes, true, true, true, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    doc.newDocument();
    QFile::remove(path("doc.qev"));
    prompter.clearLog();
    chooser.asked.clear();
    if (!c.untitled) doc.setCurrentFile(path("doc.qev"));
    chooser.answers = {path("doc.qev")};
    edit();
    prompter.push(c.answer);

    EXPECT_EQ(commands->newDocument(), c.proceeds);

    ASSERT_EQ(prompter.log().size(), 1u);
    const PromptMessage& q = prompter.log()[0].message;
    EXPECT_EQ(q.text, c.untitled ? "Save changes to Untitled?" : "Save changes to doc.qev?");
    EXPECT_EQ(q.buttons, PromptButtons::YesNoCancel);
    EXPECT_EQ(q.icon, PromptIcon::Warning);
    EXPECT_EQ(QFile::exists(path("doc.qev")), c.savedToFile);
    EXPECT_EQ(chooser.asked.size(), c.dialogs);
    EXPECT_EQ(doc.isModified(), !c.proceeds);
    if (c.proceeds) {
      EXPECT_TRUE(doc.isUntitled());
      EXPECT_TRUE(doc.working().equals(doc.defaultImage()));
    }
  }

  // An unmodified document is not asked about.
  prompter.clearLog();
  EXPECT_TRUE(commands->newDocument());
  EXPECT_TRUE(prompter.log().empty());
}

TEST_F(FileCommandsTest, OpeningTheOpenFileWhileModifiedAsksGenericallyAndOffersSaveAs) {
  ASSERT_EQ(commands->saveFile(path("open.qev")), 0);
  const QByteArray onDisk = readAll(path("open.qev"));
  edit();

  // Cancelling the Save As cancels the open; the file on disk is never overwritten silently.
  prompter.push(A::Yes);
  EXPECT_EQ(commands->openFile(path("OPEN.QEV")), 1);
  ASSERT_EQ(prompter.log().size(), 1u);
  EXPECT_EQ(prompter.log()[0].message.text, "Save changes?");
  ASSERT_EQ(chooser.asked.size(), 1u);
  EXPECT_TRUE(chooser.asked[0].first);
  EXPECT_EQ(chooser.asked[0].second.proposedName, "open.qev");
  EXPECT_EQ(readAll(path("open.qev")), onDisk);
  EXPECT_TRUE(doc.isModified());

  // Saving the changes under another name, then reading the file back.
  prompter.clearLog();
  prompter.push(A::Yes);
  chooser.answers = {path("copy.qev")};
  EXPECT_EQ(commands->openFile(path("open.qev")), 0);
  EXPECT_EQ(readAll(path("open.qev")), onDisk);
  EXPECT_TRUE(QFile::exists(path("copy.qev")));
  EXPECT_EQ(doc.currentFile(), path("open.qev"));
  EXPECT_FALSE(doc.isModified());
  EXPECT_EQ(settings->recent().path(0), path("open.qev"));
  EXPECT_EQ(settings->recent().path(1), path("copy.qev"));
}

TEST_F(FileCommandsTest, RecentEntriesInTheFileMenu) {
  settings->recent().addFirst("/music/a&b.qev");
  settings->recent().addFirst(path("near.qev"));
  struct Case {
    int n;
    const char* caption;
    bool enabled, visible;
  } cases[] = {
      {0, "&1 near.qev", true, true},
      {1, "&2 /music/a&&b.qev", true, true},
      {2, "&3 ", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.n);
    const RecentMenuItem item = commands->recentItem(c.n);
    EXPECT_EQ(item.caption, c.caption);
    EXPECT_EQ(item.enabled, c.enabled);
    EXPECT_EQ(item.visible, c.visible);
  }
  settings->recent().clear();
  EXPECT_TRUE(commands->recentItem(0).visible);
  EXPECT_FALSE(commands->recentItem(0).enabled);
  EXPECT_EQ(commands->openRecent(0), 1);
}

TEST_F(FileCommandsTest, OpenRecentAndOpenDialog) {
  const QString file = foreignFile("recent.qev", kEUR_A);
  settings->recent().addFirst(file);
  settings->recent().addFirst(path("gone.qev"));
  EXPECT_EQ(commands->openRecent(1), 0);
  EXPECT_EQ(doc.currentFile(), file);
  EXPECT_EQ(settings->recent().path(0), file);

  // A recent file that has gone: "Cannot open the file." and the list as it was.
  prompter.clearLog();
  EXPECT_EQ(commands->openRecent(1), 1);
  EXPECT_EQ(prompter.texts(), QStringList{"File error.\n\nCannot open the file."});
  EXPECT_EQ(settings->recent().path(1), path("gone.qev"));

  // The open dialog starts in the current directory; cancelling it opens nothing.
  doc.setCurrentDirectory("/start/here");
  EXPECT_EQ(commands->openDialog(), 1);
  ASSERT_EQ(chooser.asked.size(), 1u);
  EXPECT_FALSE(chooser.asked[0].first);
  EXPECT_EQ(chooser.asked[0].second.initialDirectory, "/start/here");
  chooser.answers = {file};
  EXPECT_EQ(commands->openDialog(), 0);
  EXPECT_EQ(doc.currentDirectory(), dir.path());
}

}  // namespace

namespace {

// The check line is not read when opening; the verify command reports whether it fits.
TEST(QevCheckLineTest, FitsTheDataLinesWhateverTheirCut) {
  QTemporaryDir dir;
  cmcEeprom image(memmap::kImageSize);
  for (int a = 0; a <= memmap::kCloneLast; ++a) image.setByte(a, uint8_t(a * 13));
  for (int perLine : {32, 16, 7}) {
    SCOPED_TRACE(perLine);
    const QString file = dir.filePath(QStringLiteral("cut%1.qev").arg(perLine));
    cmcQevFile writer;
    writer.Configure(image);
    writer.setModelCode(kQevModelCode);
    writer.setSubCode(kQevSubCode);
    writer.setBytesPerLine(perLine);
    writer.setDigestOn(true);
    writer.setSalt(kQevSalt);
    writer.setMapRev(kQevMapRevValue);
    ASSERT_EQ(writer.Write(file, qevCloneRanges()), 0);
    const QevCheckLine check = verifyQevCheckLine(file);
    EXPECT_EQ(check.status, QevCheckLine::Matches);
    EXPECT_EQ(check.stored, check.computed);
    EXPECT_EQ(check.computed.size(), 32);
  }

  const QByteArray good = readAll(dir.filePath("cut32.qev"));
  const int cd = int(good.indexOf("#CD="));
  struct Case {
    const char* name;
    QByteArray content;
    QevCheckLine::Status status;
  } cases[] = {
      {"check line changed", good.left(cd + 4) + "0" + good.mid(cd + 5), QevCheckLine::Mismatch},
      {"data byte changed", QByteArray(good).replace("0000000020000D", "0000000020010D"),
       QevCheckLine::Mismatch},
      {"check line lower case", good.left(cd + 4) + good.mid(cd + 4).toLower(),
       QevCheckLine::Matches},
      {"no check line", good.left(cd), QevCheckLine::Missing},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_NE(c.content, good);
    writeAll(dir.filePath("t.qev"), c.content);
    EXPECT_EQ(verifyQevCheckLine(dir.filePath("t.qev")).status, c.status);
  }
  EXPECT_EQ(verifyQevCheckLine(dir.filePath("absent.qev")).status, QevCheckLine::Unreadable);
}

}  // namespace
