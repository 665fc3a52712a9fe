#include "files/rawnames.h"

#include <QFile>

#ifdef Q_OS_WIN

// Windows hands the program its arguments and file names as UTF-16 (the arguments come from
// the wide command line), so every name survives decoding and none needs its bytes kept.
namespace rawnames {

void remember(int, char**) {}

bool isRaw(const QString&) { return false; }

QByteArray localBytes(const QString& argument) { return QFile::encodeName(argument); }

QString readPath(const QString& argument) { return argument; }

OutputPath::OutputPath(const QString& argument) : path_(argument) {}

OutputPath::~OutputPath() = default;

bool OutputPath::finish() { return !path_.isEmpty(); }

}  // namespace rawnames

#else

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <map>
#include <set>

namespace rawnames {
namespace {

// Decoded argument -> the different byte strings that decode to it.
std::map<QString, std::set<QByteArray>>& remembered() {
  static std::map<QString, std::set<QByteArray>> names;
  return names;
}

// The bytes of a remembered argument; empty when it is not one or when two names decode alike
// (which of them was meant cannot be told).
QByteArray bytesOf(const QString& argument) {
  const auto found = remembered().find(argument);
  if (found == remembered().end() || found->second.size() != 1) return {};
  return *found->second.begin();
}

QString fdPath(int fd) { return QStringLiteral("/proc/self/fd/%1").arg(fd); }

}  // namespace

void remember(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const QByteArray bytes(argv[i]);
    const QString decoded = QFile::decodeName(bytes);
    // A name that really holds the replacement character is kept too: it reads like a name
    // whose bytes could not be decoded, and only its bytes tell which one is meant.
    if (QFile::encodeName(decoded) != bytes || decoded.contains(QChar::ReplacementCharacter))
      remembered()[decoded].insert(bytes);
  }
}

bool isRaw(const QString& argument) { return remembered().count(argument) > 0; }

QByteArray localBytes(const QString& argument) {
  return isRaw(argument) ? bytesOf(argument) : QFile::encodeName(argument);
}

QString readPath(const QString& argument) {
  if (!isRaw(argument)) return argument;
  const QByteArray bytes = bytesOf(argument);
  const int fd = bytes.isEmpty() ? -1 : ::open(bytes.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  // Not blocking on a FIFO: the reader refuses what is not a regular file. The handle stays open for the rest of the run; the path opens the same file again.
  return fd < 0 ? QString() : fdPath(fd);
}

OutputPath::OutputPath(const QString& argument) {
  if (!isRaw(argument)) {
    path_ = argument;
    return;
  }
  QByteArray bytes = bytesOf(argument);
  if (bytes.isEmpty()) return;
  struct stat info {};
  if (::stat(bytes.constData(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) return;
    if (!S_ISREG(info.st_mode)) {
      fileFd_ = ::open(bytes.constData(), O_WRONLY | O_CLOEXEC);
      if (fileFd_ >= 0) path_ = fdPath(fileFd_);
      return;
    }
  }
  struct stat link {};
  if (::lstat(bytes.constData(), &link) == 0 && S_ISLNK(link.st_mode)) {
    char resolved[PATH_MAX];
    if (!::realpath(bytes.constData(), resolved)) return;  // a dangling link: no file to name
    bytes = resolved;
  }
  const qsizetype slash = bytes.lastIndexOf('/');
  const QByteArray dir = slash < 0 ? QByteArray(".") : slash == 0 ? "/" : bytes.left(slash);
  final_ = bytes.mid(slash + 1);
  dirFd_ = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd_ < 0 || final_.isEmpty()) return;
  staged_ = ".kestrin-save-" + QByteArray::number(::getpid()) + ".tmp";
  path_ = fdPath(dirFd_) + '/' + QString::fromLatin1(staged_);
}

OutputPath::~OutputPath() {
  if (dirFd_ >= 0) {
    if (!staged_.isEmpty()) ::unlinkat(dirFd_, staged_.constData(), 0);
    ::close(dirFd_);
  }
  if (fileFd_ >= 0) ::close(fileFd_);
}

bool OutputPath::finish() {
  if (dirFd_ < 0) return !path_.isEmpty();
  struct stat old {};
  if (::fstatat(dirFd_, final_.constData(), &old, 0) == 0 && S_ISREG(old.st_mode))
    ::fchmodat(dirFd_, staged_.constData(), old.st_mode & 07777, 0);
  if (::renameat(dirFd_, staged_.constData(), dirFd_, final_.constData()) != 0) return false;
  staged_.clear();
  return true;
}

}  // namespace rawnames

#endif
