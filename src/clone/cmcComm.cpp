#include "clone/cmcComm.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "base/cmcTask.h"
#include "clone/SystemSerialDevice.h"

namespace {
bool isLeadByte(uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xEF); }

// Splits at commas; a comma that is the second byte of a double-byte character stays.
std::vector<QByteArray> splitFields(const QByteArray& text) {
  std::vector<QByteArray> fields(1);
  for (qsizetype i = 0; i < text.size(); ++i) {
    const uint8_t b = static_cast<uint8_t>(text[i]);
    if (isLeadByte(b) && i + 1 < text.size()) {
      fields.back().append(text[i]).append(text[i + 1]);
      ++i;
    } else if (b == ',') {
      fields.emplace_back();
    } else {
      fields.back().append(text[i]);
    }
  }
  return fields;
}

int leadingNumber(const QByteArray& field) { return std::atoi(field.trimmed().constData()); }
}  // namespace

cmcComm::cmcComm(std::unique_ptr<cmcSerialDevice> device) : device_(std::move(device)) {
  if (!device_) device_ = std::make_unique<SystemSerialDevice>();
  flushTask_ = new cmcTask();
  flushTask_->SetCallback([this](void*, cmcTask*) { Flush(); });
}

cmcComm::~cmcComm() {
  Close();
  cmcTask::Dispose(flushTask_);
}

QString cmcComm::DeviceNameForPort(int n) {
#ifdef Q_OS_WIN
  return QStringLiteral("COM%1").arg(n);
#else
  return QStringLiteral("/dev/ttyS%1").arg(n - 1);
#endif
}

QString cmcComm::ResolvePortName(const QString& portName) {
  const QString name = portName.trimmed();
  bool isNumber = false;
  const int n = name.toInt(&isNumber);
  if (isNumber) return DeviceNameForPort(n);
  return name;
}

void cmcComm::ParseSettings(const QByteArray& text, cmcLineSettings& line) {
  const std::vector<QByteArray> f = splitFields(text);
  line.baud = leadingNumber(f[0]);
  line.parity = 'N';
  if (f.size() > 1) {
    const QByteArray p = f[1].trimmed().toUpper();
    if (!p.isEmpty() && QByteArray("NEOMS").contains(p[0])) line.parity = p[0];
  }
  line.dataBits = static_cast<uint8_t>(std::clamp(f.size() > 2 ? leadingNumber(f[2]) : 0, 4, 8));
  const QByteArray stop = f.size() > 3 ? f[3].trimmed() : QByteArray();
  line.stopBits = stop == "1.5" ? cmcLineSettings::kOneAndHalfStop
                  : stop == "2" ? cmcLineSettings::kTwoStop
                                : cmcLineSettings::kOneStop;
  line.xonLimit = kInputQueueSize / 2;
  line.xoffLimit = kInputQueueSize * 3 / 4;
}

bool cmcComm::Open(int portNumber, const QByteArray& settings) {
  if (IsOpen()) return false;
  portNumber_ = portNumber;
  return openDevice(DeviceNameForPort(portNumber), settings);
}

bool cmcComm::Open(const QString& portName, const QByteArray& settings) {
  if (IsOpen()) return false;
  bool isNumber = false;
  const int n = portName.trimmed().toInt(&isNumber);
  if (isNumber) portNumber_ = n;
  return openDevice(ResolvePortName(portName), settings);
}

bool cmcComm::openDevice(const QString& name, const QByteArray& settings) {
  error_ = false;
  portName_ = name;
  lastOpenError_.clear();
  ParseSettings(settings, line_);
  if (!device_->open(name, line_, &lastOpenError_)) {
    if (lastOpenError_.isEmpty())
      lastOpenError_ = QStringLiteral("Cannot open serial device %1.").arg(name);
    return false;
  }
  return true;
}

void cmcComm::Close() {
  flushTask_->SetInterval(-1);
  if (device_->isOpen()) device_->close();
  transmit_.Clear();
  error_ = false;
}

bool cmcComm::IsOpen() const { return device_->isOpen(); }

int cmcComm::Read(uint8_t* buffer, int maximum) {
  if (!IsOpen() || maximum <= 0) return 0;
  const int available = device_->bytesAvailable();
  if (available <= 0) return 0;
  const int n = device_->read(buffer, std::min(available, maximum));
  return n > 0 ? n : 0;
}

void cmcComm::Send(const uint8_t* bytes, int count) {
  if (!IsOpen() || count <= 0) return;
  flushTask_->SetInterval(-1);
  transmit_.Append(bytes, count);
  flushTask_->SetInterval(0);
  Flush();
}

int cmcComm::RetryAfterMs(int queued) const {
  // Look again when the driver's queue will have gone out, not later than the usual retry: a
  // whole retry interval of idle line between chunks would cost a write about a tenth of its time.
  const int baud = line_.baud > 0 ? line_.baud : 1;
  const int stop = line_.stopBits == cmcLineSettings::kOneStop   ? 2
                   : line_.stopBits == cmcLineSettings::kTwoStop ? 4
                                                                 : 3;
  const int64_t halfBits = int64_t{2} * (1 + line_.dataBits + (line_.parity == 'N' ? 0 : 1)) + stop;
  const int64_t ms = int64_t{queued} * halfBits * 1000 / (int64_t{2} * baud);
  return static_cast<int>(std::clamp<int64_t>(ms, 1, kFlushRetryMs));
}

int cmcComm::PendingOutput() {
  if (!IsOpen()) return transmit_.Length();
  return device_->outputQueue() + transmit_.Length();
}

void cmcComm::Flush() {
  if (!IsOpen()) {
    flushTask_->SetInterval(-1);
    return;
  }
  if (const int queued = device_->outputQueue(); queued > 0) {
    // The last chunk must leave the driver within its write time-out.
    if (writeDeadline_.running() && writeDeadline_.Remaining() == 0) {
      error_ = true;
      flushTask_->SetInterval(-1);
      return;
    }
    flushTask_->SetInterval(RetryAfterMs(queued));
    return;
  }
  const int chunk = std::min(transmit_.Length(), kOutputQueueSize);
  if (chunk == 0) {
    flushTask_->SetInterval(-1);
    return;
  }
  const int written = device_->write(transmit_.Data(), chunk);
  if (written < chunk) {
    error_ = true;
    flushTask_->SetInterval(-1);
    return;
  }
  writeDeadline_.Start(static_cast<uint32_t>(kWriteTimeoutBase + WriteTimeoutPerByte() * chunk));
  if (transmit_.Length() > chunk) {
    for (int i = 0; i < chunk; ++i) transmit_.PopFront();
    flushTask_->SetInterval(kFlushRetryMs);
  } else {
    transmit_.Clear();
    // Keep watching until the driver has sent it, so a stuck line still ends in an error.
    flushTask_->SetInterval(device_->outputQueue() > 0 ? kFlushRetryMs : -1);
  }
}
