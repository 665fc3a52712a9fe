#include "clone/SimulatedSerialDevice.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>
#include <chrono>
#include <limits>

#include "clone/simmemory.h"

namespace {
constexpr int64_t kNever = std::numeric_limits<int64_t>::max();
constexpr int kSeedDestination = 0;

// Drops the consumed front of a queue once it is large enough to be worth the copy.
void compact(QByteArray& bytes, qsizetype& pos) {
  if (pos == bytes.size()) {
    bytes.clear();
    pos = 0;
  } else if (pos > 4096 && pos * 2 > bytes.size()) {
    bytes.remove(0, pos);
    pos = 0;
  }
}
}  // namespace

SimulatedSerialDevice::SimulatedSerialDevice(Options options) : options_(std::move(options)) {
  // The echo is the cable's business here, so that it arrives while the byte is sent.
  options_.transceiver.echo = false;
}

SimulatedSerialDevice::~SimulatedSerialDevice() = default;

QString SimulatedSerialDevice::defaultMemoryPath() {
  return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
      .filePath(QStringLiteral("simulated-transceiver.qev"));
}

bool SimulatedSerialDevice::isSimulatorName(const QString& name) {
  return name.trimmed().compare(QLatin1String(kPortName), Qt::CaseInsensitive) == 0;
}

SimulatedTransceiver& SimulatedSerialDevice::transceiver() {
  if (!radio_) ensureTransceiver(nullptr);
  return *radio_;
}

bool SimulatedSerialDevice::ensureTransceiver(QString* error) {
  if (radio_) return true;
  auto radio = std::make_unique<SimulatedTransceiver>(options_.transceiver);
  const QString path = options_.memoryPath;
  if (!path.isEmpty()) {
    if (QFileInfo::exists(path)) {
      QString why;
      if (!simmemory::load(path, radio->memory(), &why)) {
        if (error)
          *error =
              QStringLiteral(
                  "The simulated transceiver cannot use its memory file: %1 Move the file away to "
                  "start again from the factory settings.")
                  .arg(why);
        return false;
      }
    } else {
      const uint8_t* seed = options_.factory ? options_.factory(kSeedDestination) : nullptr;
      if (seed) radio->memory().writeBlock(0, seed, SimulatedTransceiver::kMemorySize);
      QDir().mkpath(QFileInfo(path).absolutePath());
      QString why;
      if (!simmemory::save(path, radio->memory(), radio->config().destination, &why))
        saveError_ = why;
    }
    SimulatedTransceiver* self = radio.get();
    radio->setOnWrite([this, self, path] {
      QString why;
      saveError_.clear();
      if (!simmemory::save(path, self->memory(), self->config().destination, &why))
        saveError_ = why;
    });
  }
  radio_ = std::move(radio);
  return true;
}

int64_t SimulatedSerialDevice::now() const {
  if (options_.clock) return options_.clock();
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

int64_t SimulatedSerialDevice::byteEnd(int64_t start, int64_t index) const {
  // From the start of the run, so that rounding never accumulates.
  return start + (index + 1) * bitsPerByte_ * int64_t{1'000'000'000} / baud_;
}

bool SimulatedSerialDevice::open(const QString& name, const cmcLineSettings& settings,
                                 QString* error) {
  close();
  if (settings.baud <= 0) {
    if (error) *error = QStringLiteral("%1 cannot run at %2 baud.").arg(name).arg(settings.baud);
    return false;
  }
  if (!ensureTransceiver(error)) return false;
  baud_ = settings.baud;
  const int stop = settings.stopBits == cmcLineSettings::kOneStop ? 1 : 2;
  bitsPerByte_ = 1 + settings.dataBits + (settings.parity == 'N' ? 0 : 1) + stop;
  open_ = true;
  ++traffic_.opens;
  purge();
  return true;
}

void SimulatedSerialDevice::close() {
  // Bytes still on the wire when the port closes are lost, as on a cable.
  purge();
  open_ = false;
}

void SimulatedSerialDevice::purge() {
  out_.clear();
  outPos_ = 0;
  outDone_ = 0;
  in_.clear();
  inPos_ = 0;
  inDone_ = 0;
  received_.clear();
  receivedPos_ = 0;
}

void SimulatedSerialDevice::advance() {
  if (!open_ || !radio_) return;
  const int64_t t = now();
  const int64_t byteNs = bitsPerByte_ * int64_t{1'000'000'000} / baud_;
  for (;;) {
    const int64_t outAt = outPos_ < out_.size() ? byteEnd(outStart_, outDone_) : kNever;
    const int64_t inAt = inPos_ < in_.size() ? byteEnd(inStart_, inDone_) : kNever;
    const int64_t at = std::min(outAt, inAt);
    if (at > t) break;
    if (outAt <= inAt) {
      const char byte = out_[outPos_++];
      ++outDone_;
      ++traffic_.bytesSent;
      traffic_.lineNs += byteNs;
      if (options_.echo) received_.append(byte);
      const QByteArray answer = radio_->Receive(QByteArray(1, byte), baud_);
      if (!answer.isEmpty()) {
        if (inPos_ == in_.size()) {
          in_.clear();
          inPos_ = 0;
          inStart_ = at + int64_t{radio_->config().faults.replyDelayMs} * 1'000'000;
          inDone_ = 0;
        }
        in_.append(answer);
      }
    } else {
      received_.append(in_[inPos_++]);
      ++inDone_;
      ++traffic_.bytesAnswered;
      traffic_.lineNs += byteNs;
    }
  }
  compact(out_, outPos_);
  compact(in_, inPos_);
}

int SimulatedSerialDevice::bytesAvailable() {
  if (!open_) return 0;
  advance();
  return static_cast<int>(received_.size() - receivedPos_);
}

int SimulatedSerialDevice::read(uint8_t* buffer, int maximum) {
  if (!open_ || maximum <= 0) return 0;
  advance();
  const int n = static_cast<int>(std::min<qsizetype>(maximum, received_.size() - receivedPos_));
  std::copy_n(received_.constData() + receivedPos_, n, reinterpret_cast<char*>(buffer));
  receivedPos_ += n;
  compact(received_, receivedPos_);
  return n;
}

int SimulatedSerialDevice::write(const uint8_t* bytes, int count) {
  if (!open_) return -1;
  if (count <= 0) return 0;
  advance();
  if (outPos_ == out_.size()) {
    // An idle line starts sending now.
    out_.clear();
    outPos_ = 0;
    outStart_ = now();
    outDone_ = 0;
  }
  out_.append(reinterpret_cast<const char*>(bytes), count);
  return count;
}

int SimulatedSerialDevice::outputQueue() {
  if (!open_) return 0;
  advance();
  return static_cast<int>(out_.size() - outPos_);
}
