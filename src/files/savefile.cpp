#include "files/savefile.h"

SafeFileWriter::SafeFileWriter(const QString& path) : file_(path) {
  // Never fall back to rewriting the target in place (read-only directories): a failure then
  // could leave a half-written file where the user's file was.
  file_.setDirectWriteFallback(false);
}

SafeFileWriter::~SafeFileWriter() { cancel(); }

bool SafeFileWriter::open() {
  open_ = file_.open(QIODevice::WriteOnly);
  failed_ = !open_;
  written_ = 0;
  return open_;
}

bool SafeFileWriter::write(const QByteArray& bytes) {
  if (!open_ || failed_) return false;
  if (failAfter_ >= 0 && written_ + bytes.size() > failAfter_) {
    const qint64 room = failAfter_ - written_;
    if (room > 0) file_.write(bytes.constData(), room);
    written_ = failAfter_;
    failed_ = true;
    return false;
  }
  if (file_.write(bytes) != bytes.size()) {
    failed_ = true;
    return false;
  }
  written_ += bytes.size();
  return true;
}

bool SafeFileWriter::commit() {
  if (!open_) return false;
  if (failed_) {
    cancel();
    return false;
  }
  open_ = false;
  if (!file_.flush()) {
    file_.cancelWriting();
    file_.commit();  // only removes the temporary file after cancelWriting()
    failed_ = true;
    return false;
  }
  if (!file_.commit()) {
    failed_ = true;
    return false;
  }
  return true;
}

void SafeFileWriter::cancel() {
  if (!open_) return;
  open_ = false;
  file_.cancelWriting();
  file_.commit();  // discards the temporary file; the target stays as it was
}
