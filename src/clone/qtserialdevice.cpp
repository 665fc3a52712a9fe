#include "clone/qtserialdevice.h"

#include <QFile>
#include <algorithm>

#ifdef Q_OS_UNIX
#include <grp.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace {
QString systemLocation(const QString& name) {
#ifdef Q_OS_UNIX
  if (name.startsWith('/')) return name;
  return QStringLiteral("/dev/") + name;
#else
  return name;
#endif
}

#ifdef Q_OS_UNIX
// The group that owns the device file, which users join to be allowed to use it.
QString owningGroup(const QByteArray& path) {
  struct stat st {};
  if (::stat(path.constData(), &st) != 0) return {};
  const group* g = ::getgrgid(st.st_gid);
  return g && g->gr_name ? QString::fromLocal8Bit(g->gr_name) : QString();
}
#endif
}  // namespace

QtSerialDevice::QtSerialDevice() = default;

QtSerialDevice::~QtSerialDevice() { close(); }

QString QtSerialDevice::openErrorText(const QString& name, QSerialPort::SerialPortError error, const QString& detail) {
  switch (error) {
    case QSerialPort::DeviceNotFoundError:
      return QStringLiteral("Serial device %1 was not found.").arg(name);
    case QSerialPort::PermissionError: {
#ifdef Q_OS_UNIX
      // The same error stands for "not allowed" and "in use"; the file's access tells them apart.
      const QByteArray path = QFile::encodeName(systemLocation(name));
      if (::access(path.constData(), R_OK | W_OK) != 0 && errno == EACCES) {
        QString group = owningGroup(path);
        if (group.isEmpty() || group == QLatin1String("root")) group = QStringLiteral("dialout");
        return QStringLiteral(
                   "Permission denied for serial device %1. Serial devices may only be used by members of the "
                   "group that owns them ('%2'; on most systems 'dialout'). Add your user to it, for example with "
                   "\"sudo usermod -aG %2 $USER\", then log out and log in again.")
            .arg(name, group);
      }
#endif
      return QStringLiteral("Serial device %1 is in use by another program (%2). Close the other program and try "
                            "again.")
          .arg(name, detail.isEmpty() ? QStringLiteral("it cannot be locked") : detail);
    }
    default:
      return QStringLiteral("Cannot open serial device %1: %2").arg(name, detail);
  }
}

bool QtSerialDevice::open(const QString& name, const cmcLineSettings& s, QString* error) {
  close();
  port_.setPortName(name);
  auto fail = [&](const QString& text) {
    if (error) *error = text;
    port_.close();
    return false;
  };
  if (!port_.open(QIODevice::ReadWrite)) return fail(openErrorText(name, port_.error(), port_.errorString()));

  QSerialPort::DataBits dataBits;
  switch (s.dataBits) {
    case 5: dataBits = QSerialPort::Data5; break;
    case 6: dataBits = QSerialPort::Data6; break;
    case 7: dataBits = QSerialPort::Data7; break;
    case 8: dataBits = QSerialPort::Data8; break;
    default: return fail(QStringLiteral("Serial device %1 cannot use %2 data bits.").arg(name).arg(s.dataBits));
  }
  QSerialPort::Parity parity = QSerialPort::NoParity;
  switch (s.parity) {
    case 'E': parity = QSerialPort::EvenParity; break;
    case 'O': parity = QSerialPort::OddParity; break;
    case 'M': parity = QSerialPort::MarkParity; break;
    case 'S': parity = QSerialPort::SpaceParity; break;
    default: break;
  }
  const QSerialPort::StopBits stopBits = s.stopBits == cmcLineSettings::kTwoStop        ? QSerialPort::TwoStop
                                         : s.stopBits == cmcLineSettings::kOneAndHalfStop ? QSerialPort::OneAndHalfStop
                                                                                         : QSerialPort::OneStop;
  const bool flowOff = !(s.lineFlags & (cmcLineSettings::kOutX | cmcLineSettings::kInX |
                                        cmcLineSettings::kOutxCtsFlow | cmcLineSettings::kOutxDsrFlow));
  if (!port_.setBaudRate(s.baud) || !port_.setDataBits(dataBits) || !port_.setParity(parity) ||
      !port_.setStopBits(stopBits) || !port_.setFlowControl(flowOff ? QSerialPort::NoFlowControl : QSerialPort::SoftwareControl))
    return fail(QStringLiteral("Cannot set the line settings of serial device %1: %2").arg(name, port_.errorString()));
  // Modem lines do not exist on every device (a pseudo-terminal has none); their absence is no fault.
  port_.setDataTerminalReady(s.dtr());
  port_.setRequestToSend(s.rts());
  port_.clearError();
  port_.setReadBufferSize(32000);
  purge();
  return true;
}

void QtSerialDevice::close() {
  if (port_.isOpen()) port_.close();
}

bool QtSerialDevice::isOpen() const { return port_.isOpen(); }

int QtSerialDevice::bytesAvailable() {
  if (!port_.isOpen()) return 0;
  // Take in what the system holds now; a zero wait never blocks.
  if (port_.bytesAvailable() == 0) port_.waitForReadyRead(0);
  return static_cast<int>(port_.bytesAvailable());
}

int QtSerialDevice::read(uint8_t* buffer, int maximum) {
  if (!port_.isOpen() || maximum <= 0) return 0;
  const int available = bytesAvailable();
  if (available <= 0) return 0;
  const qint64 n = port_.read(reinterpret_cast<char*>(buffer), std::min(available, maximum));
  return n < 0 ? -1 : static_cast<int>(n);
}

int QtSerialDevice::write(const uint8_t* bytes, int count) {
  if (!port_.isOpen()) return -1;
  const qint64 n = port_.write(reinterpret_cast<const char*>(bytes), count);
  if (n < 0) return -1;
  port_.flush();
  return static_cast<int>(n);
}

int QtSerialDevice::outputQueue() {
  if (!port_.isOpen()) return 0;
  if (port_.bytesToWrite() > 0) port_.flush();
  int queued = static_cast<int>(port_.bytesToWrite());
#ifdef Q_OS_UNIX
  int inDriver = 0;
  if (::ioctl(port_.handle(), TIOCOUTQ, &inDriver) == 0 && inDriver > 0) queued += inDriver;
#endif
  return queued;
}

void QtSerialDevice::purge() {
  if (port_.isOpen()) port_.clear(QSerialPort::AllDirections);
}
