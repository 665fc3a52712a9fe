#pragma once

#include <QByteArray>
#include <QString>

// File names on the command line are bytes in the system's file-name encoding. Qt reads them as
// UTF-8, so a name that is not (a Latin-1 or Shift-JIS name from an older disk or share) would
// become another name, and a save would make a file of that other name. Such arguments are
// remembered here with their bytes, and the commands reach the files through paths that mean
// exactly those bytes. Where that is not possible the path is empty, and the command reports
// the file error instead of working on another file.
namespace rawnames {

// Notes the arguments whose bytes do not survive decoding (and those that read like them).
// Called once, first thing in main().
void remember(int argc, char** argv);

// Whether `argument` stands for bytes that are not its own encoding.
bool isRaw(const QString& argument);

// The bytes of the name `argument` stands for: its remembered bytes, or its own encoding. Empty
// when two remembered names decode alike and which one is meant cannot be told.
QByteArray localBytes(const QString& argument);

// A path that reads the file named by `argument`: the argument itself, or, for a remembered
// name, the opened file. Empty when that file cannot be opened.
QString readPath(const QString& argument);

// Where to save the file named by `argument`, and finish() to put it under its name once the
// save has succeeded. For other names path() is the argument and finish() does nothing. A
// remembered name is saved under a plain name in its directory, then renamed to its own bytes
// (links followed, permissions of the file it replaces kept); a device or FIFO of that name is
// written through its opened handle. A save that is not finished leaves nothing behind.
class OutputPath {
 public:
  explicit OutputPath(const QString& argument);
  ~OutputPath();
  OutputPath(const OutputPath&) = delete;
  OutputPath& operator=(const OutputPath&) = delete;

  QString path() const { return path_; }
  bool finish();

 private:
  QString path_;
  int dirFd_ = -1;     // the directory of a remembered name
  int fileFd_ = -1;    // a remembered device or FIFO
  QByteArray final_;   // the remembered name's last part
  QByteArray staged_;  // the plain name it is saved under first
};

}  // namespace rawnames
