#include "files/inputfile.h"

#include <QFileInfo>

bool isRegularFile(const QString& path) {
  // No cached information: the file may have been replaced since it was last looked at.
  QFileInfo info(path);
  info.setCaching(false);
  return info.isFile();
}
