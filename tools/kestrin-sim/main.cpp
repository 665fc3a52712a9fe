// kestrin-sim: a simulated Osprel transceiver on a pseudo-terminal, for demonstrations, tests and
// users without a radio. It prints the device to open as the first line of its output, answers
// identification, speed change, clone read and clone write as the transceiver does, and can
// inject faults.

#include <poll.h>
#include <unistd.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>

#include "clone/SimulatedTransceiver.h"
#include "clone/simmemory.h"
#include "gtex/cmcGTex.h"
#include "model/version.h"
#include "resources/embedded_text.h"
#include "ptyline.h"

namespace {
volatile std::sig_atomic_t gStop = 0;
void onSignal(int) { gStop = 1; }

int64_t nowNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

void fail(const QString& text) {
  std::fprintf(stderr, "kestrin-sim: %s\n", qPrintable(text));
  std::exit(2);
}

bool parseInt(const QString& text, int& value) {
  bool ok = false;
  value = text.trimmed().toInt(&ok, 0);
  return ok;
}

// "noise", "bad-checksum=40", ...
void applyFault(const QString& faultText, SimulatedTransceiver::Faults& f) {
  const QString name = faultText.section('=', 0, 0).trimmed();
  const bool hasValue = faultText.contains('=');
  int value = 1;
  if (hasValue && !parseInt(faultText.section('=', 1), value)) fail(QStringLiteral("fault %1: not a number").arg(faultText));
  if (name == "noise") f.noise = true;
  else if (name == "bad-checksum") f.badChecksumFrame = value;
  else if (name == "drop-frame") f.dropFrame = value;
  else if (name == "bad-count") f.badCount = true;
  else if (name == "silence-after") f.silenceAfterFrame = hasValue ? value : 0;
  else if (name == "wrong-model") f.wrongModel = true;
  else if (name == "sub-code-5") f.subCode5 = true;
  else if (name == "non-bcd") f.nonBcdModel = true;
  else if (name == "revision") f.revision = hasValue ? value : 2;
  else if (name == "other-destination") f.otherDestination = true;
  else if (name == "write-fail") f.writeFail = true;
  else if (name == "change-after-write") f.changeAfterWrite = hasValue ? value : 0;
  else if (name == "silent") f.silent = true;
  else fail(QStringLiteral("unknown fault %1").arg(name));
}

uint8_t parseOptions(const QString& text) {
  int number = 0;
  if (parseInt(text, number)) return static_cast<uint8_t>(number & 0x0F);
  uint8_t bits = 0;
  for (const QString& part : text.split(',', Qt::SkipEmptyParts)) {
    const QString p = part.trimmed();
    if (p == "rx-expansion") bits |= 0x01;
    else if (p == "high-power") bits |= 0x02;
    else if (p == "fm-narrow") bits |= 0x04;
    else if (p == "marine") bits |= 0x08;
    else fail(QStringLiteral("unknown option %1").arg(p));
  }
  return bits;
}

// Writes as much of `queue` as the line takes now; returns false when the line is gone.
bool writeSome(int fd, QByteArray& queue, int limit) {
  const int n = static_cast<int>(std::min<qsizetype>(queue.size(), limit));
  if (n <= 0) return true;
  const ssize_t w = ::write(fd, queue.constData(), static_cast<size_t>(n));
  if (w > 0) queue.remove(0, w);
  return w >= 0 || errno == EAGAIN || errno == EINTR;
}
}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("kestrin-sim"));
  {
    cmcGTex text;
    const EmbeddedText main = mainResourceText();
    text.setSource(main.lines, main.count);
    QCoreApplication::setApplicationVersion(QString::fromLatin1(programVersionTexts(text).version));
  }

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral(
      "A simulated Osprel transceiver on a pseudo-terminal. The first line of output is the device to\n"
      "use as the program's serial port."));
  parser.addHelpOption();
  parser.addVersionOption();
  const QCommandLineOption linkOpt("link", "Also reach the device through a symbolic link at <path>.", "path");
  const QCommandLineOption speedsOpt("speeds", "Line speeds it answers identification at (default 19200,9600,4800).", "list");
  const QCommandLineOption echoOpt("echo", "Return every byte the program sends, as an echo cable does.");
  const QCommandLineOption paceOpt("pace", "Send at the line's byte rate (baud / 10 bytes per second).");
  const QCommandLineOption memoryOpt("memory",
                                     "Load the memory from <file> (a .qev clone file, else 6304 raw bytes) and "
                                     "save every accepted clone write to it.",
                                     "file");
  const QCommandLineOption destinationOpt("destination", "Destination code 0..15 (default 0).", "code");
  const QCommandLineOption optionsOpt("options", "Option bits, a number or marine,fm-narrow,rx-expansion,high-power.", "list");
  const QCommandLineOption serialOpt("serial", "Serial number, 14 hexadecimal digits.", "hex");
  const QCommandLineOption commentOpt("comment", "Comment of the clone information, up to 16 characters.", "text");
  const QCommandLineOption faultOpt("fault",
                                    "Inject a fault (repeatable): noise, bad-checksum=K, drop-frame=K, bad-count, "
                                    "silence-after=K, wrong-model, sub-code-5, non-bcd, revision=N, "
                                    "other-destination, write-fail, change-after-write=ADDR (one byte of "
                                    "an accepted write changes afterwards; default address 0), silent.",
                                    "fault");
  const QCommandLineOption verboseOpt("verbose", "Tell on standard error what happens on the line.");
  parser.addOptions({linkOpt, speedsOpt, echoOpt, paceOpt, memoryOpt, destinationOpt, optionsOpt, serialOpt, commentOpt,
                     faultOpt, verboseOpt});
  parser.process(app);

  SimulatedTransceiver::Config config;
  if (parser.isSet(speedsOpt)) {
    config.identifySpeeds.clear();
    for (const QString& s : parser.value(speedsOpt).split(',', Qt::SkipEmptyParts)) {
      int baud = 0;
      if (!parseInt(s, baud) || baud <= 0) fail(QStringLiteral("--speeds: %1 is not a speed").arg(s));
      config.identifySpeeds.push_back(baud);
    }
  }
  // The echo is done here, as bytes come in, so that it never waits behind paced output.
  const bool echo = parser.isSet(echoOpt);
  const bool pace = parser.isSet(paceOpt);
  const bool verbose = parser.isSet(verboseOpt);
  if (parser.isSet(destinationOpt) && (!parseInt(parser.value(destinationOpt), config.destination) ||
                                       config.destination < 0 || config.destination > 15))
    fail(QStringLiteral("--destination must be 0..15"));
  if (parser.isSet(optionsOpt)) config.options = parseOptions(parser.value(optionsOpt));
  if (parser.isSet(serialOpt)) config.serial = parser.value(serialOpt).toLatin1();
  if (parser.isSet(commentOpt)) config.comment = parser.value(commentOpt).toLatin1();
  for (const QString& f : parser.values(faultOpt)) applyFault(f, config.faults);

  SimulatedTransceiver radio(config);
  const QString memoryPath = parser.value(memoryOpt);
  QString error;
  QString warning;
  if (!memoryPath.isEmpty() && QFileInfo::exists(memoryPath) &&
      !simmemory::load(memoryPath, radio.memory(), &error, &warning))
    fail(error);
  if (!warning.isEmpty()) std::fprintf(stderr, "kestrin-sim: warning: %s\n", qPrintable(warning));
  if (!memoryPath.isEmpty()) {
    radio.setOnWrite([&] {
      QString saveError;
      if (!simmemory::save(memoryPath, radio.memory(), radio.config().destination, &saveError))
        std::fprintf(stderr, "kestrin-sim: %s\n", qPrintable(saveError));
      else if (verbose)
        std::fprintf(stderr, "kestrin-sim: memory saved to %s\n", qPrintable(memoryPath));
    });
  }
  if (verbose) radio.setLog([](const QString& text) { std::fprintf(stderr, "kestrin-sim: %s\n", qPrintable(text)); });

  PtyLine line;
  if (!line.create(9600, &error)) fail(error);
  if (parser.isSet(linkOpt) && !line.link(parser.value(linkOpt), &error)) fail(error);
  std::printf("%s\n", qPrintable(line.devicePath()));
  std::fflush(stdout);

  struct sigaction sa {};
  sa.sa_handler = onSignal;
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  QByteArray echoQueue;  // goes out at once
  QByteArray sendQueue;  // the transceiver's own bytes, paced when asked
  int64_t nextByteAt = 0;
  int lastBaud = 0;
  const int fd = line.masterFd();
  while (!gStop) {
    const int64_t now = nowNs();
    int budget = static_cast<int>(sendQueue.size());
    int64_t byteNs = 0;
    if (pace && !sendQueue.isEmpty()) {
      const int baud = std::max(line.lineSpeed(), 50);
      byteNs = 10'000'000'000LL / baud;
      budget = now < nextByteAt ? 0 : static_cast<int>((now - nextByteAt) / byteNs) + 1;
    }
    if (!writeSome(fd, echoQueue, static_cast<int>(echoQueue.size()))) break;
    if (budget > 0) {
      const qsizetype before = sendQueue.size();
      if (!writeSome(fd, sendQueue, budget)) break;
      nextByteAt += (before - sendQueue.size()) * byteNs;
    }

    pollfd p{fd, POLLIN, 0};
    if (!echoQueue.isEmpty() || (!sendQueue.isEmpty() && !pace)) p.events |= POLLOUT;
    int timeoutMs = 100;
    if (pace && !sendQueue.isEmpty())
      timeoutMs = static_cast<int>(std::clamp<int64_t>((nextByteAt - nowNs() + 999'999) / 1'000'000, 0, 100));
    if (::poll(&p, 1, timeoutMs) < 0 && errno != EINTR) break;
    if (p.revents & POLLIN) {
      char buf[4096];
      const ssize_t n = ::read(fd, buf, sizeof buf);
      if (n > 0) {
        const int baud = line.lineSpeed();
        if (verbose && baud != lastBaud) std::fprintf(stderr, "kestrin-sim: line at %d baud\n", baud);
        lastBaud = baud;
        const QByteArray in(buf, n);
        if (echo) echoQueue += in;
        const QByteArray answer = radio.Receive(in, baud);
        // A line that was idle starts sending now; one that is busy goes on at its pace.
        if (sendQueue.isEmpty()) nextByteAt = std::max(nextByteAt, nowNs());
        sendQueue += answer;
      }
    } else if (p.revents & (POLLHUP | POLLERR)) {
      ::usleep(10000);
    }
  }
  return 0;
}
