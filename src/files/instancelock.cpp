#include "files/instancelock.h"

#include <QDir>
#include <QLockFile>
#include <QStandardPaths>

#ifdef Q_OS_WIN
#include <windows.h>
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
  lock_ = std::make_unique<QLockFile>(path_);
  // Only a lock whose process is gone is stale; a long-running first instance keeps its lock
  // however old the file is.
  lock_->setStaleLockTime(0);
  if (lock_->tryLock(0)) {
    first_ = true;
  } else {
    first_ = lock_->error() != QLockFile::LockFailedError;
  }
}

InstanceLock::~InstanceLock() { release(); }

bool InstanceLock::holdsLock() const { return mutex_ || (lock_ && lock_->isLocked()); }

void InstanceLock::release() {
#ifdef Q_OS_WIN
  if (mutex_) CloseHandle(mutex_);
#endif
  mutex_ = nullptr;
  if (lock_ && lock_->isLocked()) lock_->unlock();
}
