#include "clone/winserialdevice.h"

#include <windows.h>

#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <vector>

namespace {
constexpr DWORD kInputQueue = 32000;
constexpr DWORD kOutputQueue = 1024;
constexpr DWORD kWriteTimeoutBase = 3000;

HANDLE asHandle(void* h) { return static_cast<HANDLE>(h); }

QString systemMessage(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  QString s = n && text ? QString::fromWCharArray(text, static_cast<int>(n)).trimmed()
                        : QStringLiteral("system error %1").arg(code);
  if (text) LocalFree(text);
  return s;
}
}  // namespace

WinSerialDevice::~WinSerialDevice() { close(); }

QString WinSerialDevice::devicePath(const QString& name) {
  if (name.startsWith(QLatin1String("\\\\"))) return name;
  return QStringLiteral("\\\\.\\") + name;
}

QStringList WinSerialDevice::portNames() {
  // Every DOS device name the system has; the COM ports among them.
  std::vector<wchar_t> buffer(65536);
  DWORD n = 0;
  while ((n = QueryDosDeviceW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()))) == 0 &&
         GetLastError() == ERROR_INSUFFICIENT_BUFFER && buffer.size() < (1u << 24))
    buffer.resize(buffer.size() * 2);
  QStringList names;
  static const QRegularExpression com(QStringLiteral("^COM([1-9][0-9]*)$"),
                                      QRegularExpression::CaseInsensitiveOption);
  for (DWORD i = 0; i < n && buffer[i] != 0;) {
    const QString name = QString::fromWCharArray(buffer.data() + i);
    i += static_cast<DWORD>(name.size()) + 1;
    if (const auto m = com.match(name); m.hasMatch())
      names << QStringLiteral("COM") + m.captured(1);
  }
  names.removeDuplicates();
  std::sort(names.begin(), names.end(),
            [](const QString& a, const QString& b) { return a.mid(3).toInt() < b.mid(3).toInt(); });
  return names;
}

bool WinSerialDevice::open(const QString& name, const cmcLineSettings& s, QString* error) {
  close();
  const QString path = devicePath(name);
  HANDLE h = CreateFileW(reinterpret_cast<const wchar_t*>(path.utf16()),
                         GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    if (error) {
      if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)
        *error = QStringLiteral("Serial device %1 was not found.").arg(name);
      else if (code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION)
        *error = QStringLiteral(
                     "Serial device %1 is in use by another program (%2). Close the other program "
                     "and try again.")
                     .arg(name, systemMessage(code));
      else
        *error = QStringLiteral("Cannot open serial device %1: %2").arg(name, systemMessage(code));
    }
    return false;
  }
  handle_ = h;
  auto fail = [&](const QString& what) {
    const DWORD code = GetLastError();
    if (error)
      *error =
          QStringLiteral("Cannot %1 of serial device %2: %3").arg(what, name, systemMessage(code));
    close();
    return false;
  };
  if (!SetupComm(h, kInputQueue, kOutputQueue)) return fail(QStringLiteral("set the queues"));
  PurgeComm(h, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);

  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = MAXDWORD;  // reads return at once with what has arrived
  timeouts.ReadTotalTimeoutMultiplier = 0;
  timeouts.ReadTotalTimeoutConstant = 0;
  timeouts.WriteTotalTimeoutMultiplier = static_cast<DWORD>(100000 / std::max(1, s.baud));
  timeouts.WriteTotalTimeoutConstant = kWriteTimeoutBase;
  if (!SetCommTimeouts(h, &timeouts)) return fail(QStringLiteral("set the time-outs"));

  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(h, &dcb)) return fail(QStringLiteral("read the line settings"));
  dcb.BaudRate = static_cast<DWORD>(s.baud);
  const uint32_t f = s.lineFlags;
  dcb.fBinary = (f & cmcLineSettings::kBinary) ? 1 : 0;
  dcb.fParity = (f & cmcLineSettings::kParityCheck) ? 1 : 0;
  dcb.fOutxCtsFlow = (f & cmcLineSettings::kOutxCtsFlow) ? 1 : 0;
  dcb.fOutxDsrFlow = (f & cmcLineSettings::kOutxDsrFlow) ? 1 : 0;
  dcb.fDtrControl = (f & cmcLineSettings::kDtrControlMask) >> 4;
  dcb.fDsrSensitivity = (f & cmcLineSettings::kDsrSensitivity) ? 1 : 0;
  dcb.fTXContinueOnXoff = (f & cmcLineSettings::kTxContinueOnXoff) ? 1 : 0;
  dcb.fOutX = (f & cmcLineSettings::kOutX) ? 1 : 0;
  dcb.fInX = (f & cmcLineSettings::kInX) ? 1 : 0;
  dcb.fErrorChar = (f & cmcLineSettings::kErrorChar) ? 1 : 0;
  dcb.fNull = (f & cmcLineSettings::kNullStrip) ? 1 : 0;
  dcb.fRtsControl = (f & cmcLineSettings::kRtsControlMask) >> 12;
  dcb.fAbortOnError = (f & cmcLineSettings::kAbortOnError) ? 1 : 0;
  dcb.XonLim = static_cast<WORD>(s.xonLimit);
  dcb.XoffLim = static_cast<WORD>(s.xoffLimit);
  dcb.ByteSize = s.dataBits;
  dcb.Parity = s.parity == 'E'   ? EVENPARITY
               : s.parity == 'O' ? ODDPARITY
               : s.parity == 'M' ? MARKPARITY
               : s.parity == 'S' ? SPACEPARITY
                                 : NOPARITY;
  dcb.StopBits = s.stopBits == cmcLineSettings::kTwoStop          ? TWOSTOPBITS
                 : s.stopBits == cmcLineSettings::kOneAndHalfStop ? ONE5STOPBITS
                                                                  : ONESTOPBIT;
  dcb.XonChar = static_cast<char>(s.xonChar);
  dcb.XoffChar = static_cast<char>(s.xoffChar);
  dcb.ErrorChar = static_cast<char>(s.errorChar);
  dcb.EofChar = static_cast<char>(s.eofChar);
  dcb.EvtChar = static_cast<char>(s.eventChar);
  if (!SetCommState(h, &dcb)) return fail(QStringLiteral("set the line settings"));
  return true;
}

void WinSerialDevice::close() {
  if (isOpen()) CloseHandle(asHandle(handle_));
  handle_ = nullptr;
}

bool WinSerialDevice::isOpen() const {
  return handle_ != nullptr && asHandle(handle_) != INVALID_HANDLE_VALUE;
}

bool WinSerialDevice::queues(int* in, int* out) {
  if (!isOpen()) return false;
  DWORD errors = 0;
  COMSTAT status{};
  if (!ClearCommError(asHandle(handle_), &errors, &status)) return false;
  if (in) *in = static_cast<int>(status.cbInQue);
  if (out) *out = static_cast<int>(status.cbOutQue);
  return true;
}

int WinSerialDevice::bytesAvailable() {
  int in = 0;
  return queues(&in, nullptr) ? in : 0;
}

int WinSerialDevice::read(uint8_t* buffer, int maximum) {
  if (!isOpen() || maximum <= 0) return 0;
  const int available = std::min(bytesAvailable(), maximum);
  if (available <= 0) return 0;
  DWORD n = 0;
  if (!ReadFile(asHandle(handle_), buffer, static_cast<DWORD>(available), &n, nullptr)) return -1;
  return static_cast<int>(n);
}

int WinSerialDevice::write(const uint8_t* bytes, int count) {
  if (!isOpen()) return -1;
  DWORD n = 0;
  if (!WriteFile(asHandle(handle_), bytes, static_cast<DWORD>(count), &n, nullptr) && n == 0)
    return -1;
  return static_cast<int>(n);
}

int WinSerialDevice::outputQueue() {
  int out = 0;
  return queues(nullptr, &out) ? out : 0;
}

void WinSerialDevice::purge() {
  if (isOpen())
    PurgeComm(asHandle(handle_), PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
}
