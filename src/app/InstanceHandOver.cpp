#include "app/InstanceHandOver.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTimer>

#if defined(Q_OS_UNIX)
#include <QDeadlineTimer>
#include <QFile>
#include <QSocketNotifier>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/un.h>
#include <unistd.h>
#else
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#endif

namespace {

// The message that hands `path` over on `socketName`: the path and a line feed. False with
// `error` set when there is no socket or the path cannot be one bounded line.
bool handOverMessage(const QString& socketName, const QString& path, QByteArray* message,
                     QString* error) {
  auto fail = [error](const QString& why) {
    if (error) *error = why;
    return false;
  };
  if (socketName.isEmpty()) return fail(QStringLiteral("no hand-over socket"));
  *message = path.toUtf8() + '\n';
  if (message->size() > InstanceHandOver::kMaxMessageBytes || path.contains(QLatin1Char('\n')))
    return fail(QStringLiteral("the file name is too long to hand over"));
  return true;
}

}  // namespace

#if defined(Q_OS_UNIX)

namespace {

// Whether the process at the other end of a connected local socket runs as this user.
bool peerIsThisUser(int fd) {
  if (fd < 0) return false;
#if defined(SO_PEERCRED)
  struct ucred cred {};
  socklen_t size = sizeof cred;
  if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &size) != 0) return false;
  return cred.uid == ::geteuid();
#else
  uid_t uid = 0;
  gid_t gid = 0;
  if (::getpeereid(fd, &uid, &gid) != 0) return false;
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

QString systemError(int code) { return QString::fromLocal8Bit(std::strerror(code)); }

// The address of the socket file; false when the path is too long for one.
bool socketAddress(const QByteArray& path, sockaddr_un* address) {
  std::memset(address, 0, sizeof *address);
  if (path.isEmpty() || path.size() >= qsizetype(sizeof address->sun_path)) return false;
  address->sun_family = AF_UNIX;
  std::memcpy(address->sun_path, path.constData(), size_t(path.size()));
  return true;
}

// A stream socket that blocks nobody and is not inherited by programs this one starts.
int openSocket() {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  return fd;
}

// Waits until `fd` is ready for `events` or the deadline passes; false on a timeout or an error.
bool waitFor(int fd, short events, const QDeadlineTimer& deadline) {
  for (;;) {
    pollfd p{fd, events, 0};
    const int n = ::poll(&p, 1, int(qMax<qint64>(0, deadline.remainingTime())));
    if (n > 0) return true;
    if (n == 0) {
      errno = ETIMEDOUT;
      return false;
    }
    if (errno != EINTR) return false;
  }
}

}  // namespace

// The listening socket and its file, which goes with it.
struct InstanceHandOver::Listener {
  int fd = -1;
  QByteArray path;
  QSocketNotifier* notifier = nullptr;

  ~Listener() {
    delete notifier;
    ::close(fd);
    ::unlink(path.constData());
  }
};

// One connection of a later start: it sends one line, then the running instance closes it.
class InstanceHandOver::Connection : public QObject {
 public:
  Connection(int fd, InstanceHandOver* owner)
      : QObject(owner), owner_(owner), fd_(fd), notifier_(fd, QSocketNotifier::Read) {
    ++owner_->connections_;
    idle_.setSingleShot(true);
    idle_.setInterval(owner_->idleMs_);
    connect(&idle_, &QTimer::timeout, this, &Connection::drop);
    connect(&notifier_, &QSocketNotifier::activated, this, &Connection::readable);
  }
  ~Connection() override {
    notifier_.setEnabled(false);
    ::close(fd_);
    --owner_->connections_;
  }

  // The line may have arrived with the connection.
  void start() { readable(); }

 private:
  void drop() {
    notifier_.setEnabled(false);
    idle_.stop();
    deleteLater();
  }

  void readable() {
    char chunk[4096];
    for (;;) {
      const ssize_t n = ::read(fd_, chunk, sizeof chunk);
      if (n > 0) {
        buffer_.append(chunk, n);
        const qsizetype end = buffer_.indexOf('\n');
        if (end >= 0) {
          const QByteArray line = buffer_.left(end + 1);
          drop();
          if (line.size() <= kMaxMessageBytes) owner_->received(line);
          return;
        }
        // A path is a few kilobytes at most: more without a line end is no hand-over.
        if (buffer_.size() > kMaxMessageBytes) return drop();
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        idle_.start();
        return;
      }
      return drop();  // closed (or failed) before a whole line came
    }
  }

  InstanceHandOver* owner_;
  int fd_;
  QSocketNotifier notifier_;
  QTimer idle_;
  QByteArray buffer_;
};

#else  // Windows: a named pipe, open to this user only

struct InstanceHandOver::Listener {
  QLocalServer* server = nullptr;
};

#endif

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

#if defined(Q_OS_UNIX)

bool InstanceHandOver::send(const QString& socketName, const QString& path, QString* error,
                            int timeoutMs) {
  auto fail = [error](const QString& why) {
    if (error) *error = why;
    return false;
  };
  QByteArray message;
  if (!handOverMessage(socketName, path, &message, error)) return false;
  sockaddr_un address;
  if (!socketAddress(QFile::encodeName(socketName), &address))
    return fail(QStringLiteral("the running instance does not listen (the socket name is too long)"));
  const QDeadlineTimer deadline(timeoutMs);
  const int fd = openSocket();
  if (fd < 0) return fail(QStringLiteral("no socket to hand over with (%1)").arg(systemError(errno)));
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    int code = errno;
    if (code == EINPROGRESS || code == EAGAIN) {
      // The running instance has not taken the waiting connections yet.
      socklen_t size = sizeof code;
      if (!waitFor(fd, POLLOUT, deadline)) code = errno;
      else if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &code, &size) != 0) code = errno;
    }
    if (code != 0)
      return fail(QStringLiteral("the running instance does not listen (%1)").arg(systemError(code)));
  }
  if (!peerIsThisUser(fd)) return fail(QStringLiteral("the hand-over socket belongs to another user"));
  int flags = 0;
#if defined(MSG_NOSIGNAL)
  flags = MSG_NOSIGNAL;  // a closed connection is an error here, not the end of the program
#endif
  for (qsizetype sent = 0; sent < message.size();) {
    const ssize_t n = ::send(fd, message.constData() + sent, size_t(message.size() - sent), flags);
    if (n > 0) {
      sent += n;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && waitFor(fd, POLLOUT, deadline))
      continue;
    return fail(QStringLiteral("the file name could not be sent (%1)").arg(systemError(errno)));
  }
  // The running instance closes the connection once it has the whole path.
  char ignored[64];
  while (waitFor(fd, POLLIN, deadline)) {
    const ssize_t n = ::read(fd, ignored, sizeof ignored);
    if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)) break;
  }
  return true;
}

InstanceHandOver::InstanceHandOver(const QString& socketName, QObject* parent) : QObject(parent) {
  if (socketName.isEmpty()) {
    error_ = QStringLiteral("no place for the hand-over socket");
    return;
  }
  const QByteArray path = QFile::encodeName(socketName);
  sockaddr_un address;
  if (!socketAddress(path, &address)) {
    error_ = QStringLiteral("the socket name %1 is too long").arg(socketName);
    return;
  }
  const int fd = openSocket();
  if (fd < 0) {
    error_ = systemError(errno);
    return;
  }
  const auto bindTo = [&] {
    return ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  };
  bool bound = bindTo();
  if (!bound && errno == EADDRINUSE) {
    // Only the holder of the instance lock gets here, so a socket of that name is stale.
    ::unlink(path.constData());
    bound = bindTo();
  }
  // Only this user may connect (the folder is private as well).
  if (!bound || ::chmod(path.constData(), S_IRUSR | S_IWUSR) != 0 || ::listen(fd, 50) != 0) {
    error_ = systemError(errno);
    ::close(fd);
    if (bound) ::unlink(path.constData());
    return;
  }
  listener_ = std::make_unique<Listener>();
  listener_->fd = fd;
  listener_->path = path;
  listener_->notifier = new QSocketNotifier(fd, QSocketNotifier::Read);
  connect(listener_->notifier, &QSocketNotifier::activated, this, &InstanceHandOver::accept);
}

InstanceHandOver::~InstanceHandOver() {
  // The connections count themselves out of this object as they go, so they go first.
  qDeleteAll(findChildren<Connection*>(Qt::FindDirectChildrenOnly));
  listener_.reset();
}

bool InstanceHandOver::listening() const { return listener_ != nullptr; }

void InstanceHandOver::accept() {
  for (;;) {
    const int fd = ::accept(listener_->fd, nullptr, nullptr);
    if (fd < 0) {
      if (errno == EINTR) continue;
      return;  // none waiting
    }
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    if (connections_ >= kMaxConnections || !peerIsThisUser(fd)) {
      ::close(fd);
      continue;
    }
    (new Connection(fd, this))->start();
  }
}

#else  // Windows

namespace {
bool peerIsThisUser(const QLocalSocket&) { return true; }
}  // namespace

bool InstanceHandOver::send(const QString& socketName, const QString& path, QString* error,
                            int timeoutMs) {
  auto fail = [error](const QString& why) {
    if (error) *error = why;
    return false;
  };
  QByteArray message;
  if (!handOverMessage(socketName, path, &message, error)) return false;
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
    : QObject(parent), listener_(std::make_unique<Listener>()) {
  QLocalServer* server = new QLocalServer(this);
  listener_->server = server;
  if (socketName.isEmpty()) {
    error_ = QStringLiteral("no place for the hand-over socket");
    return;
  }
  server->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server->listen(socketName)) {
    // Only the holder of the instance lock gets here, so a socket of that name is stale.
    QLocalServer::removeServer(socketName);
    if (!server->listen(socketName)) {
      error_ = server->errorString();
      return;
    }
  }
  connect(server, &QLocalServer::newConnection, this, &InstanceHandOver::accept);
}

InstanceHandOver::~InstanceHandOver() = default;

bool InstanceHandOver::listening() const { return listener_->server->isListening(); }

void InstanceHandOver::accept() {
  while (QLocalSocket* socket = listener_->server->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    if (connections_ >= kMaxConnections || !peerIsThisUser(*socket)) {
      socket->abort();
      socket->deleteLater();
      continue;
    }
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
      received(line);
    };
    connect(socket, &QLocalSocket::readyRead, this, take);
    take();  // the line may have arrived with the connection
  }
}

#endif

void InstanceHandOver::received(const QByteArray& line) {
  if (!line.endsWith('\n')) return;
  const QString path = QString::fromUtf8(line).trimmed();
  if (!path.isEmpty()) emit fileReceived(path);
}
