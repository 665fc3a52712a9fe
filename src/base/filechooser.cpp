#include "base/filechooser.h"

QString ScriptedFileChooser::chooseOpenPath(const FileDialogRequest& request) {
  return next(request, false);
}

QString ScriptedFileChooser::chooseSavePath(const FileDialogRequest& request) {
  return next(request, true);
}

QString ScriptedFileChooser::next(const FileDialogRequest& request, bool save) {
  QString path;
  if (!paths_.empty()) {
    path = paths_.front();
    paths_.pop_front();
  }
  if (save && request.chosenFilter) {
    *request.chosenFilter = filters_.empty() ? 0 : filters_.front();
    if (!filters_.empty()) filters_.pop_front();
  }
  log_.push_back(Entry{save, request, path});
  return path;
}
