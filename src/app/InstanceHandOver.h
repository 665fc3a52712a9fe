#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

// A file given to a second start of the program is handed to the running instance over a local
// socket named after the instance lock; the running one opens it and comes to the front.
class InstanceHandOver : public QObject {
  Q_OBJECT

 public:
  // The socket's name for a lock file path: the same for every process of one user and lock.
  static QString socketName(const QString& lockFilePath);

  // The second instance: sends `path` and waits until the running instance has read it. False
  // when nobody listens.
  static bool send(const QString& socketName, const QString& path, int timeoutMs = 3000);

  // The running instance: listens on `socketName` (a socket left behind by a crashed run is
  // removed first).
  explicit InstanceHandOver(const QString& socketName, QObject* parent = nullptr);
  ~InstanceHandOver() override;
  bool listening() const;

 signals:
  void fileReceived(const QString& path);

 private:
  void accept();
  QLocalServer* server_;
};
