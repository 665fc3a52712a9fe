#include "app/QtFileChooser.h"

#include <QDir>
#include <QFileDialog>
#include <QStandardPaths>
#include <algorithm>

QStringList QtFileChooser::nameFilters(const QString& filter) {
  const QStringList parts = filter.split(QLatin1Char('|'));
  QStringList filters;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    // The description usually shows its patterns already; the dialog needs them in brackets.
    const QString description = parts[i];
    if (description.contains(QLatin1Char('(')))
      filters << description;
    else
      filters << QStringLiteral("%1 (%2)").arg(description, patterns);
  }
  if (filters.isEmpty()) filters << QStringLiteral("*");
  return filters;
}

namespace {
// Without a stored current directory the dialogs start where users keep their files, not in
// whatever folder the program was started from.
QString startDirectory(const FileDialogRequest& request) {
  if (!request.initialDirectory.isEmpty()) return request.initialDirectory;
  return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}
}  // namespace

QString QtFileChooser::chooseOpenPath(const FileDialogRequest& request) {
  QFileDialog dialog(owner_);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters(nameFilters(request.filter));
  dialog.setDefaultSuffix(request.defaultExtension);
  dialog.setDirectory(startDirectory(request));
  if (!request.title.isEmpty()) dialog.setWindowTitle(request.title);
  dialog.setOption(QFileDialog::ReadOnly, false);
  dialog.setSizeGripEnabled(true);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return QDir::toNativeSeparators(dialog.selectedFiles().first());
}

QString QtFileChooser::chooseSavePath(const FileDialogRequest& request) {
  QFileDialog dialog(owner_);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  const QStringList filters = nameFilters(request.filter);
  dialog.setNameFilters(filters);
  dialog.setDefaultSuffix(request.defaultExtension);
  dialog.setDirectory(startDirectory(request));
  if (!request.title.isEmpty()) dialog.setWindowTitle(request.title);
  dialog.selectFile(request.proposedName);
  // The dialog asks before an existing file is overwritten (Qt's default).
  dialog.setSizeGripEnabled(true);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  if (request.chosenFilter)
    *request.chosenFilter = std::max<int>(0, int(filters.indexOf(dialog.selectedNameFilter())));
  return QDir::toNativeSeparators(dialog.selectedFiles().first());
}
