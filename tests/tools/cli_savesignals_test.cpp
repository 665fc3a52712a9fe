// Byte-string file names, signals and forked children are POSIX matters.
#include <QtGlobal>
#ifdef Q_OS_UNIX

// A signal that arrives while kestrin-cli saves waits for the save to end, so the target is
// complete and no temporary file is left beside it; the tool still ends as the signal asks.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <functional>

#include "files/savefile.h"
#include "savesignals.h"

namespace {

QByteArray contents(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The signal that ended `body` run in a child process; 0 when it was not ended by one.
int endingSignal(const std::function<void()>& body) {
  const pid_t pid = fork();
  if (pid == 0) {
    body();
    std::_Exit(0);
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid) return -1;
  return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
}

}  // namespace

TEST(CliSaveSignals, ASignalDuringASaveWaitsForTheSaveAndThenEndsTheTool) {
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal);
    QTemporaryDir dir;
    const QString path = dir.filePath("x.qev");
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
    old.close();

    EXPECT_EQ(endingSignal([&] {
                SaveSignalGuard guard;
                SafeFileWriter out(path);
                if (!out.open() || !out.write("new") || std::raise(signal) != 0) std::_Exit(3);
                // Still running: the save goes on to its end.
                if (!out.write(" content") || !out.commit()) std::_Exit(4);
              }),
              signal);
    EXPECT_EQ(contents(path), "new content");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"x.qev"});

    // Outside a save a signal ends the tool at once, as before; a second one during a save too.
    EXPECT_EQ(endingSignal([&] {
                { SaveSignalGuard guard; }
                std::raise(signal);
                std::_Exit(5);
              }),
              signal);
    EXPECT_EQ(endingSignal([&] {
                SaveSignalGuard guard;
                std::raise(signal);
                std::raise(signal);
                std::_Exit(6);
              }),
              signal);
  }
}

#endif
