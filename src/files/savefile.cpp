#include "files/savefile.h"

#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

// A name that would reach the disk as other bytes than the ones it was given: characters the
// file-name encoding cannot write, or the replacement character that stands for bytes which
// could not be read when the name was decoded. Opening it would make or replace another file.
bool nameSurvivesEncoding(const QString& path) {
#ifdef Q_OS_WIN
  // Windows names are UTF-16 and Qt opens them as such; the 8-bit code page never comes into it.
  return !path.contains(QChar::ReplacementCharacter);
#else
  return !path.contains(QChar::ReplacementCharacter) &&
         QFile::decodeName(QFile::encodeName(path)) == path;
#endif
}

#ifdef Q_OS_WIN
// CON, PRN, AUX, NUL, COM1-9 and LPT1-9, with any extension, name devices in every folder. The
// device's name, or nothing when the file name names none.
QString reservedDeviceName(const QString& fileName) {
  const QString base = fileName.section(QLatin1Char('.'), 0, 0).trimmed();
  const QString upper = base.toUpper();
  static const QStringList plain{QStringLiteral("CON"), QStringLiteral("PRN"),
                                 QStringLiteral("AUX"), QStringLiteral("NUL")};
  const bool numbered =
      upper.size() == 4 &&
      (upper.startsWith(QLatin1String("COM")) || upper.startsWith(QLatin1String("LPT"))) &&
      upper.at(3) >= QLatin1Char('1') && upper.at(3) <= QLatin1Char('9');
  return plain.contains(upper) || numbered ? base : QString();
}
#endif

// An existing target (links followed) that is not a regular file: a device, FIFO or socket.
bool isSpecialFile(const QFileInfo& info) {
#ifdef Q_OS_WIN
  // A device name is written straight to the device, never through a temporary file beside it.
  if (!reservedDeviceName(info.fileName()).isEmpty()) return true;
#endif
  return info.exists() && !info.isFile() && !info.isDir();
}

}  // namespace

SafeFileWriter::SafeFileWriter(const QString& path, Through through)
    : path_(path), save_(path), target_(path), hold_(&held_), through_(std::move(through)) {
  // The in-place case is handled here, where the content can be held back until commit().
  save_.setDirectWriteFallback(false);
}

SafeFileWriter::~SafeFileWriter() { cancel(); }

bool SafeFileWriter::open() {
  cancel();
  failed_ = true;
  written_ = 0;
  held_.clear();
  if (path_.isEmpty() || !nameSurvivesEncoding(path_)) return false;
  const QFileInfo info(path_);
  if (info.isDir()) return false;
#ifdef Q_OS_WIN
  // A read-only file is not replaced behind the user's back: renaming over it would succeed.
  if (info.isFile() && !info.isWritable()) return false;
  // A device name means the device itself, whatever folder it was given in.
  if (const QString device = reservedDeviceName(info.fileName()); !device.isEmpty())
    target_.setFileName(QStringLiteral("\\\\.\\") + device);
#endif
  if (isSpecialFile(info)) {
    if (!target_.open(QIODevice::WriteOnly)) return false;
    mode_ = Mode::Direct;
  } else if (save_.open(QIODevice::WriteOnly)) {
    mode_ = Mode::Replace;
  } else if (info.isFile() && target_.open(QIODevice::ReadWrite)) {
    // No temporary file can be made beside it (a read-only directory), but the file itself may
    // be written. ReadWrite does not truncate: the old content stays until commit().
    hold_.open(QIODevice::WriteOnly);
    mode_ = Mode::InPlace;
  } else {
    return false;
  }
  failed_ = false;
  return true;
}

QIODevice& SafeFileWriter::sink(QIODevice& target) {
  if (!through_) return target;
  if (!via_) via_ = through_(target);
  return *via_;
}

bool SafeFileWriter::writeOut(const QByteArray& bytes) {
  switch (mode_) {
    case Mode::Replace:
      return sink(save_).write(bytes) == bytes.size();
    case Mode::Direct:
      return sink(target_).write(bytes) == bytes.size();
    case Mode::InPlace:
      return sink(hold_).write(bytes) == bytes.size();
    case Mode::None:
      break;
  }
  return false;
}

bool SafeFileWriter::write(const QByteArray& bytes) {
  if (mode_ == Mode::None || failed_) return false;
  if (!writeOut(bytes)) {
    failed_ = true;
    return false;
  }
  written_ += bytes.size();
  return true;
}

bool SafeFileWriter::commit() {
  if (mode_ == Mode::None) return false;
  if (failed_) {
    cancel();
    return false;
  }
  const Mode mode = mode_;
  mode_ = Mode::None;
  bool ok = false;
  switch (mode) {
    case Mode::Replace:
      if (!save_.flush()) {
        save_.cancelWriting();
        save_.commit();  // only removes the temporary file after cancelWriting()
        break;
      }
      ok = save_.commit();
      break;
    case Mode::Direct:
      ok = target_.flush();
      target_.close();
      break;
    case Mode::InPlace:
      // From here on a failure can no longer keep the old content: this is the one case
      // without a temporary file to fall back on.
      hold_.close();
      ok = target_.seek(0) && target_.write(held_) == held_.size() &&
           target_.resize(held_.size()) && target_.flush();
#ifdef Q_OS_UNIX
      ok = ok && ::fsync(target_.handle()) == 0;
#endif
      target_.close();
      held_.clear();
      break;
    case Mode::None:
      break;
  }
  via_.reset();
  failed_ = !ok;
  return ok;
}

void SafeFileWriter::cancel() {
  via_.reset();
  const Mode mode = mode_;
  mode_ = Mode::None;
  switch (mode) {
    case Mode::Replace:
      save_.cancelWriting();
      save_.commit();  // discards the temporary file; the target stays as it was
      break;
    case Mode::Direct:
    case Mode::InPlace:
      target_.close();  // in place nothing has been written yet
      hold_.close();
      held_.clear();
      break;
    case Mode::None:
      break;
  }
}

bool SafeFileWriter::canWrite(const QString& path) {
  const QFileInfo info(path);
  // Opening a FIFO for writing waits for a reader: ask the permissions instead.
  if (nameSurvivesEncoding(path) && isSpecialFile(info)) return info.isWritable();
  SafeFileWriter probe(path);
  if (!probe.open()) return false;
  probe.cancel();
  return true;
}
