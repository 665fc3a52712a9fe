#include "files/instancelock.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QStandardPaths>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace {
QString defaultDirectory() {
  // Per user, like a session-local mutex: another user's run must not block this one.
  QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (dir.isEmpty()) dir = QDir::tempPath();
  return dir;
}

QString fileNameFor(const QString& name) {
  QString file = name;
  for (QChar& c : file) {
    if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char(':'))
      c = QLatin1Char('_');
  }
  return file + QStringLiteral(".lock");
}
}  // namespace

InstanceLock::InstanceLock(const QString& name, const QString& directory) {
  const QString dir = directory.isEmpty() ? defaultDirectory() : directory;
  path_ = QDir(dir).filePath(fileNameFor(name));
#ifdef Q_OS_WIN
  // On Windows the program's place is the named mutex itself: it goes with its process, so a
  // crashed run leaves nothing to take over. A given directory keeps a lock file there.
  if (directory.isEmpty()) {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, reinterpret_cast<LPCWSTR>(name.utf16()));
    if (!mutex) {
      first_ = true;  // no mutex could be made: that must not keep the program from starting
      return;
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
      CloseHandle(mutex);
      return;
    }
    mutex_ = mutex;
    first_ = true;
    return;
  }
#endif
  QDir().mkpath(dir);
#ifndef Q_OS_WIN
  const QByteArray file = QFile::encodeName(path_);
  int fd = -1;
  do {
    fd = ::open(file.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    first_ = true;  // no lock can be made here: that must not keep the program from starting
    return;
  }
  int locked = -1;
  do {
    locked = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (locked != 0 && errno == EINTR);
  if (locked == 0) {
    fd_ = fd;
    first_ = true;
    return;
  }
  const int why = errno;
  ::close(fd);
  // Held by another process: this is a second instance. A file system without locks must not
  // keep the program from starting.
  first_ = why != EWOULDBLOCK;
#else
  lock_ = std::make_unique<QLockFile>(path_);
  // Only a lock whose process is gone is stale; a long-running first instance keeps its lock
  // however old the file is.
  lock_->setStaleLockTime(0);
  if (lock_->tryLock(0)) {
    first_ = true;
  } else {
    first_ = lock_->error() != QLockFile::LockFailedError;
  }
#endif
}

InstanceLock::~InstanceLock() { release(); }

bool InstanceLock::holdsLock() const { return mutex_ || fd_ >= 0 || (lock_ && lock_->isLocked()); }

void InstanceLock::release() {
#ifdef Q_OS_WIN
  if (mutex_) CloseHandle(mutex_);
#endif
  mutex_ = nullptr;
#ifndef Q_OS_WIN
  // The file stays: removing it would let a start that has just opened it lock a file nobody
  // else can find any more.
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
#endif
  if (lock_ && lock_->isLocked()) lock_->unlock();
}
