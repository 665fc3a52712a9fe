#pragma once

// What every harness shares: a Qt application object for the timers, the program's resource
// text, a scratch directory, and a check that stops the run with a message when a property fails.

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "base/fatal.h"
#include "gtex/cmcGTex.h"
#include "resources/embedded_text.h"

namespace fuzz {

// A property that must hold for every input: report it and stop, so libFuzzer keeps the input.
#define FUZZ_CHECK(condition, ...)                                                           \
  do {                                                                                       \
    if (!(condition)) {                                                                      \
      std::fprintf(stderr, "property failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
      std::fprintf(stderr, "" __VA_ARGS__);                                                  \
      std::fprintf(stderr, "\n");                                                            \
      std::abort();                                                                          \
    }                                                                                        \
  } while (0)

// Timers (the clone engine's task) need an application object.
inline void ensureApplication() {
  static int argc = 1;
  static char name[] = "kestrin-fuzz";
  static char* argv[] = {name, nullptr};
  static QCoreApplication* app =
      QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);
  (void)app;
}

// The program's main resource text, read once.
inline cmcGTex& mainText() {
  static cmcGTex* text = [] {
    auto* t = new cmcGTex;
    const EmbeddedText main = mainResourceText();
    t->setSource(main.lines, main.count);
    return t;
  }();
  return *text;
}

// A directory for the files of one run, in memory where the system offers it, removed at exit.
inline QString scratchPath(const char* name) {
  static QTemporaryDir dir(
      (QDir("/dev/shm").exists() ? QStringLiteral("/dev/shm") : QDir::tempPath()) +
      "/kestrin-fuzz-XXXXXX");
  return dir.filePath(QString::fromLatin1(name));
}

inline bool writeFile(const QString& path, const uint8_t* data, size_t size) {
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  return f.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) ==
         static_cast<qint64>(size);
}

inline QByteArray readFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A fault of the program's own data ends the program by design; where a harness feeds the
// program's data itself (resource text), such an end is an answer, not a finding.
struct ProgramDataFault {
  QString text;
};
inline void throwOnProgramDataFault() {
  setFatalPresenter([](const QString&, const QString& text) { throw ProgramDataFault{text}; });
}

}  // namespace fuzz
