// The tools' --version: the build's version, or the version file's beside the program.

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

QString run(const QString& program) {
  QProcess p;
  p.start(program, {"--version"});
  if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
    return "(failed)";
  return QString::fromUtf8(p.readAllStandardOutput());
}

TEST(ToolsVersion, EachToolPrintsItsNameAndVersion) {
  const QString bin = qEnvironmentVariable("KESTRIN_BIN_DIR");
  EXPECT_EQ(run(bin + "/kestrin-cli"), "kestrin-cli 1.00\n");
  if (QFile::exists(bin + "/kestrin-sim")) {
    EXPECT_EQ(run(bin + "/kestrin-sim"), "kestrin-sim 1.00\n");
  }
}

// The version file is looked for beside the program, wherever it was started from.
TEST(ToolsVersion, VersionFileBesideTheProgramWins) {
  QTemporaryDir dir;
#ifdef Q_OS_WIN
  const QString exe = QStringLiteral(".exe");
#else
  const QString exe;
#endif
  const QString copy = dir.filePath("kestrin-cli" + exe);
  ASSERT_TRUE(QFile::copy(qEnvironmentVariable("KESTRIN_BIN_DIR") + "/kestrin-cli" + exe, copy));
  QFile file(dir.filePath("KESTRIN.dat"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("Kestrin\r\n1.07\r\n2026\r\n");
  file.close();
  EXPECT_EQ(run(copy), "kestrin-cli 1.07\n");
}

}  // namespace
