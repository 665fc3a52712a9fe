#include "clone/PortList.h"

#ifdef Q_OS_WIN
#include "clone/winserialdevice.h"
#else
#include <QSerialPortInfo>
#endif
#include <algorithm>
#include <cmath>

#include "clone/SimulatedSerialDevice.h"
#include "clone/cmcComm.h"
#include "files/indEnviron.h"

namespace portlist {
namespace {
constexpr int kFirstPort = 1;
constexpr int kLastPort = 256;

// A port name's number: its digits, "." and "-" (cut to 9 characters when longer than 8), read
// as a number and rounded half away from zero.
bool nameNumber(const QString& name, long long& number) {
  QString kept;
  for (QChar c : name)
    if (c.isDigit() || c == QLatin1Char('.') || c == QLatin1Char('-')) kept.append(c);
  if (kept.size() > 8) kept.truncate(9);
  bool ok = false;
  const double value = kept.toDouble(&ok);
  if (!ok || !std::isfinite(value)) return false;
  number = std::llround(value);
  return true;
}

QString describe(const SystemPort& p) {
  QStringList parts;
  if (!p.description.isEmpty()) parts << p.description;
  if (!p.manufacturer.isEmpty() && !p.description.contains(p.manufacturer, Qt::CaseInsensitive))
    parts << p.manufacturer;
  if (!p.serialNumber.isEmpty()) parts << QStringLiteral("serial %1").arg(p.serialNumber);
  const QString path = p.systemLocation.isEmpty() ? p.portName : p.systemLocation;
  return parts.isEmpty() ? path
                         : QStringLiteral("%1 (%2)").arg(path, parts.join(QStringLiteral(", ")));
}
}  // namespace

std::vector<SystemPort> systemPorts() {
  std::vector<SystemPort> ports;
#ifdef Q_OS_WIN
  for (const QString& name : WinSerialDevice::portNames())
    ports.push_back({name, name, QString(), QString(), QString()});
#else
  for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
    ports.push_back({info.portName(), info.systemLocation(), info.description(),
                     info.manufacturer(), info.serialNumber()});
#endif
  return ports;
}

QStringList comNumbers(const QStringList& portNames) {
  std::vector<long long> numbers;
  for (const QString& name : portNames) {
    long long n = 0;
    if (nameNumber(name, n)) numbers.push_back(n);
  }
  std::stable_sort(numbers.begin(), numbers.end());
  QStringList texts;
  for (long long n : numbers) texts << QString::number(n);
  return texts;
}

std::vector<Item> itemsFor(const std::vector<SystemPort>& ports, bool comNumbersOnly) {
  std::vector<Item> items{{QString::fromLatin1(SimulatedSerialDevice::kPortName),
                           QString::fromLatin1(SimulatedSerialDevice::kPortName)}};
  if (comNumbersOnly) {
    QStringList names;
    for (const SystemPort& p : ports) names << p.portName;
    for (const QString& n : comNumbers(names)) items.push_back({n, n});
    return items;
  }
  std::vector<SystemPort> sorted = ports;
  std::stable_sort(sorted.begin(), sorted.end(), [](const SystemPort& a, const SystemPort& b) {
    return a.systemLocation < b.systemLocation;
  });
  for (const SystemPort& p : sorted)
    items.push_back({describe(p), p.systemLocation.isEmpty() ? p.portName : p.systemLocation});
  return items;
}

std::vector<Item> items() {
#ifdef Q_OS_WIN
  return itemsFor(systemPorts(), true);
#else
  return itemsFor(systemPorts(), false);
#endif
}

Choice parse(const QString& text, const std::vector<Item>& items) {
  QString t = text.trimmed();
  for (const Item& item : items)
    if (t == item.text) t = item.port;
  Choice c;
  if (t.isEmpty()) return c;
  if (SimulatedSerialDevice::isSimulatorName(t)) {
    c.kind = Choice::kSimulator;
    c.path = QString::fromLatin1(SimulatedSerialDevice::kPortName);
    return c;
  }
  if (t.startsWith(QLatin1Char('/'))) {
    c.kind = Choice::kPath;
    c.path = t.section(QLatin1Char(' '), 0, 0);
    return c;
  }
  // The leading integer, as a C library read of the text would take it.
  qsizetype end = 0;
  if (end < t.size() && (t[end] == QLatin1Char('+') || t[end] == QLatin1Char('-'))) ++end;
  const qsizetype digits = end;
  while (end < t.size() && t[end].isDigit() && end - digits < 10) ++end;
  c.number = end > digits ? t.left(end).toInt() : 0;
  if (c.number >= kFirstPort && c.number <= kLastPort) c.kind = Choice::kNumber;
  return c;
}

void store(indEnviron& settings, const Choice& choice) {
  switch (choice.kind) {
    case Choice::kNumber:
      settings.setComPort(choice.number);
      settings.setComPortPath(QString());
      break;
    case Choice::kPath:
    case Choice::kSimulator:
      settings.setComPortPath(choice.path);
      break;
    case Choice::kNone:
      break;
  }
}

QString storedText(const indEnviron& settings) {
  if (!settings.comPortPath().isEmpty()) return settings.comPortPath();
  const int n = settings.comPort();
  return n >= kFirstPort && n <= kLastPort ? QString::number(n) : QString();
}

bool simulatorChosen(const indEnviron& settings) {
  return SimulatedSerialDevice::isSimulatorName(settings.comPortPath());
}

QString comNumberText(int n) {
#ifdef Q_OS_WIN
  return QStringLiteral("COM %1").arg(n);
#else
  return QStringLiteral("COM %1 (%2)").arg(n).arg(cmcComm::DeviceNameForPort(n));
#endif
}

QString portHint() {
#ifdef Q_OS_WIN
  return {};
#else
  return QStringLiteral(
      "Choose a port from the list or type a device path such as /dev/ttyUSB0; a number n "
      "stands for /dev/ttyS(n-1).");
#endif
}

}  // namespace portlist
