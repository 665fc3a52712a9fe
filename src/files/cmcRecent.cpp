#include "files/cmcRecent.h"

namespace {
bool isSeparator(QChar c) { return c == QLatin1Char('\\') || c == QLatin1Char('/'); }

QString withoutTrailingSeparator(QString dir) {
  while (dir.size() > 1 && isSeparator(dir.back())) dir.chop(1);
  return dir;
}

int lastSeparator(const QString& path) {
  for (int i = static_cast<int>(path.size()) - 1; i >= 0; --i) {
    if (isSeparator(path.at(i))) return i;
  }
  return -1;
}
}  // namespace

void cmcRecent::removeSame(const QString& path) {
  for (int i = count() - 1; i >= 0; --i) {
    if (entries_.at(i).compare(path, Qt::CaseInsensitive) == 0) entries_.removeAt(i);
  }
}

void cmcRecent::trim() {
  while (count() > capacity_) entries_.removeLast();
}

// An empty path names no file: the stored list writes empty values past its end, and reading
// those back must not create a blank entry.
void cmcRecent::addFirst(const QString& path) {
  if (path.isEmpty()) return;
  removeSame(path);
  entries_.prepend(path);
  trim();
}

void cmcRecent::append(const QString& path) {
  if (path.isEmpty()) return;
  removeSame(path);
  entries_.append(path);
  trim();
}

QString cmcRecent::entry(int i, const QString& referenceDirectory) const {
  if (i < 0 || i >= count()) return {};
  const QString& full = entries_.at(i);
  const int sep = lastSeparator(full);
  if (sep < 0 || referenceDirectory.isEmpty()) return full;
  const QString dir = withoutTrailingSeparator(full.left(sep + 1));
  if (dir.compare(withoutTrailingSeparator(referenceDirectory), Qt::CaseInsensitive) == 0) {
    return full.mid(sep + 1);
  }
  return full;
}
