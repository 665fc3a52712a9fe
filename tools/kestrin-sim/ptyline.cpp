#include "ptyline.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

int readLineSpeedExact(int fd);

namespace {
struct SpeedCode {
  speed_t code;
  int baud;
};
const SpeedCode kSpeeds[] = {{B1200, 1200},   {B2400, 2400},   {B4800, 4800},     {B9600, 9600},
                             {B19200, 19200}, {B38400, 38400}, {B57600, 57600},   {B115200, 115200}};

speed_t codeFor(int baud) {
  for (const SpeedCode& s : kSpeeds)
    if (s.baud == baud) return s.code;
  return B9600;
}

QString errnoText(const char* what) { return QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(errno))); }
}  // namespace

int readLineSpeed(int fd) {
  if (const int exact = readLineSpeedExact(fd); exact > 0) return exact;
  termios t{};
  if (tcgetattr(fd, &t) != 0) return 0;
  const speed_t code = cfgetospeed(&t);
  for (const SpeedCode& s : kSpeeds)
    if (s.code == code) return s.baud;
  return 0;
}

PtyLine::~PtyLine() {
  if (!linkPath_.isEmpty()) QFile::remove(linkPath_);
  if (slave_ >= 0) ::close(slave_);
  if (master_ >= 0) ::close(master_);
}

bool PtyLine::create(int initialBaud, QString* error) {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
    if (error) *error = errnoText("Cannot create a pseudo-terminal");
    return false;
  }
  const char* name = ptsname(master_);
  if (!name) {
    if (error) *error = errnoText("Cannot name the pseudo-terminal");
    return false;
  }
  devicePath_ = QString::fromLocal8Bit(name);
  slave_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (slave_ < 0) {
    if (error) *error = errnoText("Cannot open the pseudo-terminal");
    return false;
  }
  // Raw, so that nothing the line discipline does (echo, line editing) stands between the ends.
  termios t{};
  tcgetattr(slave_, &t);
  cfmakeraw(&t);
  cfsetispeed(&t, codeFor(initialBaud));
  cfsetospeed(&t, codeFor(initialBaud));
  if (tcsetattr(slave_, TCSANOW, &t) != 0) {
    if (error) *error = errnoText("Cannot set the pseudo-terminal to raw mode");
    return false;
  }
  return true;
}

bool PtyLine::link(const QString& path, QString* error) {
  const QFileInfo info(path);
  if (info.exists() || info.isSymLink()) {
    if (!info.isSymLink()) {
      if (error) *error = QStringLiteral("%1 exists and is not a link; not replacing it.").arg(path);
      return false;
    }
    QFile::remove(path);
  }
  if (::symlink(QFile::encodeName(devicePath_).constData(), QFile::encodeName(path).constData()) != 0) {
    if (error) *error = errnoText(QStringLiteral("Cannot create the link %1").arg(path).toLocal8Bit().constData());
    return false;
  }
  linkPath_ = path;
  return true;
}

int PtyLine::lineSpeed() const { return readLineSpeed(master_); }
