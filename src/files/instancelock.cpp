#include "files/instancelock.h"

#include <QDir>
#include <QLockFile>
#include <QStandardPaths>

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
  QDir().mkpath(dir);
  path_ = QDir(dir).filePath(fileNameFor(name));
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

bool InstanceLock::holdsLock() const { return lock_ && lock_->isLocked(); }

void InstanceLock::release() {
  if (lock_ && lock_->isLocked()) lock_->unlock();
}
