// The Debian package as a user and the distribution's tools see it. The package is packed once
// from this build (cpack installs what was built; nothing is rebuilt), then unpacked and checked.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QTemporaryDir>

#include "model/version.h"

namespace {

struct Outcome {
  int exitCode = -1;
  QString out;
  QString err;
};

Outcome run(const QString& program, const QStringList& args, const QString& directory = {}) {
  QProcess p;
  if (!directory.isEmpty()) p.setWorkingDirectory(directory);
  p.setStandardInputFile(QProcess::nullDevice());
  p.start(program, args);
  Outcome r;
  if (!p.waitForStarted(10000)) {
    r.err = program + ": not found";
    return r;
  }
  if (!p.waitForFinished(300000) || p.exitStatus() != QProcess::NormalExit) return r;
  r.exitCode = p.exitCode();
  r.out = QString::fromUtf8(p.readAllStandardOutput());
  r.err = QString::fromUtf8(p.readAllStandardError());
  return r;
}

QString binDir() { return qEnvironmentVariable("KESTRIN_BIN_DIR"); }
// Whether this build was configured with the desktop program: the package must then hold it,
// and must not otherwise.
constexpr bool withGui() { return KESTRIN_GUI_BUILT != 0; }

class Package : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    work = new QTemporaryDir;
    const QString build = QFileInfo(binDir()).absolutePath();
    packing = new Outcome(
        run("cpack", {"-G", "DEB", "-B", work->path(), "--config", build + "/CPackConfig.cmake"}));
    const QString arch = run("dpkg", {"--print-architecture"}).out.trimmed();
    deb = new QString(work->filePath(
        QString("kestrin_%1_%2.deb").arg(QString::fromLatin1(buildVersion()), arch)));
    root = new QString(work->filePath("root"));
    run("dpkg-deb", {"-x", *deb, *root});
  }
  static void TearDownTestSuite() {
    delete work;
    delete packing;
    delete deb;
    delete root;
  }
  void SetUp() override {
    ASSERT_EQ(packing->exitCode, 0) << packing->out.toStdString() << packing->err.toStdString();
    ASSERT_TRUE(QFileInfo::exists(*deb)) << deb->toStdString();
  }
  static QString installed(const QString& path) { return *root + "/usr/" + path; }

  static QTemporaryDir* work;
  static Outcome* packing;
  static QString* deb;
  static QString* root;
};
QTemporaryDir* Package::work = nullptr;
Outcome* Package::packing = nullptr;
QString* Package::deb = nullptr;
QString* Package::root = nullptr;

TEST_F(Package, HoldsTheProgramsAndEverythingTheDesktopNeeds) {
  const Outcome list = run("dpkg-deb", {"-c", *deb});
  ASSERT_EQ(list.exitCode, 0);
  QStringList files;
  for (const QString& line : list.out.split('\n', Qt::SkipEmptyParts)) {
    const QString path = line.section(' ', -1);
    if (!path.endsWith('/')) files << path.mid(1);  // "./usr/..." -> "/usr/..."
  }
  QStringList expected = {
      "/usr/bin/kestrin-cli",
      "/usr/bin/kestrin-sim",
      "/usr/share/mime/packages/kestrin.xml",
      "/usr/share/icons/hicolor/scalable/apps/kestrin.svg",
      "/usr/share/man/man1/kestrin-cli.1.gz",
      "/usr/share/man/man1/kestrin-sim.1.gz",
      "/usr/share/bash-completion/completions/kestrin-cli",
      "/usr/share/doc/kestrin/copyright",
      "/usr/share/doc/kestrin/changelog.gz",
      "/usr/share/doc/kestrin/README.serial",
      "/usr/share/doc/kestrin/60-kestrin-serial.rules.example",
      "/usr/share/kestrin/help/index.htm",
  };
  // The desktop program, its entry, store metadata, manual page and the icons rendered for its
  // launcher come together or not at all.
  QStringList desktopProgram = {
      "/usr/bin/kestrin", "/usr/share/applications/com.zelk.kestrin.desktop",
      "/usr/share/metainfo/com.zelk.kestrin.metainfo.xml", "/usr/share/man/man1/kestrin.1.gz"};
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
    desktopProgram << QString("/usr/share/icons/hicolor/%1x%1/apps/kestrin.png").arg(size);
  if (withGui()) expected << desktopProgram;
  for (const QString& path : expected) EXPECT_TRUE(files.contains(path)) << path.toStdString();
  if (!withGui()) {
    for (const QString& path : desktopProgram)
      EXPECT_FALSE(files.contains(path)) << path.toStdString();
  }

  // Only the programs go to bin; no test, benchmark or build helper slips in.
  for (const QString& path : files) {
    EXPECT_TRUE(path.startsWith("/usr/share/") || path == "/usr/bin/kestrin-cli" ||
                path == "/usr/bin/kestrin-sim" || path == "/usr/bin/kestrin")
        << path.toStdString();
  }
  // Installed programs are stripped and run from their new place.
  EXPECT_FALSE(run("file", {installed("bin/kestrin-cli")}).out.contains("not stripped"));
  EXPECT_EQ(run(installed("bin/kestrin-cli"), {"--version"}).out,
            "kestrin-cli " + QString::fromLatin1(buildVersion()) + "\n");
}

TEST_F(Package, ControlFieldsAndLibraryDependencies) {
  auto field = [](const char* name) { return run("dpkg-deb", {"-f", *deb, name}).out.trimmed(); };
  EXPECT_EQ(field("Package"), "kestrin");
  EXPECT_EQ(field("Version"), QString::fromLatin1(buildVersion()));
  EXPECT_EQ(field("Architecture"), run("dpkg", {"--print-architecture"}).out.trimmed());
  EXPECT_EQ(field("Section"), "hamradio");
  EXPECT_TRUE(field("Maintainer").contains('@'));
  EXPECT_TRUE(field("Description").startsWith("programming software of the Osprel"));
  // Computed from the programs, not written by hand.
  const QString depends = field("Depends");
  for (const char* library : {"libqt6core6", "libqt6serialport6", "libicu", "libstdc++6"})
    EXPECT_TRUE(depends.contains(library)) << library << " in " << depends.toStdString();
  if (withGui()) {
    EXPECT_TRUE(depends.contains("libqt6widgets6")) << depends.toStdString();
  }
}

TEST_F(Package, LintianReportsNoErrors) {
  const Outcome lintian = run("lintian", {"--fail-on", "error", *deb});
  EXPECT_EQ(lintian.exitCode, 0) << lintian.out.toStdString() << lintian.err.toStdString();
  EXPECT_FALSE(lintian.out.contains("E: ")) << lintian.out.toStdString();
}

TEST_F(Package, DesktopEntryAndMetadataValidate) {
  if (!withGui()) GTEST_SKIP() << "no desktop program in this build";
  const Outcome desktop =
      run("desktop-file-validate", {installed("share/applications/com.zelk.kestrin.desktop")});
  EXPECT_EQ(desktop.exitCode, 0) << desktop.out.toStdString() << desktop.err.toStdString();
  EXPECT_FALSE(desktop.out.contains("error:")) << desktop.out.toStdString();

  const Outcome metainfo =
      run("appstreamcli", {"validate", "--no-net", "--pedantic",
                           installed("share/metainfo/com.zelk.kestrin.metainfo.xml")});
  EXPECT_EQ(metainfo.exitCode, 0) << metainfo.out.toStdString() << metainfo.err.toStdString();
}

TEST_F(Package, ManualPagesRenderWithoutWarnings) {
  for (const char* page : {"kestrin", "kestrin-cli", "kestrin-sim"}) {
    if (!withGui() && QByteArray(page) == "kestrin") continue;
    QProcess man;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LC_ALL", "C.UTF-8");
    env.insert("MANWIDTH", "80");
    man.setProcessEnvironment(env);
    man.start("man", {"--warnings", "-E", "UTF-8", "-l", "-Tutf8", "-Z",
                      installed(QString("share/man/man1/%1.1.gz").arg(page))});
    ASSERT_TRUE(man.waitForFinished(60000));
    EXPECT_EQ(man.exitCode(), 0) << page;
    EXPECT_EQ(man.readAllStandardError(), QByteArray()) << page;
    EXPECT_FALSE(man.readAllStandardOutput().isEmpty()) << page;
  }
}

// The desktop knows a clone data file by its name and, renamed, by its model line, whichever line
// end it was written with.
TEST_F(Package, CloneDataFilesAreRecognisedByNameAndByContent) {
  const QString share = installed("share");
  ASSERT_EQ(run("update-mime-database", {share + "/mime"}).exitCode, 0);
  qputenv("XDG_DATA_DIRS", share.toUtf8() + ":/usr/share");
  const QString dir = work->filePath("mime");
  QDir().mkpath(dir);
  ASSERT_EQ(
      run(installed("bin/kestrin-cli"), {"new", "--destination", "0", "-o", "a.qev"}, dir).exitCode,
      0);
  QFile crlf(dir + "/a.qev");
  ASSERT_TRUE(crlf.open(QIODevice::ReadOnly));
  const QByteArray contents = crlf.readAll();
  ASSERT_TRUE(contents.startsWith("32510004\r\n#"));
  auto write = [&](const QString& name, const QByteArray& bytes) {
    QFile f(dir + "/" + name);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  };
  write("renamed.dat", contents);
  write("unix.dat", QByteArray(contents).replace("\r\n", "\n"));
  write("number.dat", "32510004\n");

  QMimeDatabase mime;
  EXPECT_EQ(mime.mimeTypeForFile(dir + "/a.qev").name(), "application/x-kestrin-qev");
  EXPECT_EQ(mime.mimeTypeForFile(dir + "/renamed.dat").name(), "application/x-kestrin-qev");
  EXPECT_EQ(mime.mimeTypeForFile(dir + "/unix.dat").name(), "application/x-kestrin-qev");
  EXPECT_NE(mime.mimeTypeForFile(dir + "/number.dat").name(), "application/x-kestrin-qev");
}

// What Tab offers after a partly typed command line.
TEST_F(Package, BashCompletionOffersCommandsSheetsGroupsOptionsAndFiles) {
  const QString bashCompletion = "/usr/share/bash-completion/bash_completion";
  ASSERT_TRUE(QFileInfo::exists(bashCompletion));
  const QString dir = work->filePath("completion");
  QDir().mkpath(dir + "/sub");
  for (const char* name : {"radio.qev", "other.qev", "list.csv", "notes.txt"}) {
    QFile f(dir + "/" + name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  }
  struct Case {
    QString line;  // ends where Tab is pressed
    QStringList offered;
    QStringList notOffered;
  };
  const Case cases[] = {
      {"kestrin-cli ", {"show", "edit", "diff", "export", "read", "write"}, {"radio.qev"}},
      {"kestrin-cli di", {"diff"}, {"show"}},
      {"kestrin-cli show ", {"memory", "f1-common", "radio.qev"}, {"list.csv", "notes.txt"}},
      {"kestrin-cli show memory ", {"radio.qev", "other.qev"}, {"memory2", "list.csv"}},
      {"kestrin-cli edit ", {"memory", "banks", "common"}, {"radio.qev"}},
      {"kestrin-cli export radio.qev ", {"memory", "memory2", "edges", "call"}, {"banks"}},
      {"kestrin-cli import radio.qev memory ", {"list.csv"}, {"radio.qev"}},
      {"kestrin-cli diff radio.qev --destination EUR_A", {"EUR_A_0100"}, {"USA_A_0000"}},
      {"kestrin-cli show --options marine,fm", {"marine,fm-narrow"}, {}},
      {"kestrin-cli edit memory 5 Mode --key b", {"backspace"}, {"space"}},
      {"kestrin-cli read -", {"--port", "--settings", "-o"}, {"--tsv"}},
      {"kestrin-cli --v", {"--version"}, {}},
  };
  for (const Case& c : cases) {
    const QString script =
        QString(
            "source '%1'\n"
            "source '%2'\n"
            "COMP_LINE=\"$LINE\"; COMP_POINT=${#COMP_LINE}\n"
            "read -ra COMP_WORDS <<< \"$LINE\"\n"
            "[[ $LINE == *' ' ]] && COMP_WORDS+=('')\n"
            "COMP_CWORD=$((${#COMP_WORDS[@]} - 1))\n"
            "_kestrin_cli kestrin-cli \"${COMP_WORDS[COMP_CWORD]}\" "
            "\"${COMP_WORDS[COMP_CWORD-1]}\"\n"
            "printf '%s\\n' \"${COMPREPLY[@]}\"\n")
            .arg(bashCompletion, installed("share/bash-completion/completions/kestrin-cli"));
    QProcess bash;
    bash.setWorkingDirectory(dir);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LINE", c.line);
    bash.setProcessEnvironment(env);
    bash.start("bash", {"--norc", "-c", script});
    ASSERT_TRUE(bash.waitForFinished(30000));
    const QStringList offered =
        QString::fromUtf8(bash.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    for (const QString& word : c.offered)
      EXPECT_TRUE(offered.contains(word))
          << c.line.toStdString() << " -> " << word.toStdString() << " not in "
          << offered.join(' ').toStdString() << bash.readAllStandardError().toStdString();
    for (const QString& word : c.notOffered)
      EXPECT_FALSE(offered.contains(word)) << c.line.toStdString() << " -> " << word.toStdString();
  }
}

}  // namespace
