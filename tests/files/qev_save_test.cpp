#include <gtest/gtest.h>

#include <QtGlobal>
#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <csignal>

#include "files/cmcQevFile.h"
#include "files/savefile.h"
#include "model/cmcEeprom.h"
#include "qev_support.h"
#include "support/FailingDevice.h"

using namespace qevtest;

// A save that fails part-way must leave the file that was there untouched and no stray
// temporary file beside it.

namespace {

const QByteArray kOldContent = "the user's previous file\r\n";

QStringList entries(const QTemporaryDir& dir) {
  return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

// `through`: the disk the bytes go through (the real one when empty).
int saveOver(const QString& path, SafeFileWriter::Through through = {}) {
  cmcEeprom img = patternImage();
  cmcQevFile qev;
  configureWriter(qev, img);
  SafeFileWriter out(path, std::move(through));
  return qev.Write(out, qevCloneRanges());
}

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

}  // namespace

TEST(QevSave, InjectedWriteFailureKeepsTheOldFile) {
  QTemporaryDir dir;
  const QString path = dir.filePath("kept.qev");
  // The disk fills in the header, in the middle of the data and on the check line.
  for (qint64 room : {0, 10, 7000, 15000}) {
    SCOPED_TRACE(room);
    writeAll(path, kOldContent);
    MessageHarness m;
    cmcEeprom img = patternImage();
    cmcQevFile qev;
    configureWriter(qev, img);
    qev.setMessages(&m.prompter, &m.text);
    SafeFileWriter out(path, FullDisk::withRoom(room));
    EXPECT_EQ(qev.Write(out, qevCloneRanges()), kQevFileAccess);
    EXPECT_EQ(m.prompter.texts(), QStringList{"File error.\n\nCannot access the file."});
    EXPECT_EQ(readAll(path), kOldContent);
    EXPECT_EQ(entries(dir), QStringList{"kept.qev"});
  }
  // The same writer without a fault replaces the file.
  EXPECT_EQ(saveOver(path), kQevOk);
  EXPECT_EQ(readAll(path), readAll(fixturePath("pattern.qev")));
  EXPECT_EQ(entries(dir), QStringList{"kept.qev"});
}

TEST(QevSave, MissingDirectoryCannotBeCreated) {
  QTemporaryDir dir;
  EXPECT_EQ(saveOver(dir.filePath("no/such/dir/x.qev")), kQevFileOpen);
}

#ifdef Q_OS_UNIX
// A real full disk: the file-size limit makes the operating system refuse the write. Runs in a
// child process so the limit does not touch the rest of the suite.
TEST(QevSave, FileSizeLimitFailsTheWriteAndKeepsTheOldFile) {
  QTemporaryDir dir;
  const QString path = dir.filePath("kept.qev");
  writeAll(path, kOldContent);
  EXPECT_EQ(inChild([&] {
              std::signal(SIGXFSZ, SIG_IGN);
              rlimit limit{4000, 4000};
              setrlimit(RLIMIT_FSIZE, &limit);
              return saveOver(path);
            }),
            kQevFileAccess);
  EXPECT_EQ(readAll(path), kOldContent);
  EXPECT_EQ(entries(dir), QStringList{"kept.qev"});
}

// A writable file in a read-only directory cannot be replaced, so it is rewritten in place; a
// failure before the writing starts still keeps it. A file that is not writable is refused.
// Root ignores directory permissions, so the child drops to an unprivileged user first.
TEST(QevSave, ReadOnlyDirectoryRewritesAWritableFileInPlace) {
  QTemporaryDir dir;
  const QString path = dir.filePath("kept.qev");
  const QString locked = dir.filePath("locked.qev");
  writeAll(path, kOldContent);
  writeAll(locked, kOldContent);
  const auto everyone = QFile::ReadOwner | QFile::ReadOther | QFile::ReadGroup;
  QFile::setPermissions(path, everyone | QFile::WriteOwner | QFile::WriteOther | QFile::WriteGroup);
  QFile::setPermissions(locked, everyone);
  QFile::setPermissions(dir.path(), everyone | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther);
  auto asUser = [](const std::function<int()>& body) {
    return inChild([&] {
      if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) return 99;
      return body();
    });
  };
  EXPECT_EQ(asUser([&] { return saveOver(path, FullDisk::withRoom(7000)); }), kQevFileAccess);
  EXPECT_EQ(readAll(path), kOldContent);
  EXPECT_EQ(asUser([&] { return saveOver(locked); }), kQevFileOpen);
  EXPECT_EQ(readAll(locked), kOldContent);
  EXPECT_EQ(asUser([&] { return saveOver(path); }), kQevOk);
  EXPECT_EQ(readAll(path), readAll(fixturePath("pattern.qev")));
  EXPECT_EQ(asUser([&] { return saveOver(dir.filePath("new.qev")); }), kQevFileOpen);
  EXPECT_EQ(entries(dir), (QStringList{"kept.qev", "locked.qev"}));
  QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// Only regular files are replaced through a temporary file. A FIFO (as a device or a socket)
// is written directly and stays what it was; a link to a file stays a link; a directory and a
// name that would reach the disk as other bytes are refused without writing anything anywhere.
TEST(QevSave, TargetsThatAreNotRegularFiles) {
  QTemporaryDir dir;
  const QByteArray expected = readAll(fixturePath("pattern.qev"));

  const QString fifo = dir.filePath("pipe.qev");
  ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  // The read end is open before the save (the file fits the pipe's buffer), so nothing waits.
  const int readEnd = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(readEnd, 0);
  EXPECT_EQ(saveOver(fifo), kQevOk);
  QByteArray received;
  char buffer[4096];
  for (ssize_t n; (n = ::read(readEnd, buffer, sizeof buffer)) > 0;) received.append(buffer, n);
  ::close(readEnd);
  EXPECT_EQ(received, expected);
  EXPECT_FALSE(QFileInfo(fifo).isFile());
  EXPECT_TRUE(SafeFileWriter::canWrite(fifo));  // asked without waiting for a reader

  const QString file = dir.filePath("real.qev");
  const QString link = dir.filePath("link.qev");
  writeAll(file, kOldContent);
  ASSERT_TRUE(QFile::link(file, link));
  EXPECT_EQ(saveOver(link), kQevOk);
  EXPECT_TRUE(QFileInfo(link).isSymLink());
  EXPECT_EQ(readAll(file), expected);

  ASSERT_TRUE(QDir(dir.path()).mkdir("folder.qev"));
  EXPECT_EQ(saveOver(dir.filePath("folder.qev")), kQevFileOpen);
  EXPECT_FALSE(SafeFileWriter::canWrite(dir.filePath("folder.qev")));
  // What a Latin-1 name "\xE9t\xE9.qev" becomes when decoded as UTF-8.
  EXPECT_EQ(saveOver(QFile::decodeName("\xE9t\xE9.qev").prepend(dir.path() + "/")), kQevFileOpen);
  EXPECT_EQ(saveOver(dir.path() + "/" + QChar(0xDC80) + ".qev"), kQevFileOpen);
  EXPECT_EQ(QDir(dir.path())
                .entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot),
            (QStringList{"folder.qev", "link.qev", "pipe.qev", "real.qev"}));
}
#endif

// Asking ahead opens as a save would and leaves no trace.
TEST(QevSave, CanWriteLeavesNothingBehind) {
  QTemporaryDir dir;
  const QString path = dir.filePath("kept.qev");
  writeAll(path, kOldContent);
  EXPECT_TRUE(SafeFileWriter::canWrite(path));
  EXPECT_TRUE(SafeFileWriter::canWrite(dir.filePath("new.qev")));
  EXPECT_FALSE(SafeFileWriter::canWrite(dir.filePath("no/dir/new.qev")));
  EXPECT_EQ(readAll(path), kOldContent);
  EXPECT_EQ(entries(dir), QStringList{"kept.qev"});
}

#ifdef Q_OS_WIN
// Windows names: UTF-16 names outside any code page, the read-only attribute, device names.
TEST(QevSave, WindowsNames) {
  QTemporaryDir dir;
  const QByteArray expected = readAll(fixturePath("pattern.qev"));

  const QString name = QString::fromUtf8("Club \u03A9 \u65E5\u672C \u00F1 \U0001F4FB.qev");
  EXPECT_EQ(saveOver(dir.filePath(name)), kQevOk);
  EXPECT_EQ(readAll(dir.filePath(name)), expected);
  EXPECT_EQ(entries(dir), QStringList{name});

  const QString locked = dir.filePath("locked.qev");
  writeAll(locked, kOldContent);
  ASSERT_TRUE(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ReadUser));  // read-only
  EXPECT_EQ(saveOver(locked), kQevFileOpen);
  EXPECT_EQ(readAll(locked), kOldContent);
  EXPECT_FALSE(SafeFileWriter::canWrite(locked));
  QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner);

  // NUL takes the bytes and leaves no file of that name and no temporary file.
  EXPECT_EQ(saveOver(dir.filePath("NUL")), kQevOk);
  EXPECT_EQ(entries(dir), (QStringList{name, "locked.qev"}));
}
#endif
