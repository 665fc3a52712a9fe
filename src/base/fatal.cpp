#include "base/fatal.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>
#include <cstdlib>

namespace {
FatalPresenter& presenter() {
  static FatalPresenter p;
  return p;
}
}  // namespace

void setFatalPresenter(FatalPresenter p) { presenter() = std::move(p); }

QString programFileName() {
  if (QCoreApplication::instance()) {
    const QString path = QCoreApplication::applicationFilePath();
    if (!path.isEmpty()) return QFileInfo(path).fileName();
  }
  return QStringLiteral("Kestrin");
}

void fatalError(const QString& text) {
  const QString caption = programFileName();
  std::fprintf(stderr, "%s: %s\n", caption.toLocal8Bit().constData(), text.toLocal8Bit().constData());
  std::fflush(stderr);
  if (presenter()) presenter()(caption, text);
  std::abort();
}

void fatalError(const char* text) { fatalError(QString::fromLatin1(text)); }
