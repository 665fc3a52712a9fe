#pragma once

#include <QByteArray>
#include <QString>

// The simulator's end of a pseudo-terminal. The program opens the other end as its serial port;
// the line speed it sets there is read back here, since on Linux both ends share one termios.
class PtyLine {
 public:
  PtyLine() = default;
  ~PtyLine();
  PtyLine(const PtyLine&) = delete;
  PtyLine& operator=(const PtyLine&) = delete;

  // Creates the pseudo-terminal in raw mode at `initialBaud`; false with `error` on failure.
  bool create(int initialBaud, QString* error);
  // Points `path` at the device (replacing an earlier link of ours, never another file).
  bool link(const QString& path, QString* error);

  QString devicePath() const { return devicePath_; }
  int masterFd() const { return master_; }
  // The speed the program set on its end, in bits per second (0 when unknown).
  int lineSpeed() const;

 private:
  int master_ = -1;
  int slave_ = -1;  // held open so the line survives the program closing its end
  QString devicePath_;
  QString linkPath_;
};

// Bits per second of the termios at `fd` (shared by both ends of a pseudo-terminal).
int readLineSpeed(int fd);
