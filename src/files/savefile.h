#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QSaveFile>
#include <QString>
#include <functional>
#include <memory>

// Writes a file so that the file already at the path survives any failure: everything goes to a
// temporary file in the same directory, which replaces the target only in commit(), after the
// whole content has been written and flushed to disk. A failed open, write or commit leaves the
// old file as it was. A symbolic link to a file stays a link; the file it points to is replaced.
//
// Two targets cannot be replaced that way:
// - one that exists and is not a regular file (a device such as /dev/null, a FIFO, a socket) is
//   written directly, as any program writes to it; replacing it would destroy it;
// - a writable file in a directory that does not let a temporary file be made beside it is
//   rewritten in place. Its content is then held back until commit(), so every failure before
//   the writing starts (a failed write of the caller, a cancel) leaves the old file as it was.
// A directory, and a name that the system's file-name encoding cannot express (so the file
// would get another name), are refused by open().
class SafeFileWriter {
 public:
  enum class Mode { None, Replace, Direct, InPlace };

  // Makes the device the bytes go through on their way to the opened target (a filter or a
  // counter; tests put a failing disk there). It writes to `target` and is returned open. In
  // place, `target` is the content held back until commit().
  using Through = std::function<std::unique_ptr<QIODevice>(QIODevice& target)>;

  explicit SafeFileWriter(const QString& path, Through through = {});
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
  // How the open writer reaches its target.
  Mode mode() const { return mode_; }

  // Whether a writer could open `path` now: the same checks and opening as open(), undone at
  // once (a temporary file is removed again; a target is neither created nor changed). For
  // asking before a long operation whose result is to be saved there.
  static bool canWrite(const QString& path);

 private:
  bool writeOut(const QByteArray& bytes);
  QIODevice& sink(QIODevice& target);

  QString path_;
  QSaveFile save_;
  QFile target_;     // Direct and InPlace
  QByteArray held_;  // InPlace: the content, written at commit()
  QBuffer hold_;     // writes into held_
  Mode mode_ = Mode::None;
  bool failed_ = false;
  qint64 written_ = 0;
  Through through_;
  std::unique_ptr<QIODevice> via_;  // made by through_ for the open target
};
