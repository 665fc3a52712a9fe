#pragma once

#include <QString>
#include <memory>

class QLockFile;

// Single-instance rule: the first process to take the lock named after the program's mutex name
// is the first instance. The lock is a file in a per-user directory; a lock left behind by a run
// that crashed is taken over. On Unix it is an advisory lock on that file, which the system drops
// with its process, so a crashed run leaves nothing to clean up and nothing needs to be synced to
// disk at start; the file itself stays. On Windows, without a directory given, it is the named
// mutex of that name. Released on destruction.
class InstanceLock {
 public:
  // `directory` empty: the per-user runtime directory (the temporary directory when there is
  // none).
  explicit InstanceLock(const QString& name, const QString& directory = {});
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // True when this process holds the lock, or when no lock could be made at all (an unwritable
  // directory must not keep the program from starting).
  bool isFirstInstance() const { return first_; }
  bool holdsLock() const;
  QString filePath() const { return path_; }
  void release();

 private:
  QString path_;
  std::unique_ptr<QLockFile> lock_;  // Windows with a directory given
  void* mutex_ = nullptr;  // the Windows mutex handle, when that is the lock
  int fd_ = -1;            // Unix: the locked file
  bool first_ = false;
};
