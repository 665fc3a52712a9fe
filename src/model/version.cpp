#include "version.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include "base/textcodec.h"
#include "gtex/cmcGTex.h"

#ifndef KESTRIN_BUILD_VERSION
#error "KESTRIN_BUILD_VERSION must be defined by the build"
#endif

namespace {

// One line: bytes up to a line feed, carriage returns dropped; the end of the file ends a line.
QByteArray readLine(QFile& file) {
  QByteArray line = file.readLine();
  if (line.endsWith('\n')) line.chop(1);
  line.replace('\r', QByteArray());
  return line;
}

}  // namespace

VersionTexts readVersionTexts(cmcGTex& text, const QString& directory) {
  VersionTexts texts{text.getLine("GI_Version_Default", 0), text.getLine("GI_Version_Default", 1)};
  const QByteArray name = text.getLine("GI_Version_File", 0);
  QFile file(QDir(directory).filePath(QFile::decodeName(name)));
  if (!file.open(QIODevice::ReadOnly)) return texts;
  readLine(file);  // line 0 is the file's own label
  const QByteArray version = readLine(file).trimmed();
  const QByteArray year = readLine(file).trimmed();
  if (!version.isEmpty()) texts.version = version;
  if (!year.isEmpty()) texts.year = year;
  return texts;
}

VersionTexts programVersionTexts(cmcGTex& text) {
  if (!QCoreApplication::instance()) {
    return {text.getLine("GI_Version_Default", 0), text.getLine("GI_Version_Default", 1)};
  }
  return readVersionTexts(text, QCoreApplication::applicationDirPath());
}

QByteArray buildVersion() { return QByteArrayLiteral(KESTRIN_BUILD_VERSION); }

QString versionLine(const QString& program, const VersionTexts& texts) {
  return program + ' ' + fromCp932(texts.version);
}
