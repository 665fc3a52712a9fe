#pragma once

#include <QString>
#include <QStringList>

// The recent-file list, most recent first. Paths that differ only in letter case are the same
// file; an entry keeps the letter case of its latest addition.
class cmcRecent {
 public:
  explicit cmcRecent(int capacity = 10) : capacity_(capacity) {}

  // After Open and Save: the path moves to (or enters at) the top.
  void addFirst(const QString& path);
  // While loading the stored list: the path goes to the end.
  void append(const QString& path);
  int count() const { return static_cast<int>(entries_.size()); }
  int capacity() const { return capacity_; }
  // The entry, shortened to its file name when it lies in `referenceDirectory`; empty when
  // `i` is out of range.
  QString entry(int i, const QString& referenceDirectory = {}) const;
  // The stored path, never shortened.
  QString path(int i) const { return i >= 0 && i < count() ? entries_.at(i) : QString(); }
  void clear() { entries_.clear(); }
  // Drops the entry at `i` (a file that no longer exists); nothing when out of range.
  void remove(int i) {
    if (i >= 0 && i < count()) entries_.removeAt(i);
  }

 private:
  void removeSame(const QString& path);
  void trim();

  int capacity_;
  QStringList entries_;
};
