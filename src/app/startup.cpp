#include "app/startup.h"

#include <QFileInfo>

#include "files/indEnviron.h"

StartupOptions parseCommandLine(const QStringList& arguments) {
  StartupOptions o;
  for (int i = 0; i < arguments.size(); ++i) {
    const QString& a = arguments[i];
    if (i == 0) {
      o.environArguments << a;  // the program path
      continue;
    }
    if (a.compare(QLatin1String("/setup"), Qt::CaseInsensitive) == 0 ||
        a.compare(QLatin1String("--setup"), Qt::CaseInsensitive) == 0) {
      o.forcedSetup = true;
      o.environArguments << QStringLiteral("/setup");
    } else if (a == QLatin1String("--version")) {
      o.version = true;
    } else if (a == QLatin1String("--simulator")) {
      o.simulator = true;
    } else if (a.startsWith(QLatin1Char('-'))) {
      // Options of the toolkit (-platform, -style, ...) are Qt's; nothing here.
    } else if (o.file.isEmpty()) {
      o.file = QFileInfo(a).absoluteFilePath();
    }
  }
  return o;
}

bool initialSetupFirst(int setupState) {
  return setupState == indEnviron::kSetupNeeded || setupState == indEnviron::kSetupForced;
}
