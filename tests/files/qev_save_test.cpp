#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>

#include "files/cmcQevFile.h"
#include "files/savefile.h"
#include "model/cmcEeprom.h"
#include "qev_support.h"

using namespace qevtest;

// A save that fails part-way must leave the file that was there untouched and no stray
// temporary file beside it.

namespace {

const QByteArray kOldContent = "the user's previous file\r\n";

QStringList entries(const QTemporaryDir& dir) {
  return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

int saveOver(const QString& path, qint64 failAfter = -1) {
  cmcEeprom img = patternImage();
  cmcQevFile qev;
  configureWriter(qev, img);
  qev.setWriteFailAfter(failAfter);
  return qev.Write(path, qevCloneRanges());
}

// Runs `body` in a forked child and gives its exit status (-1 when it did not exit normally).
int inChild(const std::function<int()>& body) {
  const pid_t pid = fork();
  if (pid == 0) std::_Exit(body());
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace

TEST(QevSave, InjectedWriteFailureKeepsTheOldFile) {
  QTemporaryDir dir;
  const QString path = dir.filePath("kept.qev");
  // Fail in the header, in the middle of the data and on the check line.
  for (qint64 failAfter : {0, 10, 7000, 15000}) {
    SCOPED_TRACE(failAfter);
    writeAll(path, kOldContent);
    MessageHarness m;
    cmcEeprom img = patternImage();
    cmcQevFile qev;
    configureWriter(qev, img);
    qev.setMessages(&m.prompter, &m.text);
    qev.setWriteFailAfter(failAfter);
    EXPECT_EQ(qev.Write(path, qevCloneRanges()), kQevFileAccess);
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

// A writable file in a read-only directory is neither replaced nor rewritten in place. Root
// ignores directory permissions, so the child drops to an unprivileged user first.
TEST(QevSave, ReadOnlyDirectoryRefusesTheSaveAndKeepsTheFile) {
  QTemporaryDir dir;
  const QString path = dir.filePath("kept.qev");
  writeAll(path, kOldContent);
  QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther |
                                  QFile::WriteOther | QFile::ReadGroup | QFile::WriteGroup);
  QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                        QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
  EXPECT_EQ(inChild([&] {
              if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) return 99;
              return saveOver(path);
            }),
            kQevFileOpen);
  EXPECT_EQ(readAll(path), kOldContent);
  EXPECT_EQ(entries(dir), QStringList{"kept.qev"});
  QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}
