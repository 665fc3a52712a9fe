#include <gtest/gtest.h>

#include <QtGlobal>
#ifdef Q_OS_UNIX
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <QFile>
#include <QTemporaryDir>

#include "files/indEnviron.h"
#include "files/instancelock.h"

TEST(InstanceLock, SecondHolderFailsWhileTheFirstHoldsIt) {
  QTemporaryDir dir;
  InstanceLock first(indEnviron::kMutexName, dir.path());
  EXPECT_TRUE(first.isFirstInstance());
  EXPECT_TRUE(first.holdsLock());
  EXPECT_TRUE(first.filePath().endsWith("Zelk Kestrin APP Exclusive Mutex.lock"));
#ifdef Q_OS_UNIX
  // Nobody else can take or spoil the lock of this user's program.
  EXPECT_EQ(QFile::permissions(first.filePath()) & ~(QFile::ReadOwner | QFile::WriteOwner |
                                                     QFile::ReadUser | QFile::WriteUser),
            QFile::Permissions());
#endif
  {
    InstanceLock second(indEnviron::kMutexName, dir.path());
    EXPECT_FALSE(second.isFirstInstance());
    EXPECT_FALSE(second.holdsLock());
  }
  EXPECT_TRUE(first.holdsLock()) << "a failed second instance must not break the first's lock";
  InstanceLock other("Another Mutex", dir.path());
  EXPECT_TRUE(other.isFirstInstance());

  first.release();
  InstanceLock third(indEnviron::kMutexName, dir.path());
  EXPECT_TRUE(third.isFirstInstance());
}

#ifdef Q_OS_UNIX
TEST(InstanceLock, AnotherProcessHoldingTheLockMakesUsSecond) {
  QTemporaryDir dir;
  int ready[2], done[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(done), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    InstanceLock lock(indEnviron::kMutexName, dir.path());
    const char ok = lock.isFirstInstance() ? '1' : '0';
    if (write(ready[1], &ok, 1) != 1) _exit(2);
    char c;
    if (read(done[0], &c, 1) != 1) _exit(3);
    lock.release();
    _exit(0);
  }
  char ok = 0;
  ASSERT_EQ(read(ready[0], &ok, 1), 1);
  EXPECT_EQ(ok, '1');
  {
    InstanceLock mine(indEnviron::kMutexName, dir.path());
    EXPECT_FALSE(mine.isFirstInstance());
  }
  ASSERT_EQ(write(done[1], "x", 1), 1);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  for (int fd : {ready[0], ready[1], done[0], done[1]}) close(fd);
}

TEST(InstanceLock, LockLeftByACrashedRunIsTakenOver) {
  QTemporaryDir dir;
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    InstanceLock lock(indEnviron::kMutexName, dir.path());
    _exit(lock.isFirstInstance() ? 0 : 1);  // dies holding it: no release, no clean-up
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_EQ(WEXITSTATUS(status), 0);
  ASSERT_TRUE(QFile::exists(dir.path() + "/Zelk Kestrin APP Exclusive Mutex.lock"));

  InstanceLock mine(indEnviron::kMutexName, dir.path());
  EXPECT_TRUE(mine.isFirstInstance());
  EXPECT_TRUE(mine.holdsLock());
}
#endif

TEST(InstanceLock, ALockThatCannotBeMadeDoesNotStopTheProgram) {
  QTemporaryDir dir;
  QFile file(dir.path() + "/plain-file");
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  InstanceLock lock(indEnviron::kMutexName, file.fileName() + "/sub");  // not a directory
  EXPECT_TRUE(lock.isFirstInstance());
  EXPECT_FALSE(lock.holdsLock());
}

#ifdef Q_OS_WIN
#include <windows.h>

// Without a directory the lock is the named mutex, which other processes see by its name and
// which is gone once released.
TEST(InstanceLock, WindowsNamedMutex) {
  const wchar_t* name = L"Zelk Kestrin APP Exclusive Mutex";
  InstanceLock first(indEnviron::kMutexName);
  ASSERT_TRUE(first.isFirstInstance());
  EXPECT_TRUE(first.holdsLock());
  HANDLE seen = OpenMutexW(SYNCHRONIZE, FALSE, name);
  EXPECT_NE(seen, nullptr);
  if (seen) CloseHandle(seen);
  {
    InstanceLock second(indEnviron::kMutexName);
    EXPECT_FALSE(second.isFirstInstance());
    EXPECT_FALSE(second.holdsLock());
  }
  first.release();
  EXPECT_FALSE(first.holdsLock());
  EXPECT_EQ(OpenMutexW(SYNCHRONIZE, FALSE, name), nullptr);
  InstanceLock third(indEnviron::kMutexName);
  EXPECT_TRUE(third.isFirstInstance());
}
#endif
