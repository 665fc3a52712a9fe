// kestrin-cli run as a user runs it: the real binary, its output and exit status, and the files
// it writes.

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

namespace {

struct CliRun {
  int exitCode = -1;
  QString out;
  QString err;
  QStringList lines() const { return out.split('\n', Qt::SkipEmptyParts); }
};

CliRun cli(const QStringList& args, const QByteArray& input = {}) {
  QProcess p;
  p.setProgram(qEnvironmentVariable("KESTRIN_BIN_DIR") + "/kestrin-cli");
  p.setArguments(args);
  p.start();
  CliRun run;
  if (!p.waitForStarted(10000)) return run;
  if (!input.isEmpty()) p.write(input);
  p.closeWriteChannel();  // a closed stdin must never make it wait
  if (!p.waitForFinished(60000)) {
    p.kill();
    p.waitForFinished();
    return run;
  }
  run.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  run.out = QString::fromUtf8(p.readAllStandardOutput());
  run.err = QString::fromUtf8(p.readAllStandardError());
  return run;
}

// The row of a table whose first field is `label`.
QString rowOf(const CliRun& run, const QString& label) {
  for (const QString& line : run.lines()) {
    if (line.trimmed().split(QRegularExpression("\\s+")).value(0) == label) return line;
  }
  return {};
}

TEST(CliShow, MemoryPageOfTheFactoryImage) {
  const CliRun run = cli({"show", "memory", "--destination", "0"});
  ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
  const QStringList lines = run.lines();
  EXPECT_EQ(lines.value(0), "Memory CH");
  EXPECT_TRUE(rowOf(run, "0").contains("146.010000"));
  for (int ch = 1; ch < 100; ++ch) {
    const QString row = rowOf(run, QString::number(ch));
    EXPECT_EQ(row.trimmed(), QString::number(ch)) << "channel " << ch << " is not empty";
  }
  EXPECT_TRUE(rowOf(run, "100").isEmpty());
  for (const char* header : {"CH",
                             "Operating Freq",
                             "DUP",
                             "DUP Reverse",
                             "Offset Freq",
                             "TX Inhibit",
                             "TS",
                             "RF Power",
                             "Tone",
                             "Repeater Tone",
                             "TSQL Freq",
                             "DTCS",
                             "DTCS Polarity",
                             "DTMF",
                             "Mode",
                             "Name Display",
                             "Name",
                             "Skip",
                             "Marine Use",
                             "Bank"}) {
    EXPECT_TRUE(run.out.contains(header)) << header;
  }

  // Every column of the page, empty separators included, in tab-separated form.
  const CliRun tsv = cli({"show", "memory", "--destination", "0", "--tsv"});
  ASSERT_EQ(tsv.exitCode, 0);
  const QString header = tsv.lines().filter("Operating Freq").value(0);
  EXPECT_EQ(header.split('\t').size(), 22) << header.toStdString();
}

TEST(CliShow, PagesFollowTheDestination) {
  const CliRun marine = cli({"show", "marine", "--destination", "0"});
  ASSERT_EQ(marine.exitCode, 0);
  EXPECT_TRUE(marine.out.contains(" M- 1 "));
  EXPECT_TRUE(marine.out.contains(" M- 1A"));
  EXPECT_TRUE(marine.out.contains(" M-88A"));

  const CliRun usa = cli({"show", "common", "--destination", "0"});
  const CliRun eur = cli({"show", "common", "--destination", "EUR_A_0100"});
  ASSERT_EQ(usa.exitCode, 0);
  ASSERT_EQ(eur.exitCode, 0);
  for (const char* row : {"WX Alert", "WX CH", "Auto Repeater"}) {
    EXPECT_TRUE(usa.out.contains(row)) << row;
    EXPECT_FALSE(eur.out.contains(row)) << row;
  }
  EXPECT_TRUE(eur.out.contains("Comment"));

  const CliRun f1 = cli({"show", "f1-common", "--destination", "0"});
  ASSERT_EQ(f1.exitCode, 0);
  EXPECT_TRUE(f1.lines().value(0).contains("Func+[F-1]"));
  EXPECT_TRUE(f1.out.contains("WX Alert"));
  EXPECT_FALSE(f1.out.contains("WX CH"));
  EXPECT_FALSE(f1.out.contains("Comment"));

  // Settings that do not apply are bracketed: the emergency channel needs the bank key.
  EXPECT_TRUE(usa.out.contains("[VFO]"));
}

TEST(CliEdit, TypedTextChoicesKeysAndSaving) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString file = dir.filePath("club.qev");

  // A frequency typed into an empty channel, saved.
  CliRun run =
      cli({"edit", "memory", "5", "Operating Freq", "145.5", "--destination", "0", "-o", file});
  ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
  EXPECT_TRUE(run.out.contains("Operating Freq"));
  EXPECT_TRUE(rowOf(run, "5").contains("145.500000"));
  ASSERT_TRUE(QFile::exists(file));

  // The file is read back, edited in place: a name, then a choice from a list.
  run = cli({"edit", "memory", "5", "Name", "home", file, "--in-place"});
  ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
  EXPECT_TRUE(rowOf(run, "5").contains("HOME"));
  run = cli({"edit", file, "memory", "5", "CL_Mch_Dup", "-DUP", "--in-place"});
  ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
  run = cli({"show", "memory", file});
  ASSERT_EQ(run.exitCode, 0);
  EXPECT_TRUE(rowOf(run, "5").contains("145.500000"));
  EXPECT_TRUE(rowOf(run, "5").contains("-DUP"));
  EXPECT_TRUE(rowOf(run, "5").contains("HOME"));

  // Space steps a list value; Enter on an entry tells what the editor would start with.
  run = cli({"edit", "common", "Beep", "-", "--key", "space", file});
  ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
  EXPECT_TRUE(run.out.contains("OFF"));
  run = cli({"edit", "memory", "0", "Operating Freq", "--key", "enter", file});
  EXPECT_TRUE(run.out.contains("opens the editor with \"146.010000\""));
  // On an empty channel the key goes to its frequency cell, as in the grid.
  run = cli({"edit", "memory", "7", "Name", "--key", "enter", file});
  EXPECT_TRUE(run.out.contains("key passed to CL_Mch_Freq"));
}

TEST(CliEdit, QuestionsAreAnsweredWithoutATerminal) {
  // Memory display to Name asks whether every name display follows: with a closed stdin the
  // default (Cancel) is taken, with --yes OK.
  CliRun run = cli({"edit", "common", "Memory Disp", "-", "Name", "--destination", "0"});
  ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
  EXPECT_TRUE(run.err.contains("The Name Display of all channels will be set to ON."));
  EXPECT_TRUE(run.err.contains("Cancel"));
  EXPECT_TRUE(run.out.contains("Name"));
  run = cli({"edit", "common", "Memory Disp", "-", "Name", "--destination", "0", "--yes"});
  ASSERT_EQ(run.exitCode, 0);
  EXPECT_TRUE(run.err.contains("-> OK"));
}

TEST(CliCheck, CountsAndPages) {
  CliRun run = cli({"check", "--destination", "0", "--options", "none"});
  ASSERT_EQ(run.exitCode, 0);
  EXPECT_TRUE(run.out.contains("errors: 0"));
  EXPECT_TRUE(run.out.contains("warnings: 0"));

  QTemporaryDir dir;
  const QString file = dir.filePath("wide.qev");
  run = cli({"edit", "memory", "3", "Operating Freq", "150", "--destination", "0", "-o", file});
  ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
  // Outside the USA amateur band without receive expansion: a caution mark.
  run = cli({"show", "memory", file, "--options", "none"});
  EXPECT_TRUE(rowOf(run, "3").contains("150.000000!"));
  run = cli({"check", file, "--options", "none"});
  EXPECT_TRUE(run.out.contains("warnings: 1"));
  EXPECT_TRUE(run.out.contains("warning  memory ([St_ColCut]GI_Sheet_MemoryCH,0,0)"));
}

// Every page of the main text that the tool accepts by name is shown or refused; none reaches
// a fault of the program's own data.
TEST(CliShow, EverySheetOfTheMainTextIsShownOrRefused) {
  QFile main(qEnvironmentVariable("KESTRIN_SOURCE_DIR") + "/resources/kestrin_main.gtex");
  ASSERT_TRUE(main.open(QIODevice::ReadOnly));
  const QRegularExpression header("^#(GI_Sheet_\\w+)_Style\\s*$");
  int shown = 0;
  for (const QByteArray& line : main.readAll().split('\n')) {
    const QRegularExpressionMatch m = header.match(QString::fromLatin1(line));
    if (!m.hasMatch()) continue;
    const CliRun run = cli({"show", m.captured(1)});
    EXPECT_TRUE(run.exitCode == 0 || run.exitCode == 2) << m.captured(1).toStdString();
    shown += run.exitCode == 0;
  }
  EXPECT_GT(shown, 50);
}

TEST(CliErrors, OneLineReasonsAndExitCodes) {
  struct Case {
    QStringList args;
    int exitCode;
    const char* reason;
  } cases[] = {
      {{}, 2, "no command given"},
      {{"frobnicate"}, 2, "unknown command"},
      {{"show", "nosuch"}, 2, "no sheet \"nosuch\""},
      {{"show", "GI_Sheet_Sel_VMC"}, 2, "cannot be shown on its own"},
      {{"show", "--destination", "99"}, 2, "--destination"},
      {{"show", "--options", "turbo"}, 2, "--options"},
      {{"show", "/nonexistent/x.qev"}, 1, "cannot open"},
      {{"edit", "memory", "0", "Nope", "1"}, 1, "no column \"Nope\""},
      {{"edit", "memory", "500", "Name", "x"}, 1, "no row \"500\""},
      {{"edit", "memory", "9", "Name", "x"}, 1, "the channel is empty"},
      {{"edit", "memory", "0", "Name"}, 2, "edit takes SHEET ROW COLUMN TEXT"},
      {{"edit", "memory", "0", "Name", "x", "--in-place"}, 2, "--in-place needs"},
  };
  for (const Case& c : cases) {
    const CliRun run = cli(c.args);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.args.join(' ').toStdString();
    const QStringList err = run.err.split('\n', Qt::SkipEmptyParts);
    EXPECT_TRUE(err.value(err.size() - 1).startsWith("kestrin-cli: "));
    EXPECT_TRUE(run.err.contains(c.reason)) << run.err.toStdString();
  }
  const CliRun help = cli({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_TRUE(help.out.contains("Usage: kestrin-cli"));
}

}  // namespace
