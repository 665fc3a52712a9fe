#pragma once

#include <QByteArray>
#include <QSaveFile>
#include <QString>

// Writes a file so that the file already at the path survives any failure: everything goes to a
// temporary file in the same directory, which replaces the target only in commit(), after the
// whole content has been written and flushed to disk. A failed open, write or commit leaves the
// old file as it was.
class SafeFileWriter {
 public:
  explicit SafeFileWriter(const QString& path);
  ~SafeFileWriter();  // an uncommitted writer discards its temporary file

  SafeFileWriter(const SafeFileWriter&) = delete;
  SafeFileWriter& operator=(const SafeFileWriter&) = delete;

  bool open();
  // False when this or any earlier write failed; later writes do nothing.
  bool write(const QByteArray& bytes);
  bool write(const char* text) { return write(QByteArray(text)); }
  // Flushes, syncs and renames over the target. False (target untouched) after a failed write.
  bool commit();
  void cancel();

  bool failed() const { return failed_; }
  qint64 written() const { return written_; }

  // Test seam: every write that would pass this many bytes in total fails, as a full disk
  // would. Negative (the default) never fails.
  void setFailAfter(qint64 bytes) { failAfter_ = bytes; }

 private:
  QSaveFile file_;
  bool open_ = false;
  bool failed_ = false;
  qint64 written_ = 0;
  qint64 failAfter_ = -1;
};
