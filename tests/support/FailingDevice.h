#pragma once

#include <QIODevice>
#include <algorithm>
#include <memory>

#include "files/savefile.h"

// A disk that fills up: passes the first `room` bytes on to the device it writes to, then
// refuses every later write, as the system does when the disk is full. A write that does not
// fit puts out what fits and fails.
class FullDisk : public QIODevice {
 public:
  FullDisk(QIODevice& target, qint64 room) : target_(target), room_(room) {
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
  }

  // For a SafeFileWriter: its bytes go through a disk with `room` bytes free.
  static SafeFileWriter::Through withRoom(qint64 room) {
    return [room](QIODevice& target) { return std::make_unique<FullDisk>(target, room); };
  }

 protected:
  qint64 readData(char*, qint64) override { return -1; }
  qint64 writeData(const char* data, qint64 size) override {
    const qint64 fits = std::min(size, room_);
    if (fits > 0) {
      const qint64 out = target_.write(data, fits);
      if (out < 0) return -1;
      room_ -= out;
      if (out < fits) return out;
    }
    if (fits < size) {
      setErrorString(QStringLiteral("No space left on device"));
      return fits > 0 ? fits : -1;
    }
    return size;
  }

 private:
  QIODevice& target_;
  qint64 room_;
};
