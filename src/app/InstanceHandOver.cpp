#include "app/InstanceHandOver.h"

#include <QCryptographicHash>
#include <QLocalServer>
#include <QLocalSocket>

QString InstanceHandOver::socketName(const QString& lockFilePath) {
  const QByteArray digest =
      QCryptographicHash::hash(lockFilePath.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
  return QStringLiteral("kestrin-") + QString::fromLatin1(digest);
}

bool InstanceHandOver::send(const QString& socketName, const QString& path, int timeoutMs) {
  QLocalSocket socket;
  socket.connectToServer(socketName);
  if (!socket.waitForConnected(timeoutMs)) return false;
  socket.write(path.toUtf8() + '\n');
  if (!socket.waitForBytesWritten(timeoutMs)) return false;
  // The running instance closes the connection once it has the whole path.
  socket.waitForDisconnected(timeoutMs);
  return true;
}

InstanceHandOver::InstanceHandOver(const QString& socketName, QObject* parent)
    : QObject(parent), server_(new QLocalServer(this)) {
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_->listen(socketName)) {
    // Only the holder of the instance lock gets here, so a socket of that name is stale.
    QLocalServer::removeServer(socketName);
    server_->listen(socketName);
  }
  connect(server_, &QLocalServer::newConnection, this, &InstanceHandOver::accept);
}

InstanceHandOver::~InstanceHandOver() = default;

bool InstanceHandOver::listening() const { return server_->isListening(); }

void InstanceHandOver::accept() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    auto take = [this, socket] {
      if (!socket->canReadLine()) return;
      const QString path = QString::fromUtf8(socket->readLine()).trimmed();
      socket->disconnectFromServer();
      if (!path.isEmpty()) emit fileReceived(path);
    };
    connect(socket, &QLocalSocket::readyRead, this, take);
    take();  // the line may have arrived with the connection
  }
}
