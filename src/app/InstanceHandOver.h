#pragma once

#include <QObject>
#include <QString>
#include <memory>

// A file given to a second start of the program is handed to the running instance over a local
// socket named after the instance lock; the running one opens it and comes to the front.
//
// The socket lives in the user's own runtime directory, which no other user can write to, and
// both ends check that the other end runs as the same user: a path is never sent to, nor taken
// from, another user's process. A message is one path and a line feed, bounded in size; a
// connection that sends nothing for a while is dropped.
//
// On Unix the socket is a plain Unix domain socket watched by the event loop, so the program
// does not load Qt Network (and the libraries it brings) at every start; on Windows it is a
// named pipe through QLocalServer.
class InstanceHandOver : public QObject {
  Q_OBJECT

 public:
  static constexpr int kMaxMessageBytes = 16 * 1024;
  static constexpr int kIdleMs = 5000;
  static constexpr int kMaxConnections = 8;

  // The socket for a lock file path: the same for every process of one user and lock. Empty
  // when the user has no private directory to put it in (`error` then says why).
  static QString socketName(const QString& lockFilePath, QString* error = nullptr);

  // The second instance: sends `path` and waits until the running instance has read it. False
  // with `error` set when nobody of this user listens or the path cannot be sent.
  static bool send(const QString& socketName, const QString& path, QString* error = nullptr,
                   int timeoutMs = 3000);

  // The running instance: listens on `socketName` (a socket left behind by a crashed run is
  // removed first). When that fails, listening() is false and errorString() says why.
  explicit InstanceHandOver(const QString& socketName, QObject* parent = nullptr);
  ~InstanceHandOver() override;
  bool listening() const;
  QString errorString() const { return error_; }
  // For tests: how long a connection may stay silent.
  void setIdleTimeout(int ms) { idleMs_ = ms; }
  int openConnections() const { return connections_; }

 signals:
  void fileReceived(const QString& path);

 private:
  struct Listener;  // the listening end, by platform
  class Connection;

  void accept();
  // Takes the path from a complete message (a line no longer than the bound).
  void received(const QByteArray& line);

  std::unique_ptr<Listener> listener_;
  QString error_;
  int idleMs_ = kIdleMs;
  int connections_ = 0;
};
