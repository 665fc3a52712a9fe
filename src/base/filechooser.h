#pragma once

#include <QString>
#include <deque>
#include <vector>

// What a file dialog is opened with; the platform's dialog shows it as it likes.
struct FileDialogRequest {
  QString defaultExtension;  // "qev"
  QString filter;            // "Data files (*.qev)|*.qev|All files (*.*)|*.*"
  QString proposedName;      // save only: the file name offered
  QString initialDirectory;  // empty: the user's documents folder
  QString title;             // empty: the platform's own ("Open", "Save As")
  // Save dialogs: when set, receives the index of the file type the user chose in `filter`.
  int* chosenFilter = nullptr;
};

// The platform's open and save dialogs. An empty path means the user cancelled. The save dialog
// asks before overwriting; the open dialog only returns files that exist.
class FileChooser {
 public:
  virtual ~FileChooser() = default;
  virtual QString chooseOpenPath(const FileDialogRequest& request) = 0;
  virtual QString chooseSavePath(const FileDialogRequest& request) = 0;
};

// For tests: answers from a queue of paths (an empty queue cancels) and logs every request.
class ScriptedFileChooser : public FileChooser {
 public:
  QString chooseOpenPath(const FileDialogRequest& request) override;
  QString chooseSavePath(const FileDialogRequest& request) override;

  void setNextFileName(const QString& path) { paths_.push_back(path); }
  // The file type the next save dialog answers with (the first when none is queued).
  void setNextFilter(int index) { filters_.push_back(index); }
  struct Entry {
    bool save = false;
    FileDialogRequest request;
    QString answer;
  };
  const std::vector<Entry>& log() const { return log_; }
  void clearLog() { log_.clear(); }

 private:
  QString next(const FileDialogRequest& request, bool save);

  std::deque<QString> paths_;
  std::deque<int> filters_;
  std::vector<Entry> log_;
};
