// Byte-string file names, signals and forked children are POSIX matters.
#include <QtGlobal>
#ifdef Q_OS_UNIX

// kestrin-cli with file names that are not UTF-8, and with targets that are not regular files,
// run as a shell runs it: the arguments are handed over as bytes.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <set>
#include <vector>

namespace {

struct RawRun {
  int exitCode = -1;
  QByteArray out;
  QByteArray err;
};

QByteArray fileBytes(const QByteArray& path) {
  QByteArray bytes;
  const int fd = ::open(path.constData(), O_RDONLY);
  char buffer[4096];
  for (ssize_t n; fd >= 0 && (n = ::read(fd, buffer, sizeof buffer)) > 0;) bytes.append(buffer, n);
  if (fd >= 0) ::close(fd);
  return bytes;
}

// Runs `tool` (kestrin-cli unless named) in `dir` with `args` passed byte for byte.
RawRun run(const QByteArray& dir, std::vector<QByteArray> args,
           const QByteArray& tool = "kestrin-cli") {
  const QByteArray program = QFile::encodeName(qEnvironmentVariable("KESTRIN_BIN_DIR")) + "/" + tool;
  const QByteArray out = dir + "/.stdout", err = dir + "/.stderr";
  const pid_t pid = fork();
  if (pid == 0) {
    std::vector<char*> argv{const_cast<char*>(program.constData())};
    for (QByteArray& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (chdir(dir.constData()) != 0) _exit(126);
    dup2(::open("/dev/null", O_RDONLY), 0);
    dup2(::open(out.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
    dup2(::open(err.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
    setenv("LC_ALL", "C", 1);
    execv(program.constData(), argv.data());
    _exit(127);
  }
  int status = 0;
  RawRun r;
  if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status))
    r.exitCode = WEXITSTATUS(status);
  r.out = fileBytes(out);
  r.err = fileBytes(err);
  ::unlink(out.constData());
  ::unlink(err.constData());
  return r;
}

// The names in a directory, as bytes.
std::set<QByteArray> names(const QByteArray& dir) {
  std::set<QByteArray> found;
  if (DIR* d = opendir(dir.constData())) {
    while (dirent* e = readdir(d)) {
      const QByteArray name(e->d_name);
      if (name != "." && name != "..") found.insert(name);
    }
    closedir(d);
  }
  return found;
}

// A directory of its own that is emptied by bytes (a name that is not UTF-8 cannot be removed
// by its decoded name).
struct ScratchDir {
  QTemporaryDir dir;
  QByteArray path = QFile::encodeName(dir.path());
  ~ScratchDir() {
    for (const QByteArray& name : names(path)) {
      const QByteArray full = path + "/" + name;
      if (::unlink(full.constData()) != 0) ::rmdir(full.constData());
    }
  }
};

mode_t modeOf(const QByteArray& path) {
  struct stat info {};
  return ::stat(path.constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

}  // namespace

TEST(CliNames, PrintPdfReadsAndWritesNamesThatAreNotUtf8UnderTheirOwnBytes) {
  ScratchDir scratch;
  const QByteArray& dir = scratch.path;
  const QByteArray data = "\xE9t\xE9.qev";         // "été" in Latin-1
  const QByteArray pdf = "r\xE9sum\xE9.pdf";       // "résumé" in Latin-1
  ASSERT_EQ(run(dir, {"new", "--destination", "0", "-o", data}).exitCode, 0);
  const QByteArray saved = fileBytes(dir + "/" + data);

  RawRun r = run(dir, {"--print-pdf", pdf, "--sheet", "memory", data}, "kestrin");
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  EXPECT_TRUE(r.err.contains(pdf)) << r.err.toStdString();
  EXPECT_EQ(names(dir), (std::set<QByteArray>{data, pdf}));
  EXPECT_TRUE(fileBytes(dir + "/" + pdf).startsWith("%PDF-"));

  // The data file is known by its bytes too: printing onto it is refused and leaves it alone.
  r = run(dir, {"--print-pdf", data, "--sheet", "memory", data}, "kestrin");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(r.err.contains("is the data file")) << r.err.toStdString();
  EXPECT_EQ(fileBytes(dir + "/" + data), saved);
  EXPECT_EQ(names(dir), (std::set<QByteArray>{data, pdf}));

  // A FIFO known only by its bytes is refused at once, not waited on.
  const QByteArray fifo = "f\xE9.qev";
  ASSERT_EQ(::mkfifo((dir + "/" + fifo).constData(), 0600), 0);
  EXPECT_EQ(run(dir, {"--print-pdf", "out.pdf", fifo}, "kestrin").exitCode, 1);
  EXPECT_EQ(run(dir, {"verify", fifo}).exitCode, 1);
}

TEST(CliNames, NamesThatAreNotUtf8AreOpenedAndSavedUnderTheirOwnBytes) {
  ScratchDir scratch;
  const QByteArray& dir = scratch.path;
  const QByteArray latin1 = "\xE9t\xE9.qev";                   // "été" in Latin-1
  const QByteArray shiftJis = "\x83\x65\x83\x58\x83\x67.qev";  // "テスト" in Shift-JIS
  const QByteArray list = "list\xE9.csv";

  RawRun r = run(dir, {"new", "--destination", "4", "-o", latin1});
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  EXPECT_EQ(names(dir), std::set<QByteArray>{latin1});
  EXPECT_TRUE(fileBytes(dir + "/" + latin1).startsWith("32510004\r\n"));
  EXPECT_EQ(run(dir, {"verify", latin1}).exitCode, 0);

  r = run(dir, {"edit", "memory", "0", "Mch_Freq", "146.52", latin1, "-o", shiftJis});
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  // Saving over it again keeps its permissions; a link to it stays a link.
  ASSERT_EQ(::chmod((dir + "/" + shiftJis).constData(), 0640), 0);
  ASSERT_EQ(::symlink(shiftJis.constData(), (dir + "/link\xE9.qev").constData()), 0);
  r = run(dir, {"edit", "memory", "0", "Name", "HELLO", "link\xE9.qev", "--in-place"});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  EXPECT_EQ(modeOf(dir + "/" + shiftJis), 0640u);
  struct stat link {};
  EXPECT_TRUE(::lstat((dir + "/link\xE9.qev").constData(), &link) == 0 && S_ISLNK(link.st_mode));
  EXPECT_TRUE(run(dir, {"show", shiftJis}).out.contains("HELLO"));

  EXPECT_EQ(run(dir, {"export", shiftJis, "memory", "-o", list}).exitCode, 0);
  r = run(dir, {"import", latin1, "memory", list, "-o", "out.qev"});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  EXPECT_TRUE(r.out.contains("imported from")) << r.out.toStdString();
  EXPECT_EQ(names(dir), (std::set<QByteArray>{latin1, shiftJis, "link\xE9.qev", list, "out.qev"}));

  // A name that really holds the replacement character (valid UTF-8) is a name like any other.
  const QByteArray replacement = "\xEF\xBF\xBD.qev";
  EXPECT_EQ(run(dir, {"new", "--destination", "0", "-o", replacement}).exitCode, 0);
  EXPECT_EQ(run(dir, {"verify", replacement}).exitCode, 0);
  EXPECT_EQ(::unlink((dir + "/" + replacement).constData()), 0);

  // Where a name cannot be reached under its bytes the command fails and writes nothing: two
  // names that read alike, a directory that does not exist.
  const std::set<QByteArray> before = names(dir);
  r = run(dir, {"edit", "memory", "0", "Name", "X", "\xE9.qev", "-o", "\xE8.qev"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(r.err.contains("cannot open")) << r.err.toStdString();
  r = run(dir, {"new", "--destination", "0", "-o", "none/\xE9.qev"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(r.err.contains("cannot save none/")) << r.err.toStdString();
  EXPECT_EQ(names(dir), before);
}

// Targets that are not regular files are written as they are, never replaced.
TEST(CliNames, SpecialTargetsAreWrittenDirectlyAndDirectoriesRefused) {
  ScratchDir dir;
  const QByteArray fifo = dir.path + "/pipe.qev";
  ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
  // The read end is open before the run and the file fits the pipe's buffer: nothing waits.
  const int readEnd = ::open(fifo.constData(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(readEnd, 0);
  RawRun r = run(dir.path, {"new", "--destination", "0", "-o", "pipe.qev"});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  QByteArray received;
  char buffer[4096];
  for (ssize_t n; (n = ::read(readEnd, buffer, sizeof buffer)) > 0;) received.append(buffer, n);
  ::close(readEnd);
  EXPECT_TRUE(received.startsWith("32510004\r\n")) << received.left(80).toStdString();
  struct stat info {};
  EXPECT_TRUE(::lstat(fifo.constData(), &info) == 0 && S_ISFIFO(info.st_mode));

  ASSERT_EQ(::mkdir((dir.path + "/folder.qev").constData(), 0700), 0);
  r = run(dir.path, {"new", "--destination", "0", "-o", "folder.qev"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(r.err.contains("cannot save folder.qev")) << r.err.toStdString();
  EXPECT_EQ(names(dir.path), (std::set<QByteArray>{"folder.qev", "pipe.qev"}));
}

#endif
