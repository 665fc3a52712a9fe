// The settings reader over a settings file of any content: every value it hands the program is
// inside its range, and what it saves reads back the same.
#include <QDir>

#include "files/indEnviron.h"
#include "fuzz_support.h"

namespace {

struct Values {
  int comPort, comSpeedHigh, transType, fontSize, toolbar, printerFont, destination, modelType,
      splitter;
  WindowRect window;
  QString directory, portPath;
  QStringList recent;
  uint32_t etc;
  bool operator==(const Values&) const = default;
};

Values valuesOf(const indEnviron& env) {
  Values v{env.comPort(),
           env.comSpeedHigh(),
           env.transType(),
           env.fontSizePercentage(),
           env.toolbarVisible(),
           env.fontSizePrinter(),
           env.destinationCode(),
           env.modelType(),
           env.splitterV(),
           env.windowRect(),
           env.currentDirectory(),
           env.comPortPath(),
           {},
           env.etcData()};
  for (int i = 0; i < env.recent().count(); ++i) v.recent << env.recent().path(i);
  return v;
}

QByteArray describe(const Values& v) {
  return QStringLiteral(
             "port %1 high %2 trans %3 font %4 toolbar %5 printer %6 dest %7 model %8 split %9 "
             "window %10,%11,%12,%13 dir '%14' path '%15' recent '%16' etc %17")
      .arg(v.comPort)
      .arg(v.comSpeedHigh)
      .arg(v.transType)
      .arg(v.fontSize)
      .arg(v.toolbar)
      .arg(v.printerFont)
      .arg(v.destination)
      .arg(v.modelType)
      .arg(v.splitter)
      .arg(v.window.left)
      .arg(v.window.top)
      .arg(v.window.width)
      .arg(v.window.height)
      .arg(v.directory, v.portPath, v.recent.join('|'))
      .arg(v.etc)
      .toUtf8();
}

std::unique_ptr<indEnviron> openStore(const QString& dir) {
  return std::make_unique<indEnviron>(QStringLiteral("kestrin-fuzz-settings"),
                                      QString::fromLatin1(indEnviron::kKeyPath), QString(),
                                      QStringList(), ScreenSize{}, EnvironPlace{dir, dir});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::ensureApplication();
  static const QString dir = [] {
    const QString d = fuzz::scratchPath("settings");
    QDir().mkpath(d);
    return d;
  }();
  if (!fuzz::writeFile(dir + "/Kestrin.ini", data, size)) return 0;

  Values first;
  {
    auto env = openStore(dir);
    FUZZ_CHECK(env->isFirstInstance());
    first = valuesOf(*env);
    FUZZ_CHECK(first.comPort >= 0 && first.comPort <= 256, "ComPort %d",
               first.comPort);  // 0: none chosen yet
    FUZZ_CHECK(first.comSpeedHigh == 0 || first.comSpeedHigh == 1);
    FUZZ_CHECK(first.transType >= 0 && first.transType <= 4, "TransType %d", first.transType);
    FUZZ_CHECK(first.fontSize >= 25 && first.fontSize <= 1000, "font size %d", first.fontSize);
    FUZZ_CHECK(first.printerFont >= 8 && first.printerFont <= 12, "printer font %d",
               first.printerFont);
    FUZZ_CHECK(first.toolbar == 0 || first.toolbar == 1);
    FUZZ_CHECK(first.destination >= 0 && first.destination <= 16, "destination %d",
               first.destination);
    FUZZ_CHECK(first.recent.size() <= 10);
    // A file the INI parser rejects is not overwritten by the settings backend; the store
    // then reads defaults and cannot save (reported, not yet changed). Nothing to read back.
    if (!env->save()) return 0;
  }
  auto again = openStore(dir);
  const Values second = valuesOf(*again);
  // "No port yet" is stored as 0, which the store reads as port 1.
  if (first.comPort == 0) first.comPort = 1;
  FUZZ_CHECK(second == first, "saved settings read back differently:\n%s\n%s",
             describe(first).constData(), describe(second).constData());
  return 0;
}
