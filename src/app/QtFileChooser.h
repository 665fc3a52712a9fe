#pragma once

#include <QStringList>

#include "base/filechooser.h"

class QWidget;

// The open and save dialogs of the platform (QFileDialog).
class QtFileChooser : public FileChooser {
 public:
  explicit QtFileChooser(QWidget* owner = nullptr) : owner_(owner) {}
  void setOwner(QWidget* owner) { owner_ = owner; }
  QString chooseOpenPath(const FileDialogRequest& request) override;
  QString chooseSavePath(const FileDialogRequest& request) override;

  // "Data files (*.qev)|*.qev|All files (*.*)|*.*" as the name filters a QFileDialog shows:
  // every description with its pattern list.
  static QStringList nameFilters(const QString& filter);

 private:
  QWidget* owner_;
};
