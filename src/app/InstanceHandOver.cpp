#include "app/InstanceHandOver.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QStandardPaths>
#include <QTimer>

#if defined(Q_OS_UNIX)
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>
#endif

namespace {

#if defined(Q_OS_UNIX)
// Whether the process at the other end of a connected local socket runs as this user.
bool peerIsThisUser(const QLocalSocket& socket) {
  const qintptr fd = socket.socketDescriptor();
  if (fd < 0) return false;
#if defined(SO_PEERCRED)
  struct ucred cred {};
  socklen_t size = sizeof cred;
  if (::getsockopt(int(fd), SOL_SOCKET, SO_PEERCRED, &cred, &size) != 0) return false;
  return cred.uid == ::geteuid();
#else
  uid_t uid = 0;
  gid_t gid = 0;
  if (::getpeereid(int(fd), &uid, &gid) != 0) return false;
  return uid == ::geteuid();
#endif
}

// A directory only this user can make entries in.
bool isPrivateDirectory(const QString& dir, QString* error) {
  const QFileInfo info(dir);
  if (!info.isDir()) {
    if (error) *error = QStringLiteral("%1 is not a directory").arg(dir);
    return false;
  }
  if (info.ownerId() != uint(::geteuid())) {
    if (error) *error = QStringLiteral("%1 belongs to another user").arg(dir);
    return false;
  }
  const QFile::Permissions others = QFile::WriteGroup | QFile::WriteOther | QFile::ExeGroup |
                                    QFile::ExeOther | QFile::ReadGroup | QFile::ReadOther;
  if (info.permissions() & others) {
    if (error) *error = QStringLiteral("%1 is open to other users").arg(dir);
    return false;
  }
  return true;
}
#else
bool peerIsThisUser(const QLocalSocket&) { return true; }
#endif

}  // namespace

QString InstanceHandOver::socketName(const QString& lockFilePath, QString* error) {
  const QByteArray digest =
      QCryptographicHash::hash(lockFilePath.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
  const QString name = QStringLiteral("kestrin-") + QString::fromLatin1(digest);
#if defined(Q_OS_UNIX)
  // Not the shared temporary directory, where anyone can take a name first.
  const QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (dir.isEmpty()) {
    if (error) *error = QStringLiteral("there is no runtime directory for this user");
    return {};
  }
  if (!isPrivateDirectory(dir, error)) return {};
  return QDir(dir).filePath(name);
#else
  if (error) error->clear();
  return name;  // a named pipe, open to this user only (UserAccessOption)
#endif
}

bool InstanceHandOver::send(const QString& socketName, const QString& path, QString* error,
                            int timeoutMs) {
  auto fail = [error](const QString& why) {
    if (error) *error = why;
    return false;
  };
  if (socketName.isEmpty()) return fail(QStringLiteral("no hand-over socket"));
  const QByteArray message = path.toUtf8() + '\n';
  if (message.size() > kMaxMessageBytes || path.contains(QLatin1Char('\n')))
    return fail(QStringLiteral("the file name is too long to hand over"));
  QLocalSocket socket;
  socket.connectToServer(socketName);
  if (!socket.waitForConnected(timeoutMs))
    return fail(QStringLiteral("the running instance does not listen (%1)")
                    .arg(socket.errorString()));
  if (!peerIsThisUser(socket)) {
    socket.abort();
    return fail(QStringLiteral("the hand-over socket belongs to another user"));
  }
  socket.write(message);
  // Sent once nothing is left to write. A Windows pipe can take the whole line at once, and the
  // running instance closes the connection as soon as it has the line; either way
  // waitForBytesWritten() says false there although the line went out.
  if (socket.bytesToWrite() > 0 && !socket.waitForBytesWritten(timeoutMs) &&
      socket.bytesToWrite() > 0)
    return fail(QStringLiteral("the file name could not be sent (%1)").arg(socket.errorString()));
  // The running instance closes the connection once it has the whole path.
  if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(timeoutMs);
  return true;
}

InstanceHandOver::InstanceHandOver(const QString& socketName, QObject* parent)
    : QObject(parent), server_(new QLocalServer(this)) {
  if (socketName.isEmpty()) {
    error_ = QStringLiteral("no place for the hand-over socket");
    return;
  }
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_->listen(socketName)) {
    // Only the holder of the instance lock gets here, so a socket of that name is stale.
    QLocalServer::removeServer(socketName);
    if (!server_->listen(socketName)) {
      error_ = server_->errorString();
      return;
    }
  }
  connect(server_, &QLocalServer::newConnection, this, &InstanceHandOver::accept);
}

InstanceHandOver::~InstanceHandOver() = default;

bool InstanceHandOver::listening() const { return server_->isListening(); }

void InstanceHandOver::accept() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    if (connections_ >= kMaxConnections || !peerIsThisUser(*socket)) {
      socket->abort();
      socket->deleteLater();
      continue;
    }
    serve(socket);
  }
}

void InstanceHandOver::serve(QLocalSocket* socket) {
  ++connections_;
  socket->setReadBufferSize(kMaxMessageBytes + 1);
  connect(socket, &QObject::destroyed, this, [this] { --connections_; });
  auto* idle = new QTimer(socket);
  idle->setSingleShot(true);
  idle->setInterval(idleMs_);
  QPointer<QLocalSocket> guarded(socket);
  auto drop = [guarded] {
    if (!guarded) return;
    guarded->abort();
    guarded->deleteLater();
  };
  connect(idle, &QTimer::timeout, socket, drop);
  auto take = [this, guarded, idle, drop] {
    if (!guarded) return;
    if (!guarded->canReadLine()) {
      // A path is a few kilobytes at most: more without a line end is no hand-over.
      if (guarded->bytesAvailable() > kMaxMessageBytes) drop();
      else idle->start();
      return;
    }
    const QByteArray line = guarded->readLine(kMaxMessageBytes + 1);
    guarded->disconnectFromServer();
    idle->stop();
    if (!line.endsWith('\n')) return;
    const QString path = QString::fromUtf8(line).trimmed();
    if (!path.isEmpty()) emit fileReceived(path);
  };
  connect(socket, &QLocalSocket::readyRead, this, take);
  take();  // the line may have arrived with the connection
}
